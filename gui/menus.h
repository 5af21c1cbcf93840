// Menus of the main window from static tables, walked by one builder.
#pragma once

#include <X11/Intrinsic.h>

#include <cstddef>

#include "gui/main_window.h"

enum class MenuItemKind { push, toggle, separator };

struct MenuEntry {
    const char* name;             // widget name, and so the label
    MenuItemKind kind;
    char mnemonic;                // 0: none
    const char* accelerator;      // translation syntax, or nullptr
    const char* acceleratorText;  // shown beside the label, or nullptr
    Widget MainWindow::*widget;   // where the item is recorded; nullptr for separators
};

extern const MenuEntry controlsMenu[];
extern const std::size_t controlsMenuSize;
extern const MenuEntry seekMenu[];
extern const std::size_t seekMenuSize;

// Help menu labels and mnemonics, index 0 to 10 as the help window numbers them.
struct HelpEntry {
    const char* label;
    char mnemonic;
};
extern const HelpEntry helpMenuEntries[];
constexpr std::size_t helpMenuSize = 11;

// Creates the items of `entries` in `menu` and records them in `mw`.
void buildMenuItems(MainWindow* mw, Widget menu, const MenuEntry* entries, std::size_t count);

// Creates one push button with an optional mnemonic and accelerator.
Widget createMenuButton(Widget menu, const char* name, char mnemonic, const char* accelerator,
                        const char* acceleratorText);
