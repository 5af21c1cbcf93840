// The settings the console runs with: the application resources of class
// "Vorda", read once at start-up by the program (app/resources.cpp) and handed
// to the window code, which reads them and puts the frequencies in their place.
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
    int rigRead;          // 1 = read the rig's dial though it does not key (cat always does)
    String logUdp;        // host:port that logged contacts are also sent to; "" = none
    PttMethod keying;     // pttMethod as understood by getAppResources
    int callBox;          // 1 = start the call box
    int postamble;        // read and kept; nothing uses it
    int sampsize;         // sample rate of both sound streams
    int bandBrowser;      // 1 = open the band window at start-up
    int bandColumns;      // characters of a band window line
    int bandTimeout;      // seconds of silence that remove a station's line
    int bandLog;          // 1 = append finished band lines to ~/.vordaDir/band.log
};

// Number of entries of a null-terminated string list.
inline int countNames(const String* names) {
    int n = 0;
    while (names != nullptr && names[n] != nullptr) ++n;
    return n;
}
