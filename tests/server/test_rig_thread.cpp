// The rig thread on a scripted rig: the dial as the poll loop sees it, and keying
// that a rig slow to answer never turns into a wait for the audio.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "server/rig_thread.h"

namespace {

// Answers to dial reads in turn (the last one repeats); an open can be made to fail,
// and a read can be held until the test lets it go.
struct dial_script {
    struct answer {
        double hz;
        const char* mode;
        int error;
    };
    std::vector<answer> answers;
    size_t reads = 0;
    int opens = 0;
    int open_error = 0;
    std::vector<bool> commands;
    bool hold = false;  // the next read hangs until released
    std::mutex lock;
    std::condition_variable released;
};
dial_script* script = nullptr;

const rig_io dial_rig_io = {
    [](int32_t, const char*, int32_t, int* error) -> void* {
        ++script->opens;
        *error = script->open_error;
        return script->open_error != 0 ? nullptr : script;
    },
    [](void*, bool transmit) {
        script->commands.push_back(transmit);
        return 0;
    },
    [](void*) {},
    [](int) { return "IO error"; },
    [](void*, double* hz, char* mode, int size) {
        std::unique_lock<std::mutex> hold(script->lock);
        script->released.wait(hold, [] { return !script->hold; });
        const auto& a = script->answers[std::min(script->reads++, script->answers.size() - 1)];
        *hz = a.hz;
        std::snprintf(mode, static_cast<size_t>(size), "%s", a.mode);
        return a.error;
    },
    [](int error) { return error == -6; },
};

struct started_worker {
    rig_link link;
    rig_worker w;
    std::atomic<int32_t> unkey_failed{0};
    explicit started_worker(dial_script& s, bool keys) {
        script = &s;
        rig_open(dial_rig_io, 2, "localhost:4532", 0, link);
        rig_worker_start(w, dial_rig_io, link, keys, true, &unkey_failed);
    }
    ~started_worker() { rig_worker_stop(w, std::chrono::seconds(5)); }
    radio_dial dial_after_first_read() {
        std::unique_lock<std::mutex> hold(w.lock);
        EXPECT_TRUE(w.answered.wait_for(hold, std::chrono::seconds(10), [&] {
            return w.dial_read_at != rig_worker::clock::time_point{};
        }));
        hold.unlock();
        return rig_worker_dial(w, rig_worker::clock::now());
    }
};

TEST(RigThread, DialIsShownAsReadAndUnknownAfterAFailedRead) {
    struct read_case {
        std::vector<dial_script::answer> answers;
        int open_error_after_loss;
        int64_t hz;  // shown; 0 unknown
        bool lsb;
    } cases[] = {
        {{{14070000.4, "PKTUSB", 0}}, 0, 14070000, false},
        {{{7040000, "LSB", 0}}, 0, 7040000, true},
        {{{3580000, "PKTLSB", 0}}, 0, 3580000, true},
        {{{14070000, "USB", -5}}, 0, 0, false},                        // timed out
        {{{14070000, "USB", -6}, {14071000, "USB", 0}}, 0, 14071000, false},  // found again at once
        {{{14070000, "USB", -6}}, -6, 0, false},                       // gone for good
    };
    for (const read_case& c : cases) {
        dial_script s;
        s.answers = c.answers;
        s.open_error = 0;
        s.hold = true;
        started_worker rig(s, false);
        {
            std::lock_guard<std::mutex> hold(s.lock);
            s.open_error = c.open_error_after_loss;
            s.hold = false;
        }
        s.released.notify_all();
        const radio_dial shown = rig.dial_after_first_read();
        EXPECT_EQ(shown.hz, c.hz) << c.answers[0].mode << " " << c.answers[0].error;
        EXPECT_EQ(shown.lsb, c.lsb) << c.answers[0].mode;
        EXPECT_EQ(rig_worker_dial(rig.w, rig_worker::clock::now() + std::chrono::seconds(4)).hz, 0)
            << "a dial not read for seconds is a rig that stopped answering";
    }
}

// While a read hangs in Hamlib, an unkey is queued at once and a key gives up at
// its bound; both are done, in order, once the rig answers again.
TEST(RigThread, HungRigHoldsUpNeitherUnkeyNorKeyBeyondItsBound) {
    dial_script s;
    s.answers = {{14070000, "USB", 0}};
    s.hold = true;
    started_worker rig(s, true);
    {
        std::unique_lock<std::mutex> hold(rig.w.lock);
        ASSERT_TRUE(rig.w.answered.wait_for(hold, std::chrono::seconds(10), [&] { return rig.w.busy; }));
    }
    const auto begun = rig_worker::clock::now();
    rig_worker_unkey(rig.w);
    EXPECT_EQ(rig_worker_key(rig.w, std::chrono::milliseconds(200)), -1);
    EXPECT_LT(rig_worker::clock::now() - begun, std::chrono::seconds(2));
    {
        std::lock_guard<std::mutex> hold(s.lock);
        s.hold = false;
    }
    s.released.notify_all();
    ASSERT_TRUE(rig_worker_settle(rig.w, std::chrono::seconds(10)));
    EXPECT_EQ(s.commands, (std::vector<bool>{false, true}));
    EXPECT_EQ(rig_worker_key(rig.w, std::chrono::seconds(10)), 1);
}

}  // namespace
