#include "gui/icon.h"

#include <X11/xpm.h>

#include "gui/icon_xpm.h"

Pixmap iconPixmap = 0;

Pixmap createIconPixmap(Display* display) {
    XpmColorSymbol none = {nullptr, const_cast<char*>("none"), 0};
    XpmAttributes attributes{};
    attributes.valuemask = XpmColorSymbols | XpmCloseness;
    attributes.colorsymbols = &none;
    attributes.numsymbols = 1;
    attributes.closeness = 40000;  // take a near colour on a crowded colormap
    Pixmap shape = 0;
    XpmCreatePixmapFromData(display, RootWindow(display, DefaultScreen(display)),
                            const_cast<char**>(vordaIconXpm), &iconPixmap, &shape, &attributes);
    if (shape != 0) XFreePixmap(display, shape);
    XpmFreeAttributes(&attributes);
    return iconPixmap;
}
