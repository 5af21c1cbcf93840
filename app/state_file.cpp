#include "app/state_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "app/error_dialog.h"
#include "app/startup.h"

StateValues stateValues;
std::string iniReport;
const char* dataDirectory = nullptr;

namespace {

constexpr int DEFAULT_POSITION = 50;
constexpr int DEFAULT_RESERVED = 1;

// Nine short numbers make a state file: more than this is not one, and reading
// stops there (what is missing takes its default).
constexpr long MAX_STATE_BYTES = 65536;
// Characters of a line that count; the rest of a longer line is skipped.
constexpr size_t MAX_LINE = 256;

// One line, at most MAX_LINE characters of it; false at the end of the file or
// when the byte budget is spent.
bool readLine(std::FILE* in, std::string& line, long& budget) {
    line.clear();
    bool any = false;
    int c;
    while (budget > 0 && (c = std::fgetc(in)) != EOF) {
        --budget;
        any = true;
        if (c == '\n') return true;
        if (line.size() < MAX_LINE) line.push_back(static_cast<char>(c));
    }
    return any;
}

// Opens the state file without blocking on a FIFO and refuses anything but a
// regular file (a device such as /dev/zero never ends); -1 with errno set.
int openRegular(const std::string& path, int flags) {
    // Looked at first too: opening a FIFO for writing fails without a reason.
    struct stat before{};
    if (stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        errno = S_ISDIR(before.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat info{};
    int saved = 0;
    if (fstat(fd, &info) != 0) {
        saved = errno;
    } else if (!S_ISREG(info.st_mode)) {
        saved = EINVAL;
    }
    if (saved != 0) {
        close(fd);
        errno = saved;
        return -1;
    }
    // Reads and writes of a regular file block as usual from here on.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// The reason a refused state file gets beside the usual open failure message.
void explainRefusal(const std::string& path) {
    if (errno == EINVAL) std::fprintf(stderr, "vorda: %s is not a regular file\n", path.c_str());
}

long parseValue(const std::string& line, long lowest, long highest) {
    errno = 0;
    const long value = std::strtol(line.c_str(), nullptr, 10);  // no digits: 0
    if (value < lowest) return lowest;
    if (value > highest) return highest;
    return value;
}

std::string bugReportTail() {
    return std::string("\n\nPlease send bug reports to\n") + contactAddress;
}

}  // namespace

std::string qsoDirectory() { return homeDirectory() + "/.vordaDir"; }

StateValues readStateValues(std::FILE* in) {
    StateValues values{};
    std::string line;
    long budget = MAX_STATE_BYTES;
    for (WindowPosition& pos : values.decoderPos) {
        int16_t* coordinates[2] = {&pos.x, &pos.y};
        for (int16_t* coordinate : coordinates) {
            *coordinate = static_cast<int16_t>(readLine(in, line, budget)
                                                   ? parseValue(line, INT16_MIN, INT16_MAX)
                                                   : DEFAULT_POSITION);
        }
    }
    values.reserved = static_cast<int32_t>(readLine(in, line, budget)
                                               ? parseValue(line, INT32_MIN, INT32_MAX)
                                               : DEFAULT_RESERVED);
    return values;
}

void writeStateValues(std::FILE* out, const StateValues& values) {
    for (const WindowPosition& pos : values.decoderPos) std::fprintf(out, "%d\n%d\n", pos.x, pos.y);
    std::fprintf(out, "%d\n", values.reserved);
}

int iniProc(int mode) {
    std::string path = homeDirectory() + "/.vordaDir";
    struct stat info;
    if (stat(path.c_str(), &info) != 0) getQSOfiles(path.c_str());
    path += "/.vorda.dat";

    if (mode == 'w') {
        // Not truncated before it is known to be a regular file.
        const int fd = openRegular(path, O_WRONLY | O_CREAT);
        std::FILE* out = fd < 0 ? nullptr : fdopen(fd, "w");
        if (out == nullptr) {
            explainRefusal(path);
            std::fprintf(stderr, "Open %s for write failed\n", path.c_str());
            if (fd >= 0) close(fd);
            return 0;
        }
        if (ftruncate(fd, 0) != 0) {
            std::fprintf(stderr, "Open %s for write failed\n", path.c_str());
            std::fclose(out);
            return 0;
        }
        std::fprintf(stderr, "Writing %s\n", path.c_str());
        writeStateValues(out, stateValues);
        // A full disk shows only here; the old values are gone either way, so say so.
        const bool failed = std::ferror(out) != 0;
        if (std::fclose(out) != 0 || failed) {
            std::fprintf(stderr, "vorda: writing %s failed: %s\n", path.c_str(), std::strerror(errno));
            return 0;
        }
        return 1;
    }
    if (mode == 'r') {
        if (stat(path.c_str(), &info) != 0) {
            if (errno == ENOENT) {
                iniReport = "no " + path + " file yet. I'll fix that.\n";
                for (WindowPosition& pos : stateValues.decoderPos) {
                    pos = {DEFAULT_POSITION, DEFAULT_POSITION};
                }
                stateValues.reserved = DEFAULT_RESERVED;
                return 1;
            }
            std::fprintf(stderr, "stat %s failed\n", path.c_str());
            return 0;
        }
        const int fd = openRegular(path, O_RDONLY);
        std::FILE* in = fd < 0 ? nullptr : fdopen(fd, "r");
        if (in == nullptr) {
            explainRefusal(path);
            std::fprintf(stderr, "open %s for read failed\n", path.c_str());
            if (fd >= 0) close(fd);
            return 0;
        }
        iniReport += "Reading " + path + "\n";
        stateValues = readStateValues(in);
        std::fclose(in);
        return 1;
    }
    std::fputs("illegal call in iniProc\n", stderr);
    return 0;
}

int getQSOfiles(const char* directory) {
    const std::string own = homeDirectory() + "/.vordaDir";
    if (mkdir(own.c_str(), 0755) != 0) {
        const std::string why = own + ": " + std::strerror(errno);
        errorDialog(topLevel, ("Can't create " + why + "\nvorda must exit" + bugReportTail()).c_str(),
                    0, 1);
        std::fprintf(stderr, "vorda: can't create %s\n", why.c_str());
        return -1;
    }
    const std::string installed = std::string(dataDirectory) + "/vordaDir";
    DIR* dir = opendir(installed.c_str());
    if (dir == nullptr) {
        const std::string why = installed + ": " + std::strerror(errno);
        errorDialog(topLevel,
                    ("Can't open " + why + "\nThis is an installation error.\nvorda must exit." +
                     bugReportTail())
                        .c_str(),
                    0, 1);
        std::fprintf(stderr, "vorda: can't open %s\n", why.c_str());
        return -1;
    }
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) {
            continue;
        }
        const std::string source = installed + "/" + entry->d_name;
        const std::string target = std::string(directory) + "/" + entry->d_name;
        // Failures here are not reported: a file that cannot be copied stays short.
        const int in = open(source.c_str(), O_RDONLY);
        const int out = open(target.c_str(), O_RDWR | O_CREAT, 0655);
        char block[1024];
        ssize_t n;
        while ((n = read(in, block, sizeof block)) > 0) {
            if (write(out, block, static_cast<size_t>(n)) < 0) break;
        }
        if (in >= 0) close(in);
        if (out >= 0) close(out);
    }
    closedir(dir);
    return 1;
}
