#include "gui/menus.h"

#include <Xm/PushB.h>
#include <Xm/Separator.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <iterator>

namespace {
using MW = MainWindow;
using K = MenuItemKind;
}  // namespace

// Handlers are attached once the whole window exists, since several of them
// act on widgets created after the menus (see createMainWindow).
const MenuEntry controlsMenu[] = {
    {"Video", K::push, 'V', "Ctrl<Key>V", "Ctrl-V", &MW::videoItem},
    {"sep", K::separator, 0, nullptr, nullptr, nullptr},
    {"Recv", K::push, 'R', "Ctrl<Key>R", "Ctrl-R", &MW::recvItem},
    {"Xmit", K::push, 'X', "Ctrl<Key>X", "Ctrl-X", &MW::xmitItem},
    {"Tune", K::push, 'T', "Ctrl<Key>T", "Ctrl-T", &MW::tuneItem},
    {"sep", K::separator, 0, nullptr, nullptr, nullptr},
    {"Broad", K::push, 'B', "Ctrl<Key>B", "Ctrl-B", &MW::broadItem},
    {"Medium", K::push, 'M', "Ctrl<Key>M", "Ctrl-M", &MW::mediumItem},
    {"Narrow", K::push, 'N', "Ctrl<Key>N", "Ctrl-N", &MW::narrowItem},
    {"sep", K::separator, 0, nullptr, nullptr, nullptr},
    {"Spectrum", K::push, 'S', "Ctrl<Key>S", "Ctrl-S", &MW::spectrumItem},
    {"Waterfall", K::push, 'W', "Ctrl<Key>W", "Ctrl-W", &MW::waterfallItem},
    {"Flow Up", K::toggle, 0, "Ctrl<Key>F", "Ctrl-F", &MW::flowUpItem},
    {"sep", K::separator, 0, nullptr, nullptr, nullptr},
    {"Local Caps", K::toggle, 'L', "Ctrl<Key>L", "Ctrl-L", &MW::localCapsItem},
    {"sep", K::separator, 0, nullptr, nullptr, nullptr},
    {"Open Decoder", K::push, 'O', "Ctrl<Key>O", "Ctrl-O", &MW::openDecoderItem},
};
const std::size_t controlsMenuSize = std::size(controlsMenu);

const MenuEntry seekMenu[] = {
    {"Up", K::push, 'U', "Ctrl<Key>U", "Ctrl-U", &MW::seekUpItem},
    {"Down", K::push, 'D', "Ctrl<Key>D", "Ctrl-D", &MW::seekDownItem},
    {"Halt", K::push, 'H', "Ctrl<Key>H", "Ctrl-H", &MW::haltItem},
};
const std::size_t seekMenuSize = std::size(seekMenu);

const HelpEntry helpMenuEntries[helpMenuSize] = {
    {"About", 'A'},         {"Introduction", 'I'},      {"Menu Bar", 'B'},
    {"Help Windows", 'H'},  {"Main Window", 'M'},       {"Tuning", 'T'},
    {"Secondary Windows", 'W'}, {"Sending Files", 'S'}, {"Macros Commands", 'C'},
    {"Resources", 'R'},     {"Accelerator Keys", 'K'},
};

Widget createMenuButton(Widget menu, const char* name, char mnemonic, const char* accelerator,
                        const char* acceleratorText) {
    Widget button = XtVaCreateManagedWidget(name, xmPushButtonWidgetClass, menu, nullptr);
    if (mnemonic != 0) XtVaSetValues(button, XmNmnemonic, static_cast<KeySym>(mnemonic), nullptr);
    if (accelerator != nullptr) {
        XmString text = XmStringCreateLocalized(const_cast<char*>(acceleratorText));
        XtVaSetValues(button, XmNaccelerator, accelerator, XmNacceleratorText, text, nullptr);
        XmStringFree(text);
    }
    return button;
}

void buildMenuItems(MainWindow* mw, Widget menu, const MenuEntry* entries, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const MenuEntry& e = entries[i];
        Widget item = nullptr;
        switch (e.kind) {
            case MenuItemKind::separator:
                XtVaCreateManagedWidget(e.name, xmSeparatorWidgetClass, menu, nullptr);
                continue;
            case MenuItemKind::push:
                item = createMenuButton(menu, e.name, e.mnemonic, e.accelerator,
                                        e.acceleratorText);
                break;
            case MenuItemKind::toggle: {
                item = XtVaCreateManagedWidget(e.name, xmToggleButtonWidgetClass, menu,
                                               XmNindicatorType, XmN_OF_MANY,
                                               XmNvisibleWhenOff, True, nullptr);
                if (e.mnemonic != 0) {
                    XtVaSetValues(item, XmNmnemonic, static_cast<KeySym>(e.mnemonic), nullptr);
                }
                XmString text = XmStringCreateLocalized(const_cast<char*>(e.acceleratorText));
                XtVaSetValues(item, XmNaccelerator, e.accelerator, XmNacceleratorText, text,
                              nullptr);
                XmStringFree(text);
                break;
            }
        }
        mw->*(e.widget) = item;
    }
}
