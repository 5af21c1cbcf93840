// The server thread: receive phases over the capture stream, transmit phases into
// the playback stream, and the push-to-talk change-overs between them.
#include <unistd.h>

#include <cstdio>

#include "modem/receiver.h"
#include "modem/varicode.h"
#include "server/server_state.h"

namespace {

// Refills the capture block; false when the read failed (reported here).
bool read_capture(server_state& s) {
    int error = 0;
    if (s.audio->read(s.capture, s.capture_block.data(), s.capture_block.size(), &error) < 0) {
        std::fprintf(stderr, "master_handler pa_simple_read error %s\n", s.audio->error_text(error));
        return false;
    }
    s.capture_frames = server_state::kCaptureFrames;
    s.capture_next = 0;
    return true;
}

// Left plus right of the next captured frame. A radio's audio often arrives on both
// channels; above half scale their sum leaves 16 bits, and wrapping it would turn a
// strong clean signal into garbage, so it saturates instead.
int16_t next_sample(server_state& s) {
    const uint8_t* frame = s.capture_block.data() + 4 * s.capture_next++;
    const auto left = static_cast<int16_t>(frame[0] | frame[1] << 8);
    const auto right = static_cast<int16_t>(frame[2] | frame[3] << 8);
    return saturating_sum(left, right);
}

// Longer than Hamlib's two tries of 10 s each at a key, after a dial read under way.
constexpr std::chrono::seconds kKeyBound{35};

// Keys or unkeys the radio. A transmission that goes out unkeyed though keying was
// asked for, and an unkey the radio refused, are counted for the window to tell.
// A rig is keyed through its thread, whose answer the first sound waits for; an
// unkey is left to it, so that receiving goes on while the rig takes its time.
void change_over(server_state& s, bool transmit) {
    int32_t result = 0;
    if (s.rig_thread.keys) {
        if (!transmit) {
            rig_worker_unkey(s.rig_thread);
            return;  // a refusal is counted by the rig thread
        }
        result = rig_worker_key(s.rig_thread, kKeyBound);
    } else {
        std::lock_guard<std::mutex> hold(s.ptt_lock);
        result = keyer_key(*s.ptt, *s.rig, s.keyer, transmit);
    }
    if (transmit && s.keyer.asked && result != 1) {
        s.unkeyed.fetch_add(1, std::memory_order_relaxed);
    } else if (!transmit && result < 0) {
        s.unkey_failed.fetch_add(1, std::memory_order_relaxed);
    }
}

}  // namespace

int32_t receive_phase(server_state& s) {
    // Xmit waits on the carrier detect of the receiver that delivered last (the
    // main one to begin with), as that receiver holds it now: its flag at its last
    // character alone would stay on for ever when the input falls digitally silent
    // after a signal (a muted or squelched radio), where no character completes.
    int32_t delivered_last = 2;
    int32_t dcd_seen = 0;
    {
        std::lock_guard<std::mutex> hold(s.decoder_lock);
        if (const psk31_receiver* main_receiver = s.channels[2].decoder) dcd_seen = main_receiver->dcd;
    }
    for (;;) {
        if (s.capture_next == s.capture_frames && !read_capture(s)) return -1;
        const int16_t sample = next_sample(s);
        const uint64_t tapped = s.tap_written.load(std::memory_order_relaxed);
        s.tap[tapped % server_state::kTapSamples] = sample;
        s.tap_written.store(tapped + 1, std::memory_order_release);

        bool followed = false;  // the receiver that delivered last is still there
        for (int32_t ch = 2; ch <= 6; ++ch) {
            int result = 0;
            int32_t dcd = 0;
            uint32_t clears = 0;
            {
                std::lock_guard<std::mutex> hold(s.decoder_lock);
                psk31_receiver* rx = s.channels[ch].decoder;
                if (rx == nullptr) continue;
                result = receive_sample(*rx, sample);
                dcd = rx->dcd;
                // A disable clears the channel after taking the receiver under this
                // lock, so a count read here tells whether that clear came since.
                clears = s.channels[ch].clears.load(std::memory_order_relaxed);
            }
            if (result != NO_CHAR) delivered_last = ch;
            if (ch == delivered_last) {
                dcd_seen = dcd;
                followed = true;
            }
            if (result == NO_CHAR) continue;
            if (dcd == 0 && s.squelch.load(std::memory_order_relaxed) != -1) continue;
            channel_write_since(s.channels[ch], static_cast<uint8_t>(result), clears);
        }

        // A secondary receiver switched off since it delivered: back to the main one.
        if (!followed) delivered_last = 2;
        const int32_t request = s.transmit_request.load(std::memory_order_relaxed);
        if (request == 2 || (request == 1 && dcd_seen == 0)) return 0;
    }
}

bool transmit_phase(server_state& s) {
    {
        // The request is taken and the begin word given under one holding of the
        // transmitter lock: an end given before that withdraws the request, an end
        // given after it finds the transmission begun and ends it.
        std::lock_guard<std::mutex> hold(s.transmitter_lock);
        if (s.transmit_request.load(std::memory_order_relaxed) == 0) return false;
        s.transmitting.store(1, std::memory_order_relaxed);
        s.transmitter.put_command(TX_BEGIN);
        s.transmit_request.store(0, std::memory_order_relaxed);
    }
    int error = 0;
    if (s.audio->restart(s.playback, &error) < 0) {
        std::fprintf(stderr, "transmit_phase pa_simple_flush error %s\n", s.audio->error_text(error));
    }
    change_over(s, true);

    for (;;) {
        int32_t result = 0;
        {
            std::lock_guard<std::mutex> hold(s.transmitter_lock);
            result = s.transmitter.processor();
        }
        if (result == static_cast<int32_t>(TX_END)) break;
        if (result == TX_BLOCK_WRITTEN) {
            usleep(100);  // let the main thread in between blocks
        } else if (result == TX_ERROR) {
            std::fputs("TX_ERROR\n", stderr);
        } else {
            channel_write(s.channels[0], static_cast<uint8_t>(result & 0xFF));
        }
    }

    // The end is reached at the start of the last symbol, whose carrier fades out over
    // the next block; then everything written is played before the radio is unkeyed,
    // so the other station hears the whole fade (or the last Morse element).
    {
        std::lock_guard<std::mutex> hold(s.transmitter_lock);
        if (s.transmitter.processor() == TX_ERROR) std::fputs("TX_ERROR\n", stderr);
    }
    if (s.audio->drain(s.playback, &error) < 0) {
        std::fprintf(stderr, "transmit_phase pa_simple_drain error %s\n", s.audio->error_text(error));
    }
    s.transmitting.store(0, std::memory_order_relaxed);
    change_over(s, false);
    return true;
}

int32_t run_master_handler(server_state& s) {
    if (receive_phase(s) < 0) return -1;
    transmit_phase(s);
    return 0;
}
