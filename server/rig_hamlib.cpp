// The rig seam on Hamlib: the only file that includes it.
#include <hamlib/rig.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "server/rig.h"

namespace {

// rig_init knows no such model; Hamlib has no code of its own for that.
constexpr int kUnknownModel = -1000;

bool set_conf(RIG* rig, const char* name, const char* value) {
    return rig_set_conf(rig, rig_token_lookup(rig, name), value) == RIG_OK;
}

void* hamlib_open(int32_t model, const char* port, int32_t speed, int* error) {
    // Hamlib's own trace would bury the one message that says what went wrong.
    rig_set_debug(RIG_DEBUG_NONE);
    RIG* rig = rig_init(model);
    if (rig == nullptr) {
        *error = kUnknownModel;
        return nullptr;
    }
    // Keyed by a command whatever the model's caps name as its PTT (the dummy rig has
    // none); a rigctld keys its radio as it was told to.
    bool configured = set_conf(rig, "ptt_type", "RIG");
    if (configured && port[0] != '\0') configured = set_conf(rig, "rig_pathname", port);
    if (configured && speed > 0)
        configured = set_conf(rig, "serial_speed", std::to_string(speed).c_str());
    const int result = configured ? rig_open(rig) : -RIG_EINVAL;
    if (result != RIG_OK) {
        rig_cleanup(rig);
        *error = result;
        return nullptr;
    }
    return rig;
}

int hamlib_set_ptt(void* rig, bool transmit) {
    return rig_set_ptt(static_cast<RIG*>(rig), RIG_VFO_CURR, transmit ? RIG_PTT_ON : RIG_PTT_OFF);
}

int hamlib_get_dial(void* rig, double* hz, char* mode, int mode_size) {
    freq_t frequency = 0;
    int result = rig_get_freq(static_cast<RIG*>(rig), RIG_VFO_CURR, &frequency);
    if (result != RIG_OK) return result;
    rmode_t rig_mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    result = rig_get_mode(static_cast<RIG*>(rig), RIG_VFO_CURR, &rig_mode, &width);
    if (result != RIG_OK) return result;
    *hz = frequency;
    std::snprintf(mode, static_cast<size_t>(mode_size), "%s", rig_strrmode(rig_mode));
    return RIG_OK;
}

// A rigctld that went away answers "IO error"; a hung one times out instead.
bool hamlib_connection_lost(int error) { return error == -RIG_EIO; }

void hamlib_close(void* rig) {
    rig_close(static_cast<RIG*>(rig));
    rig_cleanup(static_cast<RIG*>(rig));
}

const char* hamlib_error_text(int error) {
    if (error == kUnknownModel) return "no such rig model";
    // rigerror2 ends its text with a newline.
    static thread_local char text[128];
    std::strncpy(text, rigerror2(error), sizeof text - 1);
    text[sizeof text - 1] = '\0';
    for (size_t n = std::strlen(text); n > 0 && (text[n - 1] == '\n' || text[n - 1] == ' ');) {
        text[--n] = '\0';
    }
    return text;
}

}  // namespace

const rig_io hamlib_rig_io = {hamlib_open,       hamlib_set_ptt,  hamlib_close,
                              hamlib_error_text, hamlib_get_dial, hamlib_connection_lost};
