// What the program gives the console at construction: QRT's way out, the
// secondary windows' saved positions and the QSO directory.
#pragma once

#include "gui/main_window.h"

ConsoleServices consoleServices();
