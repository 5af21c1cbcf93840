#include "server/rig.h"

#include <cstdio>

std::string rig_name(int32_t model, const char* port, int32_t speed) {
    std::string name = "Hamlib model " + std::to_string(model);
    if (port != nullptr && port[0] != '\0') name += std::string(" at ") + port;
    if (speed > 0) name += ", " + std::to_string(speed) + " bit/s";
    return name;
}

std::string rig_open(const rig_io& io, int32_t model, const char* port, int32_t speed,
                     rig_link& link) {
    link = rig_link{};
    link.name = rig_name(model, port, speed);
    link.model = model;
    link.port = port != nullptr ? port : "";
    link.speed = speed;
    int error = 0;
    link.rig = io.open(model, link.port.c_str(), speed, &error);
    return link.rig != nullptr ? "" : io.error_text(error);
}

namespace {

bool connection_lost(const rig_io& io, int error) {
    return io.connection_lost != nullptr && io.connection_lost(error);
}

// 0, or the open's error code.
int reopen(const rig_io& io, rig_link& link, bool tell) {
    if (link.rig != nullptr) io.close(link.rig);
    int error = 0;
    link.rig = io.open(link.model, link.port.c_str(), link.speed, &error);
    link.lost = false;
    if (link.rig == nullptr && tell) {
        std::fprintf(stderr, "PTT by CAT: cannot open %s again: %s\n", link.name.c_str(),
                     io.error_text(error));
    }
    return link.rig != nullptr ? 0 : error;
}

}  // namespace

int32_t rig_key(const rig_io& io, rig_link& link, bool transmit) {
    if (link.released) return 0;
    int error = 0;
    // A key, or an unkey of a radio keyed over a connection lost since, goes to a
    // rig opened afresh.
    if ((transmit || link.keyed) && (link.rig == nullptr || link.lost)) {
        error = reopen(io, link, transmit);
    }
    if (link.rig == nullptr && !link.keyed) return 0;
    if (link.rig != nullptr) {
        error = io.set_ptt(link.rig, transmit);
        if (error != 0 && connection_lost(io, error)) {
            error = reopen(io, link, true);
            if (error == 0) error = io.set_ptt(link.rig, transmit);
        } else if (error != 0) {
            error = io.set_ptt(link.rig, transmit);
        }
    }
    link.lost = error != 0;
    if (error == 0) {
        link.keyed = transmit;
        return 1;
    }
    std::fprintf(stderr, "PTT by CAT: %s did not take the %s command: %s\n", link.name.c_str(),
                 transmit ? "key" : "unkey", io.error_text(error));
    return -1;
}

int rig_read_dial(const rig_io& io, rig_link& link, double* hz, char* mode, int mode_size) {
    if (link.released || io.get_dial == nullptr) return -1;
    if (link.rig == nullptr || link.lost) reopen(io, link, false);
    if (link.rig == nullptr) return -1;
    int error = io.get_dial(link.rig, hz, mode, mode_size);
    if (error != 0 && connection_lost(io, error)) {
        reopen(io, link, false);
        error = link.rig != nullptr ? io.get_dial(link.rig, hz, mode, mode_size) : -1;
    }
    link.lost = error != 0 && connection_lost(io, error);
    return error;
}

void rig_release(const rig_io& io, rig_link& link) {
    if (link.rig != nullptr || link.keyed) rig_key(io, link, false);
    if (link.rig != nullptr) io.close(link.rig);
    link.rig = nullptr;
    link.released = true;
}
