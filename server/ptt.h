// Push-to-talk: the RTS or DTR line of a serial device, a CAT command through a rig,
// or nothing, as the operator chose.
#pragma once

#include <cstdint>
#include <string>

#include "server/rig.h"
#include "server/server.h"

// The system calls the PTT line needs; tests install a recording table.
struct ptt_io {
    int (*open)(const char* path, int flags);
    int (*ioctl_bits)(int fd, unsigned long request, int* bits);
    int (*close)(int fd);
};

extern const ptt_io posix_ptt_io;

struct ptt_line {
    std::string path;      // device without its polarity suffix; empty: no PTT
    int32_t fd = -1;       // open descriptor, -1 when there is none
    int32_t polarity = 0;  // 0: the line set while transmitting; 1: set while idle
    bool dtr = false;      // the DTR line keys, not RTS
};

// Takes a device string; "path,0" and "path,X" (any other X) carry a polarity
// suffix when the whole string is at least three characters long.
void ptt_parse(const char* device, ptt_line& line);

// Opens the device and puts its line to the idle level. On failure it reports
// "Cannot open PTT device <path>: <reason>" and leaves the line without a descriptor.
void ptt_open(const ptt_io& io, ptt_line& line);

// The line to its transmit level (true) or idle level (false). False when the device
// refused the change, and without a descriptor.
bool ptt_key(const ptt_io& io, const ptt_line& line, bool transmit);

// Whatever keys the radio.
struct ptt_keyer {
    PttMethod method = PttMethod::rts;
    bool asked = false;   // keying was asked for: a device given and a method that keys
    bool ready = false;   // the line or the rig opened at start-up
    ptt_line line;        // RTS and DTR
    rig_link rig;         // CAT
    std::string problem;  // CAT: why the rig did not open
};

// Opens what `settings` names; `device` is the serial device for RTS and DTR,
// nullptr when nothing is to be keyed whatever the method.
void keyer_open(const ptt_io& io, const rig_io& rig, const ServerPtt& settings,
                const char* device, ptt_keyer& keyer);

// Keys (true) or unkeys the radio: 1 when it was done, 0 when there is nothing to key
// with, -1 when the line or the rig refused (reported on standard error).
int32_t keyer_key(const ptt_io& io, const rig_io& rig, ptt_keyer& keyer, bool transmit);

// Unkeys and lets the rig go (at exit); a line stays open at its idle level.
void keyer_release(const ptt_io& io, const rig_io& rig, ptt_keyer& keyer);
