// What the program gives the console at construction: QRT's way out, the
// secondary windows' saved positions, the QSO directory and the contact log.
#pragma once

#include <string>

#include "gui/main_window.h"

ConsoleServices consoleServices();

// The ADIF file Log Contact appends to: vorda.adi in the QSO directory.
std::string contactLogPath();
