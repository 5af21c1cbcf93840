// The rig's own thread: after start-up every Hamlib call is made here, so that a rig
// slow to answer (Hamlib waits 10 s for each reply) never holds up capture or
// playback. The audio thread queues key and unkey; it waits, with a bound, only for
// the key before the first sound. The dial is read once a second when asked for and
// taken by the poll loop under the lock.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "modem/radio_frequency.h"
#include "server/rig.h"

struct rig_worker {
    using clock = std::chrono::steady_clock;
    // A dial read longer ago than this is no longer the dial: the rig stopped answering.
    static constexpr std::chrono::milliseconds kDialLife{3000};
    static constexpr std::chrono::milliseconds kReadInterval{1000};

    const rig_io* io = nullptr;
    rig_link* link = nullptr;                      // used by the thread alone once started
    bool keys = false;                             // PTT by CAT
    bool reads = false;                            // the dial is read once a second
    std::atomic<int32_t>* unkey_failed = nullptr;  // counts the unkeys the rig refused

    std::mutex lock;                     // everything below
    std::condition_variable wake;        // a request, or the stop
    std::condition_variable answered;    // a request done
    std::array<bool, 8> requests{};      // ring of PTT commands: true key, false unkey
    int32_t head = 0;                    // oldest request
    int32_t count = 0;                   // requests waiting
    bool busy = false;                   // a Hamlib call under way
    bool stopping = false;               // unkey, close and end
    bool stopped = false;
    uint64_t keys_asked = 0;             // key requests queued since start
    uint64_t keys_answered = 0;          // and done
    int32_t key_result = 0;              // rig_key's answer to the last key done
    radio_dial dial;                     // last read; hz 0 after a failed read
    clock::time_point dial_read_at{};    // when it was read
    std::thread thread;
};

// Starts the thread on a link the caller has opened (or tried to).
void rig_worker_start(rig_worker& w, const rig_io& io, rig_link& link, bool keys, bool reads,
                      std::atomic<int32_t>* unkey_failed);

// Keys the radio and waits up to `bound` for the rig's answer: 1 keyed, 0 no rig to
// key with, -1 refused or no answer in time.
int32_t rig_worker_key(rig_worker& w, std::chrono::milliseconds bound);

// Queues the unkey without waiting; a refusal is counted in unkey_failed.
void rig_worker_unkey(rig_worker& w);

// Waits up to `bound` until every queued command is done and no call is under way;
// true when it came to that.
bool rig_worker_settle(rig_worker& w, std::chrono::milliseconds bound);

// The dial as the poll loop shows it: unknown when never read, when the last read
// failed, or when it is older than kDialLife.
radio_dial rig_worker_dial(rig_worker& w, rig_worker::clock::time_point now);

// Unkeys, closes the rig and ends the thread, waiting up to `bound` (at exit). A
// thread still held up in Hamlib after that is left to the process's end.
void rig_worker_stop(rig_worker& w, std::chrono::milliseconds bound);
