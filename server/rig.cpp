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
    int error = 0;
    link.rig = io.open(model, port != nullptr ? port : "", speed, &error);
    return link.rig != nullptr ? "" : io.error_text(error);
}

bool rig_key(const rig_io& io, const rig_link& link, bool transmit) {
    if (link.rig == nullptr) return false;
    int error = io.set_ptt(link.rig, transmit);
    if (error != 0) error = io.set_ptt(link.rig, transmit);
    if (error == 0) return true;
    std::fprintf(stderr, "PTT by CAT: %s did not take the %s command: %s\n", link.name.c_str(),
                 transmit ? "key" : "unkey", io.error_text(error));
    return false;
}

void rig_release(const rig_io& io, rig_link& link) {
    if (link.rig == nullptr) return;
    rig_key(io, link, false);
    io.close(link.rig);
    link.rig = nullptr;
}
