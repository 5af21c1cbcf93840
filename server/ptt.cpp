#include "server/ptt.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

int posix_open(const char* path, int flags) { return ::open(path, flags); }
int posix_ioctl_bits(int fd, unsigned long request, int* bits) { return ::ioctl(fd, request, bits); }
int posix_close(int fd) { return ::close(fd); }

// Polarity 0 asserts RTS to transmit; polarity 1 asserts it while idle.
unsigned long rts_request(int32_t polarity, bool transmit) {
    const bool assert_rts = (polarity == 0) == transmit;
    return assert_rts ? TIOCMBIS : TIOCMBIC;
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
        int bits = TIOCM_RTS;
        if (io.ioctl_bits(fd, rts_request(line.polarity, false), &bits) == 0) {
            line.fd = fd;
            return;
        }
    }
    const int reason = errno;
    std::fputs("Cannot open PTT device ", stderr);
    errno = reason;
    std::perror(line.path.c_str());
    // A device that refused its first RTS change is given up for good.
    if (fd >= 0) io.close(fd);
}

void ptt_key(const ptt_io& io, const ptt_line& line, bool transmit) {
    if (line.fd < 0) return;
    int bits = TIOCM_RTS;
    io.ioctl_bits(line.fd, rts_request(line.polarity, transmit), &bits);
}
