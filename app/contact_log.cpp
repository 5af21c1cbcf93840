#include "app/contact_log.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::string failure(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error);
}

// All of `text`, or false with errno set.
bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string contactLogAppend(const std::string& path, const std::string& header,
                             const std::string& record) {
    // Looked at before opening: opening a FIFO for writing would wait for a reader.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        return "Cannot log to " + path + ": not a regular file";
    }
    // No O_APPEND: the end is found once, so that a failed write can be cut off there.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) return failure("Cannot open", path, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return "Cannot log to " + path + ": not a regular file";
    }
    const off_t end = st.st_size;
    const std::string text = (end == 0 ? header : "") + record;
    if (::lseek(fd, end, SEEK_SET) < 0 || !writeAll(fd, text) || ::fsync(fd) != 0) {
        const int error = errno;
        // The file keeps what it held, not half a record.
        if (::ftruncate(fd, end) != 0) {
            ::close(fd);
            return failure("Cannot write to", path, error) + "; the file may end in part of a record";
        }
        ::close(fd);
        return failure("Cannot write to", path, error) + "; the contact is not logged";
    }
    if (::close(fd) != 0) return failure("Cannot write to", path, errno);
    return "";
}

std::string contactLogSend(const std::string& hostPort, const std::string& text) {
    const size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == hostPort.size()) {
        return "logUdp '" + hostPort + "' is not host:port";
    }
    const std::string host = hostPort.substr(0, colon);
    const std::string port = hostPort.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); rc != 0) {
        return "Cannot send the contact to " + hostPort + ": " + ::gai_strerror(rc);
    }
    std::string problem;
    const int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) {
        problem = failure("Cannot send the contact to", hostPort, errno);
    } else {
        const ssize_t n = ::sendto(fd, text.data(), text.size(), 0, found->ai_addr, found->ai_addrlen);
        if (n != static_cast<ssize_t>(text.size())) {
            problem = failure("Cannot send the contact to", hostPort, errno);
        }
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return problem;
}
