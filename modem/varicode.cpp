#include "modem/varicode.h"

#include "modem/home_directory.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int kCodes = 256;
constexpr int kReceiveEntries = 2048;
constexpr int kMaxCodeBits = 12;
constexpr size_t kMaxPathPrefix = 1000;  // longer directories are cut to this many characters
constexpr int32_t kUnknownPattern = 248;  // shown for a pattern no line produced

std::array<int32_t, kCodes> send_table{};
std::array<int32_t, kReceiveEntries> receive_table{};

// Directories are cut to their first 1000 characters, as a fixed path buffer would.
std::string cut_directory(const char* dir) { return std::string(dir, strnlen(dir, kMaxPathPrefix)); }

[[noreturn]] void refuse(const std::string& path, const char* what, int line) {
    std::fprintf(stderr, "Bad code table file '%s': %s at line %d\n", path.c_str(), what, line);
    std::exit(1);
}

}  // namespace

int load_code_table(const char* data_dir) {
    FILE* file = nullptr;
    std::string path;
    if (data_dir != nullptr) {
        path = cut_directory(data_dir);
        if (path.empty() || path.back() != '/') path += '/';
        path += "psk31.cod";
        file = std::fopen(path.c_str(), "r");
    }
    if (file == nullptr) {
        if (const std::string home = homeDirectory(); !home.empty()) {
            path = cut_directory(home.c_str()) + "/psk31.cod";
            file = std::fopen(path.c_str(), "r");
        }
    }
    if (file == nullptr) {
        path = "psk31.cod";
        file = std::fopen(path.c_str(), "r");
    }
    if (file == nullptr) {
        std::fputs("Can't open code table file 'psk31.cod'\n", stderr);
        std::exit(1);
    }

    receive_table.fill(kUnknownPattern);
    for (int k = 0; k < kCodes; ++k) {
        // A 15-byte buffer: a longer line is cut and its rest read as the next line.
        char line[15];
        if (std::fgets(line, sizeof line, file) == nullptr) {
            std::fclose(file);
            refuse(path, "fewer than 256 lines", k + 1);
        }
        int p = static_cast<int>(std::strlen(line)) - 1;
        while (p > 0 && line[p] != '0' && line[p] != '1') --p;
        if (p < 0) p = 0;
        const int n = p + 1;
        if (n > kMaxCodeBits) {
            std::fclose(file);
            refuse(path, "a code longer than 12 bits", k + 1);
        }
        int32_t word = 1 << (n + 2);
        for (int j = 0; j < n; ++j) {
            if (line[j] == '1') word |= 1 << j;
        }
        send_table[k] = word;
        const int32_t index = (word & ~(1 << (n + 2))) >> 1;
        receive_table[index] = k;
    }
    std::fclose(file);
    return 0;
}

int32_t varicode_code(int byte) { return send_table[byte & 0xFF]; }

int varicode_receive_bit(varicode_framer& framer, int bit) {
    int32_t& r = framer.shift_register;
    if (r & 4) framer.overflow = 1;
    r >>= 1;
    if (bit == 1) r |= 0x8000;
    if (r == 0 || (r & 0xC000) != 0) return NO_CHAR;
    while ((r & 1) == 0) r >>= 1;
    r >>= 1;
    int c;
    if (framer.overflow) {
        c = '~';
    } else {
        c = receive_table[r] & 0xFF;
        if (c == 13) c = 10;
    }
    r = 0;
    framer.overflow = 0;
    return c;
}
