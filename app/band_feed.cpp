#include "app/band_feed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

#include "gui/band_lines.h"
#include "server/server.h"

namespace {

constexpr int32_t READ_SAMPLES = 4096;
constexpr useconds_t IDLE_MICROSECONDS = 50000;  // no audio waiting: half a symbol's worth
// A window that stops taking (a stuck X connection) must not grow the queue for ever.
constexpr size_t MAX_WAITING = 1 << 16;

void run(BandFeed* feed) {
    band_survey survey;
    bool surveying = false;
    std::time_t started = 0;  // wall-clock second of the survey's first sample
    uint64_t position = 0;
    bool complained = false;
    int32_t idBase = 0;  // added to the survey's receiver numbers
    static int16_t samples[READ_SAMPLES];
    for (;;) {
        const int32_t n = server_read_audio(&position, samples, READ_SAMPLES);
        const bool wanted = feed->showing.load() != 0 || feed->logging.load() != 0;
        if (wanted && !surveying) {
            // A new survey numbers its receivers from 1 again; the window still holds
            // lines of the last one, which must not take the new stations' text.
            idBase += survey.next_id;
            survey_init(survey, -1, feed->lsb, 15, 1);
            started = std::time(nullptr);
        }
        surveying = wanted;
        if (surveying && n > 0) {
            survey_feed(survey, samples, static_cast<size_t>(n));
            if (feed->showing.load() != 0 && !survey.live.empty()) {
                std::lock_guard<std::mutex> hold(feed->lock);
                if (feed->chars.size() + survey.live.size() <= MAX_WAITING) {
                    for (survey_char c : survey.live) {
                        c.channel += idBase;
                        feed->chars.push_back(c);
                    }
                } else {
                    feed->dropped += survey.live.size();
                }
            }
            survey.live.clear();
            if (feed->logging.load() != 0) {
                std::string text;
                for (const survey_line& line : survey.lines) {
                    text += band_log_line(started + static_cast<std::time_t>(line.start_seconds),
                                          line);
                }
                // One message, then no more tries: a log is not worth a stream of them.
                if (!text.empty() && !complained && !append_band_log(feed->logPath, text)) {
                    complained = true;
                }
            }
            survey.lines.clear();
        }
        if (n < READ_SAMPLES) usleep(IDLE_MICROSECONDS);
    }
}

}  // namespace

void band_feed_start(BandFeed* feed) { std::thread(run, feed).detach(); }

void band_feed_take(BandFeed* feed, std::vector<survey_char>* out) {
    out->clear();
    std::lock_guard<std::mutex> hold(feed->lock);
    out->swap(feed->chars);
}

bool append_band_log(const std::string& path, const std::string& text) {
    struct stat before{};
    if (stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        std::fprintf(stderr, "vorda: %s is not a regular file; the band log is not written\n",
                     path.c_str());
        return false;
    }
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat info{};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        std::fprintf(stderr, "vorda: cannot append to %s: %s\n", path.c_str(),
                     fd < 0 ? std::strerror(errno) : "not a regular file");
        if (fd >= 0) close(fd);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t w = write(fd, text.data() + done, text.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            std::fprintf(stderr, "vorda: writing %s: %s\n", path.c_str(), std::strerror(errno));
            close(fd);
            return false;
        }
        done += static_cast<size_t>(w);
    }
    close(fd);
    return true;
}
