// Push-to-talk by CAT command: a rig opened through Hamlib, behind a seam.
#pragma once

#include <cstdint>
#include <string>

// The Hamlib calls CAT keying needs; tests install a scripted table.
struct rig_io {
    // Opens `model` on `port` ("": the model's own) at `speed` bit/s (0: the model's
    // own) with PTT by CAT command; the rig, or nullptr with an error code in *error.
    void* (*open)(int32_t model, const char* port, int32_t speed, int* error);
    // PTT on (true) or off: 0, or a negative error code.
    int (*set_ptt)(void* rig, bool transmit);
    void (*close)(void* rig);
    // One line without a newline.
    const char* (*error_text)(int error);
    // The dial frequency in hertz and the mode's name ("USB", "PKTLSB"): 0, or a
    // negative error code. nullptr: the dial is not read.
    int (*get_dial)(void* rig, double* hz, char* mode, int mode_size);
    // True when the error means the connection is gone (a rigctld restarted), so that
    // a fresh one may take the command, rather than a rig slow to answer.
    bool (*connection_lost)(int error);
};

extern const rig_io hamlib_rig_io;

struct rig_link {
    void* rig = nullptr;  // open rig, nullptr when there is none
    std::string name;     // "Hamlib model 2 at localhost:4532", for the messages
    int32_t model = 0;    // what to open again
    std::string port;
    int32_t speed = 0;
    bool lost = false;      // the last command was refused twice, or the connection is gone
    bool released = false;  // closed for good (at exit)
    bool keyed = false;     // the last command the rig took was a key
};

// "Hamlib model M[ at PORT][, S bit/s]", as the messages name the rig.
std::string rig_name(int32_t model, const char* port, int32_t speed);

// Opens the rig; when it does not open, returns the reason and leaves no rig.
std::string rig_open(const rig_io& io, int32_t model, const char* port, int32_t speed,
                     rig_link& link);

// PTT on or off. A command refused because the connection is gone is sent again at
// once over a connection opened afresh (a rigctld that the program sharing the radio
// restarted); any other refusal is sent once more as it is: a rig that missed one
// command over a busy line usually takes the next. A second refusal is reported on
// standard error. Before a key, a rig that never opened or was lost is opened afresh
// (a failure reported too). 1 when the rig took the command, 0 when there was no rig
// to send it to, -1 when the rig refused it.
int32_t rig_key(const rig_io& io, rig_link& link, bool transmit);

// Reads the dial frequency (hertz) and the mode's name, opening a rig that never
// opened or was lost afresh first and once more after a lost connection, all without
// a word on standard error: the display's "---" tells it. 0, or an error code.
int rig_read_dial(const rig_io& io, rig_link& link, double* hz, char* mode, int mode_size);

// PTT off and the rig closed (at exit).
void rig_release(const rig_io& io, rig_link& link);
