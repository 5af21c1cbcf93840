// The poll loop: a work procedure that drains the server into the windows.
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

// The server's counts of unkeyed transmissions and refused unkeys already told in
// rxText. Both start at 0, as the server's do.
extern int32_t unkeyedTold;
extern int32_t unkeyFailedTold;

// The band survey's thread, whose characters each cycle hands to the band window;
// nullptr: no survey.
struct BandFeed;
extern BandFeed* pollBandFeed;

// One cycle: echo and received text into rxText, the main receiver's status
// into DCD, the phase scope and the frequency field, a notice in rxText for each
// transmission newly gone out unkeyed and each unkey newly refused, then the open
// secondary decoders, then a 10 ms sleep. Always False: it stays installed. The
// client data is the MainWindow record.
Boolean pollProc(XtPointer window);
