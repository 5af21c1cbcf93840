// What the program says about push-to-talk: the start-up report's PTT line, the
// warning when keying asked for is not available, and the notices in the receive
// pane when a transmission goes out unkeyed or the radio refused to unkey.
#pragma once

#include <string>

#include "server/server.h"

struct AppResources;

// The keying settings the server is given.
ServerPtt serverPttOf(const AppResources& resources);

// What keys the radio, for the start-up report: the device (with "(DTR line)" when
// DTR keys), "CAT, Hamlib model M at PORT", "none (VOX or manual keying)", or
// "disabled" unless ptt is exactly 1.
std::string pttDevice(const AppResources& resources);

// When keying is asked for (ptt non-zero, a method that keys) but nothing keys the
// radio (`keying` false): a line saying why and that Xmit will not key it; `problem`
// is the server's reason for a rig that did not open. Empty otherwise.
std::string pttWarning(const AppResources& resources, bool keying, const char* problem);

// In the receive pane once per transmission that went out unkeyed though keying
// was asked for.
std::string unkeyedNotice(const AppResources& resources);

// In the receive pane when the line or the rig refused to unkey.
std::string unkeyFailedNotice(const AppResources& resources);
