// The poll loop: a work procedure that drains the server into the windows.
#pragma once

#include <X11/Intrinsic.h>

// The main receive frequency last written into rxFreqText, hertz. Starts at 0,
// so that the first cycle always writes the field.
extern float lastShownRxFreq;

// One cycle: echo and received text into rxText, the main receiver's status
// into DCD, the phase scope and the frequency field, then the open secondary
// decoders, then a 10 ms sleep. Always False: it stays installed.
Boolean pollProc(XtPointer clientData);
