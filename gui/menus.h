// The main window's menu bar: File, Controls, Seek and Help. Each pulldown but
// File is one table, a row per item, walked by one builder; the File menu has a
// button per QSO file named in the resources, then QRT.
#pragma once

#include <X11/Intrinsic.h>

struct AppResources;
struct MainWindow;

// Builds the menu bar under label1 of `mw` with all its items and their handlers.
void createMenuBar(MainWindow* mw, AppResources* resources);

// The File menu's buttons: one per name (at most nine, Ctrl-1 upwards), then QRT.
// More than nine names end the process with status 1.
void createFileButtons(MainWindow* mw, char** names);
