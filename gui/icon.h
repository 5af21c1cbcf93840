// The program's icon, a 15 x 32 picture compiled in.
#pragma once

#include <X11/Intrinsic.h>

// Built once at start-up; 0 until then.
extern Pixmap iconPixmap;

// Builds iconPixmap on the root window of the default screen of `display`.
Pixmap createIconPixmap(Display* display);
