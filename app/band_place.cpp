#include "app/band_place.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "app/state_file.h"
#include "gui/main_window.h"

namespace {

constexpr int MAX_COORDINATE = 32767;

// Refuses anything but a regular file without blocking on a FIFO; -1 otherwise.
int openRegularFile(const std::string& path, int flags) {
    struct stat info{};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) return -1;
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string bandPlacePath() { return qsoDirectory() + "/band.pos"; }

bool parseBandPlace(const std::string& text, int* x, int* y, int* width, int* height) {
    long values[4];
    if (std::sscanf(text.c_str(), "%ld %ld %ld %ld", &values[0], &values[1], &values[2],
                    &values[3]) != 4 ||
        values[2] <= 0 || values[3] <= 0) {
        return false;
    }
    *x = static_cast<int>(std::clamp(values[0], -MAX_COORDINATE - 1L, long{MAX_COORDINATE}));
    *y = static_cast<int>(std::clamp(values[1], -MAX_COORDINATE - 1L, long{MAX_COORDINATE}));
    *width = static_cast<int>(std::min(values[2], long{MAX_COORDINATE}));
    *height = static_cast<int>(std::min(values[3], long{MAX_COORDINATE}));
    return true;
}

bool savedBandPlace(int* x, int* y, int* width, int* height) {
    const int fd = openRegularFile(bandPlacePath(), O_RDONLY);
    if (fd < 0) return false;
    char buffer[128] = {};
    const ssize_t n = read(fd, buffer, sizeof buffer - 1);
    close(fd);
    return n > 0 && parseBandPlace(std::string(buffer, static_cast<size_t>(n)), x, y, width, height);
}

void saveBandPlace(const MainWindow* mw) {
    int x = 0, y = 0, width = 0, height = 0;
    if (!band_window_place(&mw->band, &x, &y, &width, &height)) return;
    const std::string path = bandPlacePath();
    const int fd = openRegularFile(path, O_WRONLY | O_CREAT);
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%d %d %d %d\n", x, y, width, height);
    if (fd < 0 || ftruncate(fd, 0) != 0 || write(fd, text, static_cast<size_t>(length)) != length) {
        std::fprintf(stderr, "vorda: the band window's place was not saved in %s\n", path.c_str());
    }
    if (fd >= 0) close(fd);
}
