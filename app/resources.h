// Application resources of class "Vorda", read once at start-up.
#pragma once

#include <X11/Intrinsic.h>

#include "server/server.h"

struct AppResources {
    String* buttonNames;  // QSO file names for the File menu, null-terminated; "-1" = no resource file
    int xmitHighlight;    // Motif highlight mode of echoed transmitted characters
    float rxFreq;         // hertz; the poll loop keeps it at the main receiver's frequency
    float txFreq;         // hertz
    int afc;
    int net;
    String call;          // operator's call sign
    int zero;             // 1 = show the digit zero slashed
    String serDev;        // PTT serial device, optionally ",polarity"
    int ptt;              // non-zero = key the transmitter (0: nothing is keyed)
    String pttMethod;     // rts, dtr, cat or none, as written
    int rigModel;         // Hamlib rig model for cat; 2 = a rigctld
    String rigPort;       // the rig's serial device, or host:port of a rigctld
    int rigSpeed;         // the rig's serial speed in bit/s; 0 = the model's own
    PttMethod keying;     // pttMethod as understood by getAppResources
    int callBox;          // 1 = start the call box
    int postamble;        // read and kept; nothing uses it
    int sampsize;         // sample rate of both sound streams
};

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

// Number of entries of a null-terminated string list.
int countNames(const String* names);
