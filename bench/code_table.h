// The benchmarks' code table: data/ next to this file's folder, loaded once.
#pragma once

#include <string>

#include "modem/varicode.h"

inline void load_bench_code_table() {
    static const int loaded = [] {
        std::string dir = __FILE__;
        dir = dir.substr(0, dir.rfind('/') + 1) + "../data";
        return load_code_table(dir.c_str());
    }();
    (void)loaded;
}
