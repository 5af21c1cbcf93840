#include "server/ptt.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

int posix_open(const char* path, int flags) { return ::open(path, flags); }
int posix_ioctl_bits(int fd, unsigned long request, int* bits) { return ::ioctl(fd, request, bits); }
int posix_close(int fd) { return ::close(fd); }

// Polarity 0 asserts the line to transmit; polarity 1 asserts it while idle.
unsigned long line_request(int32_t polarity, bool transmit) {
    const bool assert_line = (polarity == 0) == transmit;
    return assert_line ? TIOCMBIS : TIOCMBIC;
}

}  // namespace

const ptt_io posix_ptt_io = {posix_open, posix_ioctl_bits, posix_close};

void ptt_parse(const char* device, ptt_line& line) {
    line = ptt_line{};
    if (device == nullptr) return;
    line.path = device;
    const size_t n = line.path.size();
    if (n >= 3 && line.path[n - 2] == ',') {
        line.polarity = line.path[n - 1] == '0' ? 0 : 1;
        line.path.resize(n - 2);
    }
}

void ptt_open(const ptt_io& io, ptt_line& line) {
    line.fd = -1;
    if (line.path.empty()) return;
    // No controlling terminal: a hang-up on the radio's serial line must not signal us.
    const int fd = io.open(line.path.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        int bits = line.dtr ? TIOCM_DTR : TIOCM_RTS;
        if (io.ioctl_bits(fd, line_request(line.polarity, false), &bits) == 0) {
            line.fd = fd;
            return;
        }
    }
    const int reason = errno;
    std::fputs("Cannot open PTT device ", stderr);
    errno = reason;
    std::perror(line.path.c_str());
    // A device that refused its first line change is given up for good.
    if (fd >= 0) io.close(fd);
}

bool ptt_key(const ptt_io& io, const ptt_line& line, bool transmit) {
    if (line.fd < 0) return false;
    int bits = line.dtr ? TIOCM_DTR : TIOCM_RTS;
    return io.ioctl_bits(line.fd, line_request(line.polarity, transmit), &bits) == 0;
}

void keyer_open(const ptt_io& io, const rig_io& rig, const ServerPtt& settings,
                const char* device, ptt_keyer& keyer) {
    keyer = ptt_keyer{};
    keyer.method = settings.method;
    keyer.asked = device != nullptr && settings.method != PttMethod::none;
    if (!keyer.asked) return;
    if (settings.method == PttMethod::cat) {
        keyer.problem = rig_open(rig, settings.rig_model, settings.rig_port, settings.rig_speed,
                                 keyer.rig);
        keyer.ready = keyer.rig.rig != nullptr;
        return;
    }
    ptt_parse(device, keyer.line);
    keyer.line.dtr = settings.method == PttMethod::dtr;
    ptt_open(io, keyer.line);
    keyer.ready = keyer.line.fd >= 0;
}

int32_t keyer_key(const ptt_io& io, const rig_io& rig, ptt_keyer& keyer, bool transmit) {
    if (keyer.method == PttMethod::cat) {
        if (!keyer.asked) return 0;
        return rig_key(rig, keyer.rig, transmit);
    }
    if (keyer.line.fd < 0) return 0;
    if (ptt_key(io, keyer.line, transmit)) return 1;
    const int reason = errno;
    std::fprintf(stderr, "PTT device %s refused to %s the radio: %s\n", keyer.line.path.c_str(),
                 transmit ? "key" : "unkey", std::strerror(reason));
    return -1;
}

void keyer_release(const ptt_io& io, const rig_io& rig, ptt_keyer& keyer) {
    if (keyer.method == PttMethod::cat) {
        rig_release(rig, keyer.rig);
    } else {
        ptt_key(io, keyer.line, false);
    }
}
