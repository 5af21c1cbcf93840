#include "gui/icon.h"

#include <X11/xpm.h>

#include <cstdio>
#include <iterator>

#include "gui/icon_xpm.h"

namespace {
Pixmap iconPixmap = 0;
}  // namespace

Pixmap programIcon() { return iconPixmap; }

std::vector<std::string> coarseIconXpm() {
    std::vector<std::string> lines(std::begin(vordaIconXpm), std::end(vordaIconXpm));
    int width = 0;
    int height = 0;
    int colours = 0;
    int chars = 0;
    if (std::sscanf(lines[0].c_str(), "%d %d %d %d", &width, &height, &colours, &chars) != 4) {
        return lines;
    }
    for (int i = 1; i <= colours && i < static_cast<int>(lines.size()); ++i) {
        std::string& line = lines[i];
        const size_t value = line.find(" c #", static_cast<size_t>(chars));
        if (value == std::string::npos || line.size() < value + 10) continue;
        for (size_t c = 0; c < 3; ++c) {
            const size_t at = value + 4 + 2 * c;
            const int v = std::stoi(line.substr(at, 2), nullptr, 16);
            const int level = (v * (ICON_LEVELS - 1) + 127) / 255;
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", (level * 255 + 3) / (ICON_LEVELS - 1));
            line.replace(at, 2, hex);
        }
    }
    return lines;
}

Pixmap createIconPixmap(Display* display) {
    // Where the colormap's cells are shared (PseudoColor, GrayScale, DirectColor),
    // the full picture would fill an 8-bit map before the waterfall gets its greys.
    std::vector<std::string> coarse;
    std::vector<char*> data;
    const Visual* visual = DefaultVisual(display, DefaultScreen(display));
    if ((visual->c_class & 1) != 0) {
        coarse = coarseIconXpm();
        for (std::string& line : coarse) data.push_back(line.data());
    } else {
        for (const char* line : vordaIconXpm) data.push_back(const_cast<char*>(line));
    }

    XpmColorSymbol none = {nullptr, const_cast<char*>("none"), 0};
    XpmAttributes attributes{};
    attributes.valuemask = XpmColorSymbols | XpmCloseness;
    attributes.colorsymbols = &none;
    attributes.numsymbols = 1;
    attributes.closeness = 40000;  // take a near colour on a crowded colormap
    Pixmap shape = 0;
    XpmCreatePixmapFromData(display, RootWindow(display, DefaultScreen(display)), data.data(),
                            &iconPixmap, &shape, &attributes);
    if (shape != 0) XFreePixmap(display, shape);
    XpmFreeAttributes(&attributes);
    return iconPixmap;
}
