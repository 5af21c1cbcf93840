// Scripted sound streams and a recording PTT line for the server tests. The server
// reaches them through function tables, so one fake of each kind is current at a time.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "server/server_state.h"

// Polls `done` until it holds or `seconds` pass; whether it held.
template <typename Condition>
bool wait_for(Condition&& done, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct scripted_audio {
    std::vector<int16_t> capture;  // left, right, left, right, ...
    size_t capture_frame = 0;      // next frame to hand out
    int reads = 0;
    bool fail_capture_open = false;
    bool fail_playback_open = false;

    // At the first read starting at or after this frame, the transmit request is set.
    server_state* target = nullptr;
    int64_t request_at_frame = -1;
    int32_t request_value = 0;

    std::vector<int16_t> played;
    std::atomic<int> writes{0};
    int fail_write = -1;           // index of a write that fails
    int write_delay_us = 0;        // each write takes this long, as a sound server paces them
    std::vector<int32_t> transmitting_seen;  // the server's flag at every write
    int drains = 0;
    int32_t transmitting_at_drain = -1;  // the server's flag when it drained
    std::vector<int> restarts;           // blocks written before each restart
    std::function<void()> on_write;      // called at every write and at the drain,
    std::function<void()> on_drain;      // before the block or the drain counts

    void add_frames(const std::vector<int16_t>& left, int16_t right = 0) {
        for (int16_t v : left) {
            capture.push_back(v);
            capture.push_back(right);
        }
    }
    void add_silence(size_t frames) { capture.resize(capture.size() + 2 * frames, 0); }
    ~scripted_audio();
};

inline scripted_audio* current_audio = nullptr;

// The PTT fakes look at the current streams: a test that runs after this one in the
// same process must not find them gone.
inline scripted_audio::~scripted_audio() {
    if (current_audio == this) current_audio = nullptr;
}

inline const audio_io scripted_audio_io = {
    [](audio_direction direction, int32_t, int* error) -> void* {
        const bool fail = direction == audio_direction::capture ? current_audio->fail_capture_open
                                                                : current_audio->fail_playback_open;
        if (fail) {
            *error = 42;
            return nullptr;
        }
        return current_audio;
    },
    [](void* stream, void* data, size_t bytes, int* error) {
        auto* a = static_cast<scripted_audio*>(stream);
        ++a->reads;
        const size_t frames = bytes / 4;
        if (a->request_at_frame >= 0 && a->capture_frame >= static_cast<size_t>(a->request_at_frame)) {
            a->target->transmit_request.store(a->request_value);
            a->request_at_frame = -1;
        }
        if (2 * (a->capture_frame + frames) > a->capture.size()) {
            *error = 43;
            return -1;
        }
        std::memcpy(data, a->capture.data() + 2 * a->capture_frame, bytes);
        a->capture_frame += frames;
        return 0;
    },
    [](void* stream, const void* data, size_t bytes, int* error) {
        auto* a = static_cast<scripted_audio*>(stream);
        const int index = a->writes.load();
        if (a->on_write) a->on_write();
        if (a->write_delay_us > 0) usleep(static_cast<useconds_t>(a->write_delay_us));
        a->transmitting_seen.push_back(a->target != nullptr ? a->target->transmitting.load() : -1);
        if (index == a->fail_write) {
            a->writes.store(index + 1);
            *error = 44;
            return -1;
        }
        const auto* samples = static_cast<const int16_t*>(data);
        a->played.insert(a->played.end(), samples, samples + bytes / 2);
        a->writes.store(index + 1);
        return 0;
    },
    [](void* stream, int*) {
        auto* a = static_cast<scripted_audio*>(stream);
        if (a->on_drain) a->on_drain();
        ++a->drains;
        a->transmitting_at_drain = a->target != nullptr ? a->target->transmitting.load() : -1;
        return 0;
    },
    [](void* stream, int*) {
        auto* a = static_cast<scripted_audio*>(stream);
        a->restarts.push_back(a->writes.load());
        return 0;
    },
    [](int error) { return error == 43 ? "end of script" : "scripted failure"; },
};

// Where the transmission stood when the radio was keyed or unkeyed.
struct keying_moment {
    int writes = -1;          // blocks written so far
    int drains = -1;          // drains so far
    int32_t transmitting = -1;  // the server's flag
};

inline keying_moment moment_now();

struct recorded_ptt {
    struct change {
        unsigned long request;
        int bits;
        keying_moment at;
    };
    std::vector<std::string> opened;
    std::vector<int> open_flags;
    std::vector<change> changes;
    std::vector<int> closed;
    int open_errno = 0;          // non-zero: open fails with it
    int first_ioctl_errno = 0;   // non-zero: the first ioctl fails with it
    int refused_change = -1;     // index of a later change that fails with EIO
};

inline recorded_ptt* current_ptt = nullptr;

inline const ptt_io recorded_ptt_io = {
    [](const char* path, int flags) {
        current_ptt->opened.emplace_back(path);
        current_ptt->open_flags.push_back(flags);
        if (current_ptt->open_errno != 0) {
            errno = current_ptt->open_errno;
            return -1;
        }
        return 17;
    },
    [](int, unsigned long request, int* bits) {
        const bool first = current_ptt->changes.empty();
        current_ptt->changes.push_back({request, *bits, moment_now()});
        if (first && current_ptt->first_ioctl_errno != 0) {
            errno = current_ptt->first_ioctl_errno;
            return -1;
        }
        if (current_ptt->changes.size() == static_cast<size_t>(current_ptt->refused_change) + 1) {
            errno = EIO;
            return -1;
        }
        return 0;
    },
    [](int fd) {
        current_ptt->closed.push_back(fd);
        return 0;
    },
};

// A rig that answers as the test says and records what it was told.
struct scripted_rig {
    struct command {
        bool transmit;
        keying_moment at;
    };
    std::vector<std::string> opened;  // "model port speed"
    int open_error = 0;               // non-zero: open fails with it
    std::vector<command> commands;
    std::vector<int> refusals;        // answers to the commands in turn (0 taken); then 0
    int closes = 0;
};

inline scripted_rig* current_rig = nullptr;

inline const rig_io scripted_rig_io = {
    [](int32_t model, const char* port, int32_t speed, int* error) -> void* {
        current_rig->opened.push_back(std::to_string(model) + " " + port + " " +
                                      std::to_string(speed));
        *error = current_rig->open_error;
        return current_rig->open_error != 0 ? nullptr : current_rig;
    },
    [](void* rig, bool transmit) {
        auto* r = static_cast<scripted_rig*>(rig);
        const size_t n = r->commands.size();
        r->commands.push_back({transmit, moment_now()});
        return n < r->refusals.size() ? r->refusals[n] : 0;
    },
    [](void* rig) { ++static_cast<scripted_rig*>(rig)->closes; },
    [](int error) { return error == -5 ? "Communication timed out" : "IO error"; },
    nullptr,  // the dial is not read: the keying tests count every call
    [](int error) { return error == -6; },
};

inline keying_moment moment_now() {
    if (current_audio == nullptr) return {};
    const server_state* s = current_audio->target;
    return {current_audio->writes.load(), current_audio->drains,
            s != nullptr ? s->transmitting.load() : -1};
}

// A fresh server record on the scripted streams, the recording PTT line and the
// scripted rig, set up as server_init does it (without the thread).
inline std::unique_ptr<server_state> make_server(scripted_audio& audio, recorded_ptt& ptt,
                                                 const char* ptt_device = nullptr,
                                                 const ServerPtt& settings = ServerPtt{},
                                                 scripted_rig* rig = nullptr,
                                                 const rig_io* rig_table = nullptr) {
    current_audio = &audio;
    current_ptt = &ptt;
    current_rig = rig;
    auto s = std::make_unique<server_state>();
    s->audio = &scripted_audio_io;
    s->ptt = &recorded_ptt_io;
    if (rig != nullptr) s->rig = &scripted_rig_io;
    if (rig_table != nullptr) s->rig = rig_table;
    s->ptt_settings = settings;
    audio.target = s.get();
    server_setup(*s, ptt_device, VORDA_SOURCE_DATA_DIR);
    return s;
}

// Words waiting in the transmitter's queue, oldest first.
inline std::vector<uint32_t> queued_words(const psk31_transmitter& tx) {
    std::vector<uint32_t> words;
    for (int32_t i = tx.head; i != tx.tail; i = (i + 1) % psk31_transmitter::kQueueSize) {
        words.push_back(static_cast<uint32_t>(tx.queue[i]));
    }
    return words;
}

// Everything waiting in a channel, read in small pieces as the poll loop does.
inline std::string drain(server_state& s, int32_t channel) {
    std::string text;
    char piece[256];
    for (int32_t n; (n = server_read(s, channel, piece, sizeof piece)) > 0;) text.append(piece, n);
    return text;
}
