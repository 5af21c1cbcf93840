// The five server calls: channel buffers, the command table and status records.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "modem/receiver.h"
#include "modem/varicode.h"
#include "server/server_state.h"

namespace {

bool is_receive_channel(uint32_t channel) { return channel >= 2 && channel <= 6; }

uint32_t psk_mode_word(const server_state& s) {
    return TX_MODE_PSK + 2 * (s.tx_qpsk != 0 ? 1 : 0) + (s.tx_lsb != 0 ? 1 : 0);
}

// Only the receiver in channel 2 feeds the spectrum engine. Decoder lock held.
void relink_spectrum(server_state& s) {
    for (uint32_t ch = 2; ch <= 6; ++ch) {
        if (psk31_receiver* rx = s.channels[ch].decoder) {
            rx->spectrum = ch == 2 ? &s.spectrum : nullptr;
        }
    }
}

int32_t spectrum_control(server_state& s, uint32_t spec, int32_t value) {
    if (spec != SERVER_SPEC_FFT_LENGTH && spec != SERVER_SPEC_FFT_INTERVAL) return -1;
    std::lock_guard<std::mutex> hold(s.decoder_lock);
    int32_t length = 0, interval = 0, kind = 0;
    s.spectrum.get_config(&length, &interval, &kind);
    if (spec == SERVER_SPEC_FFT_LENGTH) {
        s.spectrum.configure(value, interval, kind);
    } else {
        s.spectrum.configure(length, value, kind);
    }
    return 0;
}

int32_t transmitter_control(server_state& s, uint32_t spec, int32_t value) {
    std::lock_guard<std::mutex> hold(s.transmitter_lock);
    psk31_transmitter& tx = s.transmitter;
    switch (spec) {
    case SERVER_SPEC_TRANSMIT:
        switch (value) {
        case SERVER_TX_END:
        case SERVER_TX_ABORT:
            // Receive wins over every transmission not yet on the air: a request still
            // waiting (for a clear channel, or for the end of the transmission now
            // playing) is withdrawn, and what was queued for it never goes out. The
            // server thread gives the begin word under this lock together with taking
            // the request, so a transmission is either begun here, and ends after its
            // queued text, or withdrawn whole.
            s.transmit_request.store(0, std::memory_order_relaxed);
            tx.withdraw_unsent();
            tx.put_command(value == SERVER_TX_END ? TX_END : TX_ABORT);
            break;
        case SERVER_TX_WHEN_CLEAR: s.transmit_request.store(1, std::memory_order_relaxed); break;
        case SERVER_TX_NOW: s.transmit_request.store(2, std::memory_order_relaxed); break;
        default: break;
        }
        return 0;
    case SERVER_SPEC_QPSK:
        s.tx_qpsk = value;
        tx.put_command(psk_mode_word(s));
        return 0;
    case SERVER_SPEC_LSB:
        s.tx_lsb = value;
        tx.put_command(psk_mode_word(s));
        return 0;
    case SERVER_SPEC_COMM_MODE:
        tx.put_command(value == SERVER_TX_MODE_MORSE  ? TX_MODE_MORSE
                       : value == SERVER_TX_MODE_TUNE ? TX_MODE_TUNE
                                                      : psk_mode_word(s));
        return 0;
    case SERVER_SPEC_FREQUENCY:
        tx.put_command(TX_FREQUENCY + (static_cast<uint32_t>(value) & 0xFFFFF));
        return 0;
    default:
        return -1;
    }
}

// Swap of an active channel with `partner`. A partner without a receiver takes this
// channel's receiver and this channel goes inactive, except that channel 2 never may.
// Decoder lock held.
int32_t swap_receivers(server_state& s, uint32_t channel, int32_t partner) {
    if (!is_receive_channel(static_cast<uint32_t>(partner))) return -1;
    psk31_receiver*& mine = s.channels[channel].decoder;
    psk31_receiver*& theirs = s.channels[partner].decoder;
    if (theirs == nullptr && channel == 2) return -1;
    std::swap(mine, theirs);
    relink_spectrum(s);
    return 0;
}

int32_t receiver_control(server_state& s, uint32_t channel, uint32_t spec, int32_t value) {
    channel_buffer& buffer = s.channels[channel];
    std::unique_lock<std::mutex> hold(s.decoder_lock);
    psk31_receiver* rx = buffer.decoder;

    if (rx == nullptr) {
        hold.unlock();
        if (spec == SERVER_SPEC_COMM_MODE && value == SERVER_RX_ENABLE) {
            psk31_receiver* fresh = create_receiver();  // allocated outside the lock
            if (fresh == nullptr) {
                std::fprintf(stderr, "warning: no memory for a receiver on channel %d\n",
                             static_cast<int>(channel));
                return -1;
            }
            hold.lock();
            buffer.decoder = fresh;
            return 0;
        }
        std::fprintf(stderr, "warning: rxControl on disabled RX channel\nchannel=%d spec=%d value=%d\n",
                     static_cast<int>(channel), static_cast<int>(spec), value);
        return -1;
    }

    switch (spec) {
    case SERVER_SPEC_DCD:
        rx->dcd = value;
        return 0;
    case SERVER_SPEC_SQUELCH:
        rx->squelch = value;
        s.squelch.store(value, std::memory_order_relaxed);
        return 0;
    case SERVER_SPEC_QPSK:
        set_receiver_mode(*rx, value, rx->lsb);
        return 0;
    case SERVER_SPEC_LSB:
        set_receiver_mode(*rx, rx->qpsk, value);
        return 0;
    case SERVER_SPEC_AFC:
        rx->afc = value;
        return 0;
    case SERVER_SPEC_COMM_MODE:
        if (value == SERVER_RX_DISABLE) {
            if (channel == 2) return -1;  // the main channel stays active
            buffer.decoder = nullptr;
            hold.unlock();
            destroy_receiver(rx);
            channel_clear(buffer);
            return 0;
        }
        hold.unlock();
        std::fprintf(stderr, "warning: active channel %d: COMM_MODE %d\n", static_cast<int>(channel),
                     value);
        return 0;
    case SERVER_SPEC_FREQUENCY:
        set_receiver_frequency(*rx, value);
        return 0;
    case SERVER_SPEC_SWAP:
        return swap_receivers(s, channel, value);
    default:
        return -1;
    }
}

int32_t read_spectrum(server_state& s, void* buffer, int32_t length) {
    std::unique_lock<std::mutex> hold(s.decoder_lock);
    if (!s.spectrum.ready()) return 0;
    int32_t n = 0;
    s.spectrum.get_config(&n, nullptr, nullptr);
    if (n <= 0) return 0;
    if (4 * static_cast<int64_t>(n) > length) {
        hold.unlock();
        std::fputs("no space in buffer for FFT data\n", stderr);
        return 0;
    }
    s.spectrum.compute(static_cast<float*>(buffer), 0, n, 1);
    return n;
}

}  // namespace

