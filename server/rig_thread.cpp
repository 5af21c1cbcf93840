#include "server/rig_thread.h"

#include <cmath>

namespace {

// Runs one queued PTT command or one dial read with the lock released.
void rig_thread_main(rig_worker& w) {
    std::unique_lock<std::mutex> hold(w.lock);
    auto next_read = rig_worker::clock::now();
    for (;;) {
        if (w.count > 0) {
            const bool transmit = w.requests[static_cast<size_t>(w.head)];
            w.head = (w.head + 1) % static_cast<int32_t>(w.requests.size());
            --w.count;
            w.busy = true;
            hold.unlock();
            const int32_t result = rig_key(*w.io, *w.link, transmit);
            hold.lock();
            w.busy = false;
            if (transmit) {
                w.key_result = result;
                ++w.keys_answered;
            } else if (result < 0 && w.unkey_failed != nullptr) {
                w.unkey_failed->fetch_add(1, std::memory_order_relaxed);
            }
            w.answered.notify_all();
            continue;
        }
        if (w.stopping) {
            w.busy = true;
            hold.unlock();
            if (w.keys) {
                rig_release(*w.io, *w.link);
            } else {
                // Read only: the rig is not ours to unkey.
                if (w.link->rig != nullptr) w.io->close(w.link->rig);
                w.link->rig = nullptr;
                w.link->released = true;
            }
            hold.lock();
            w.busy = false;
            w.stopped = true;
            w.answered.notify_all();
            return;
        }
        if (w.reads && rig_worker::clock::now() >= next_read) {
            w.busy = true;
            w.answered.notify_all();
            hold.unlock();
            double hz = 0;
            char mode[32] = "";
            const int error = rig_read_dial(*w.io, *w.link, &hz, mode, sizeof mode);
            hold.lock();
            w.busy = false;
            w.dial = radio_dial{};
            if (error == 0 && hz > 0) {
                w.dial.hz = static_cast<int64_t>(std::llround(hz));
                w.dial.lsb = mode_is_lsb_type(mode);
            }
            w.dial_read_at = rig_worker::clock::now();
            // Counted from the read's end: a rig that takes 10 s to fail is not asked
            // again at once, and commands queued meanwhile go first.
            next_read = w.dial_read_at + rig_worker::kReadInterval;
            w.answered.notify_all();
            continue;
        }
        if (w.reads) {
            w.wake.wait_until(hold, next_read);
        } else {
            w.wake.wait(hold);
        }
    }
}

void queue_request(rig_worker& w, bool transmit) {
    if (w.count == static_cast<int32_t>(w.requests.size())) return;  // never so many
    const size_t at = static_cast<size_t>(w.head + w.count) % w.requests.size();
    w.requests[at] = transmit;
    ++w.count;
    w.wake.notify_one();
}

}  // namespace

void rig_worker_start(rig_worker& w, const rig_io& io, rig_link& link, bool keys, bool reads,
                      std::atomic<int32_t>* unkey_failed) {
    w.io = &io;
    w.link = &link;
    w.keys = keys;
    w.reads = reads && io.get_dial != nullptr;
    w.unkey_failed = unkey_failed;
    w.thread = std::thread(rig_thread_main, std::ref(w));
    pthread_setname_np(w.thread.native_handle(), "vorda-rig");
}

int32_t rig_worker_key(rig_worker& w, std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> hold(w.lock);
    if (w.stopping) return 0;
    queue_request(w, true);
    const uint64_t ticket = ++w.keys_asked;
    if (!w.answered.wait_for(hold, bound, [&] { return w.keys_answered >= ticket; })) return -1;
    return w.key_result;
}

void rig_worker_unkey(rig_worker& w) {
    std::lock_guard<std::mutex> hold(w.lock);
    if (!w.stopping) queue_request(w, false);
}

bool rig_worker_settle(rig_worker& w, std::chrono::milliseconds bound) {
    std::unique_lock<std::mutex> hold(w.lock);
    return w.answered.wait_for(hold, bound, [&] { return w.count == 0 && !w.busy; });
}

radio_dial rig_worker_dial(rig_worker& w, rig_worker::clock::time_point now) {
    std::lock_guard<std::mutex> hold(w.lock);
    if (now - w.dial_read_at > rig_worker::kDialLife) return radio_dial{};
    return w.dial;
}

void rig_worker_stop(rig_worker& w, std::chrono::milliseconds bound) {
    if (!w.thread.joinable()) return;
    std::unique_lock<std::mutex> hold(w.lock);
    w.stopping = true;
    w.wake.notify_one();
    const bool ended = w.answered.wait_for(hold, bound, [&] { return w.stopped; });
    hold.unlock();
    if (ended) {
        w.thread.join();
    } else {
        w.thread.detach();
    }
}
