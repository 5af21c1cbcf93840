// Application resources of class "Vorda", read once at start-up.
#pragma once

#include <X11/Intrinsic.h>

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
    int ptt;              // non-zero = key the transmitter through serDev
    int callBox;          // 1 = start the call box
    int postamble;        // read and kept; nothing uses it
    int sampsize;         // sample rate of both sound streams
};

extern AppResources appResources;

// Fills `resources` from the resource database of `shell`.
void getAppResources(Widget shell, AppResources* resources);

// Number of entries of a null-terminated string list.
int countNames(const String* names);
