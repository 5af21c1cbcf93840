// Push-to-talk on the RTS line of a serial device.
#pragma once

#include <cstdint>
#include <string>

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
    int32_t polarity = 0;  // 0: RTS set while transmitting; 1: RTS set while idle
};

// Takes a device string; "path,0" and "path,X" (any other X) carry a polarity
// suffix when the whole string is at least three characters long.
void ptt_parse(const char* device, ptt_line& line);

// Opens the device and puts RTS to its idle level. On failure it reports
// "Cannot open PTT device <path>: <reason>" and leaves the line without a descriptor.
void ptt_open(const ptt_io& io, ptt_line& line);

// RTS to its transmit level (true) or idle level (false); nothing without a descriptor.
void ptt_key(const ptt_io& io, const ptt_line& line, bool transmit);
