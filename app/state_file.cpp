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

// One line, read whole whatever its length; false at the end of the file.
bool readLine(std::FILE* in, std::string& line) {
    line.clear();
    int c;
    while ((c = std::fgetc(in)) != EOF) {
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
    }
    return !line.empty();
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

std::string homeDirectory() {
    // An empty HOME would put the directory at the filesystem root.
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_dir;
    return "";
}

std::string qsoDirectory() { return homeDirectory() + "/.vordaDir"; }

StateValues readStateValues(std::FILE* in) {
    StateValues values{};
    std::string line;
    for (WindowPosition& pos : values.decoderPos) {
        int16_t* coordinates[2] = {&pos.x, &pos.y};
        for (int16_t* coordinate : coordinates) {
            *coordinate = static_cast<int16_t>(readLine(in, line)
                                                   ? parseValue(line, INT16_MIN, INT16_MAX)
                                                   : DEFAULT_POSITION);
        }
    }
    values.reserved = static_cast<int32_t>(readLine(in, line)
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
        std::FILE* out = std::fopen(path.c_str(), "w");
        if (out == nullptr) {
            std::fprintf(stderr, "Open %s for write failed\n", path.c_str());
            return 0;
        }
        std::fprintf(stderr, "Writing %s\n", path.c_str());
        writeStateValues(out, stateValues);
        std::fclose(out);
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
        std::FILE* in = std::fopen(path.c_str(), "r");
        if (in == nullptr) {
            std::fprintf(stderr, "open %s for read failed\n", path.c_str());
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
