// The program's icon, a 15 x 32 picture compiled in.
#pragma once

#include <X11/Intrinsic.h>

#include <string>
#include <vector>

// The icon built at start-up, for every shell's icon; 0 until then.
Pixmap programIcon();

// Levels per colour channel of the icon on a colormap whose cells are shared.
constexpr int ICON_LEVELS = 8;

// Builds the icon on the root window of the default screen of `display`. On a
// visual with a writable colormap it is drawn from coarseIconXpm.
Pixmap createIconPixmap(Display* display);

// The icon's XPM lines with every colour rounded to ICON_LEVELS levels per
// channel, so that its many shades share a few colour cells.
std::vector<std::string> coarseIconXpm();
