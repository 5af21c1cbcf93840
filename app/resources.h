// Application resources of class "Vorda", read once at start-up into the
// record the console takes (gui/console_settings.h).
#pragma once

#include <X11/Intrinsic.h>

#include "gui/console_settings.h"
#include "server/server.h"

extern AppResources appResources;

// Fills `resources` from the resource database of `shell`.
void getAppResources(Widget shell, AppResources* resources);

// The frequency resources are limited as typed frequencies are, to 0 to 4000 Hz; 0
// stands for the default, 1000 Hz, which the main window puts in its place.
constexpr float MAX_RESOURCE_FREQUENCY = 4000.0f;
constexpr double DEFAULT_FREQUENCY = 1000.0;

// The value of the frequency resource `name` as the program uses it: a number beyond
// 0 to 4000 Hz is limited to that range and one that is not a number (nan, inf)
// gives 0, each with a warning on standard error.
float resourceFrequency(const char* name, float hertz);

// The keying method the pttMethod resource names: rts, dtr, cat or none, in any case
// and with blanks around it. Anything else is reported on standard error, and RTS
// keys, the default.
PttMethod pttMethodOf(const char* text);
