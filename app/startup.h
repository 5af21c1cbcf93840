// Start-up pieces that other code needs: the top-level shell, the start-up
// report and the serial-port permission check.
#pragma once

#include <X11/Intrinsic.h>
#include <grp.h>

#include <string>

struct AppResources;

// The application's top-level shell, parent of every dialog.
extern Widget topLevel;

// The start-up report written into the receive pane: what iniProc left, the
// Motif versions, the call sign, the QSO file names and what keys the radio.
std::string startupReport(const std::string& iniText, const char* compiledWith,
                          const char* runningWith, const AppResources& resources);

// Before the toolkit starts: when XFILESEARCHPATH is unset and the resource
// file lies in `dataDir`/app-defaults (an install under a private prefix), that
// directory is searched first, then the system's usual places.
void searchOwnResourceFile(const std::string& dataDir);

// Whether `user` is listed as a member of `group` (exact comparison; the
// user's primary group is not considered).
bool isGroupMember(const group* group, const char* user);

// The user name for the dialout check: LOGNAME, else the password database's
// name for the real user id, else nullptr.
const char* loginName();

// Shows the dialout warning when the user cannot key the radio through the
// serial port. Returns true when the warning was shown.
bool checkDialout(Widget parent);
