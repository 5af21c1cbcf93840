// The band survey's thread: it reads the captured audio the receivers hear, runs
// the survey on it, and leaves the decoded characters for the poll loop and the
// finished lines in the band log. Neither the server thread nor the poll loop ever
// waits on it.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "modem/band_survey.h"

struct BandFeed {
    std::atomic<int> showing{0};   // 1 while the band window is open: characters wanted
    std::atomic<int> logging{0};   // 1 when finished lines go to the log
    std::string logPath;           // set before band_feed_start
    int32_t lsb = 0;               // sideband the survey reads in; set before the start

    std::mutex lock;               // the two below
    std::vector<survey_char> chars;
    size_t dropped = 0;            // characters not taken in time and let go
};

// Starts the thread; it runs to the end of the process, so the record must never be
// destroyed (the program makes it with new and keeps it).
void band_feed_start(BandFeed* feed);

// What has come since the last call, under the lock: swapped into `out`.
void band_feed_take(BandFeed* feed, std::vector<survey_char>* out);

// Appends to a log file that must be a regular file (a FIFO or device is refused
// without blocking); false with a message on standard error otherwise.
bool append_band_log(const std::string& path, const std::string& text);
