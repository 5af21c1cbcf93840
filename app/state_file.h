// The state file $HOME/.vordaDir/.vorda.dat (secondary window positions and a
// reserved setting) and the per-user QSO directory it lives in.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "modem/home_directory.h"

struct WindowPosition {
    int16_t x;
    int16_t y;
};

struct StateValues {
    WindowPosition decoderPos[4];  // where each secondary decoder window opens
    int32_t reserved;              // read at start, written back unchanged
};

// What the program runs with; read once at start-up, written once at quit.
extern StateValues stateValues;

// Text iniProc leaves for the start-up report ("Reading ..." or "no ... yet").
extern std::string iniReport;

// Installed data directory (code table, example QSO directory "vordaDir").
extern const char* dataDirectory;

// 'r' reads the state file, 'w' writes it: 1 on success, 0 on failure. Creates
// the QSO directory first when it is missing.
int iniProc(int mode);

// Creates $HOME/.vordaDir and copies the installed QSO files into `directory`.
// 1 on success, -1 after an error dialog.
int getQSOfiles(const char* directory);

// The nine values, one decimal integer per line. A missing line takes its
// default (50 for positions, 1 for the reserved setting); a line that is not a
// number counts as 0, and a number out of range is limited to the field's range.
StateValues readStateValues(std::FILE* in);
void writeStateValues(std::FILE* out, const StateValues& values);

// The per-user QSO directory, homeDirectory() + "/.vordaDir": the state file's and
// the QSO files' place.
std::string qsoDirectory();