int32_t server_control(server_state& s, int32_t channel, int32_t spec, int32_t value) {
    const auto ch = static_cast<uint32_t>(channel);
    const auto sp = static_cast<uint32_t>(spec);
    if (ch == 0) return 0;
    if (ch == 1) return spectrum_control(s, sp, value);
    if (ch == 255) return transmitter_control(s, sp, value);
    if (is_receive_channel(ch)) return receiver_control(s, ch, sp, value);
    return -1;
}

int32_t server_read(server_state& s, int32_t channel, void* buffer, int32_t length) {
    const auto ch = static_cast<uint32_t>(channel);
    if (ch >= server_state::kChannels) return -1;
    if (ch == 1) return read_spectrum(s, buffer, length);
    return channel_read(s.channels[ch], buffer, length);
}

int32_t server_send_text(server_state& s, const char* text, int32_t length) {
    if (text == nullptr) return 0;
    if (length <= 0) length = static_cast<int32_t>(std::strlen(text));
    std::lock_guard<std::mutex> hold(s.transmitter_lock);
    int32_t queued = 0;
    for (int32_t i = 0; i < length; ++i) {
        if (s.transmitter.put_command(static_cast<unsigned char>(text[i])) == 0) ++queued;
    }
    return queued;
}

int32_t server_get_status(server_state& s, int32_t channel, ServerStatus* status, int32_t length) {
    const auto ch = static_cast<uint32_t>(channel);
    if (status == nullptr || length < static_cast<int32_t>(sizeof(ServerStatus))) return -1;
    if (ch != 255 && !is_receive_channel(ch)) return -1;
    status->transmitting = s.transmitting.load(std::memory_order_relaxed) != 0 ? 1 : 0;
    status->unkeyed = s.unkeyed.load(std::memory_order_relaxed);
    status->unkey_failed = s.unkey_failed.load(std::memory_order_relaxed);
    if (ch == 255) {
        std::lock_guard<std::mutex> hold(s.transmitter_lock);
        const psk31_transmitter& tx = s.transmitter;
        status->qpsk = tx.qpsk;
        status->lsb = tx.lsb;
        status->tx_mode = tx.tx_mode;
        status->freq = static_cast<int32_t>(tx.frequency * 100.0);
        status->ptt = s.keyer.ready ? 1 : 0;  // written only at start-up
        return 0;
    }
    std::lock_guard<std::mutex> hold(s.decoder_lock);
    const psk31_receiver* rx = s.channels[ch].decoder;
    if (rx == nullptr) return -1;
    status->qpsk = rx->qpsk;
    status->lsb = rx->lsb;
    status->squelch = rx->squelch;
    status->afc = rx->afc;
    status->dcd = rx->dcd;
    status->phase = rx->phase;
    status->strength = rx->strength;
    status->freq = static_cast<int32_t>(rx->freq * 100.0);
    return 0;
}

int32_t server_control(int32_t channel, int32_t spec, int32_t value) {
    return server_control(server_instance(), channel, spec, value);
}

int32_t server_read_audio(server_state& s, uint64_t* position, int16_t* buffer, int32_t length) {
    // Kept clear of the slots the server thread may be writing while we copy.
    constexpr uint64_t kReadable = server_state::kTapSamples - 8192;
    if (length <= 0) return 0;
    const uint64_t written = s.tap_written.load(std::memory_order_acquire);
    uint64_t from = std::min(*position, written);
    if (written - from > kReadable) from = written - kReadable;
    const auto count = static_cast<int32_t>(std::min<uint64_t>(written - from, length));
    for (int32_t i = 0; i < count; ++i) buffer[i] = s.tap[(from + i) % server_state::kTapSamples];
    *position = from + count;
    return count;
}

int32_t server_read_audio(uint64_t* position, int16_t* buffer, int32_t length) {
    return server_read_audio(server_instance(), position, buffer, length);
}

int32_t server_read(int32_t channel, void* buffer, int32_t length) {
    return server_read(server_instance(), channel, buffer, length);
}

int32_t server_send_text(const char* text, int32_t length) {
    return server_send_text(server_instance(), text, length);
}

int32_t server_get_status(int32_t channel, ServerStatus* status, int32_t length) {
    return server_get_status(server_instance(), channel, status, length);
}
