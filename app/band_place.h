// The band window's place on the screen, kept across runs in a file of its own
// ($HOME/.vordaDir/band.pos) so that the state file older versions read stays as
// it is.
#pragma once

#include <string>

struct MainWindow;

std::string bandPlacePath();

// "x y width height" on one line; false when the text holds fewer than four
// numbers or a size that is not positive.
bool parseBandPlace(const std::string& text, int* x, int* y, int* width, int* height);

// The saved place; false when there is none (or it is not a regular file).
bool savedBandPlace(int* x, int* y, int* width, int* height);

// Saves where the band window of `mw` stands, when it was ever opened.
void saveBandPlace(const MainWindow* mw);
