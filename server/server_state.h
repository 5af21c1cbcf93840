// The server's state as one record, and the operations behind the five server
// calls working on such a record. The program has one record (server_instance);
// tests build fresh ones with scripted audio and PTT tables.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "modem/transmitter.h"
#include "server/audio_io.h"
#include "server/channel_buffer.h"
#include "server/ptt.h"
#include "server/rig_thread.h"
#include "server/server.h"
#include "spectrum/spectrum_engine.h"

struct server_state {
    static constexpr int32_t kChannels = 7;
    // Capture frames fetched per read; the receivers still take them one at a time.
    static constexpr int32_t kCaptureFrames = 128;

    std::array<channel_buffer, kChannels> channels;
    spectrum_engine spectrum;         // fed by the receiver in channel 2
    psk31_transmitter transmitter;
    std::mutex decoder_lock;          // the receivers in channels 2 to 6 and the spectrum engine
    std::mutex transmitter_lock;      // the transmitter, the two flags below, and taking
                                      // the transmit request together with the begin word
    int32_t tx_qpsk = 0;              // last value of channel 255, spec 4
    int32_t tx_lsb = 0;               // last value of channel 255, spec 5
    // Shared by the two threads without a lock; a reader may see a value one sample late.
    std::atomic<int32_t> transmit_request{0};  // 0 none, 1 once carrier detect is off, 2 at once
    std::atomic<int32_t> transmitting{0};      // 1 during the transmit phase
    std::atomic<int32_t> squelch{0};           // -1: deliver while carrier detect is off

    const audio_io* audio = &pulse_audio_io;
    void* capture = nullptr;
    void* playback = nullptr;
    // Frames read from the capture stream and not yet given to the receivers; they
    // are taken first when the next receive phase begins.
    std::array<uint8_t, 4 * kCaptureFrames> capture_block{};
    int32_t capture_frames = 0;  // frames in capture_block
    int32_t capture_next = 0;    // next frame to take
    // Every captured sample as the receivers get it, for readers outside the decoder
    // lock (the band survey): the server thread writes it and never waits on them.
    static constexpr uint64_t kTapSamples = 1 << 16;  // 8 s at 8000 per second
    std::array<int16_t, kTapSamples> tap{};
    std::atomic<uint64_t> tap_written{0};  // samples written since start-up

    const ptt_io* ptt = &posix_ptt_io;
    const rig_io* rig = &hamlib_rig_io;
    ServerPtt ptt_settings;  // how to key; read by server_setup
    std::mutex ptt_lock;     // the keyer: the change-overs of the server thread, the exit
    ptt_keyer keyer;
    // Running when a rig keys by CAT or its dial is read; it owns keyer.rig then.
    rig_worker rig_thread;
    // Read by the main thread's status calls; counted from start-up.
    std::atomic<int32_t> unkeyed{0};       // transmissions begun without keying though asked
    std::atomic<int32_t> unkey_failed{0};  // unkeys the line or rig refused

    server_state() = default;
    server_state(const server_state&) = delete;
    server_state& operator=(const server_state&) = delete;
    ~server_state();  // releases the receivers and the rig; the program's record is never destroyed
};

// The program's record, created on first use and kept to the end of the process.
server_state& server_instance();

// The life cycle (server/lifecycle.cpp): the record, start-up, the thread and exit.
// The audio thread (server/audio_thread.cpp) and the calls (server/server.cpp) only
// work on a record they are given; neither calls into the other.

// Start-up without the thread: buffers, PTT (by s.ptt_settings), audio, code table,
// spectrum engine, main receiver and transmitter. Failures but the PTT's end the process.
void server_setup(server_state& s, const char* ptt_device, const char* data_dir);
int32_t init_audio(server_state& s);

int32_t server_control(server_state& s, int32_t channel, int32_t spec, int32_t value);
int32_t server_read(server_state& s, int32_t channel, void* buffer, int32_t length);
int32_t server_send_text(server_state& s, const char* text, int32_t length);
int32_t server_get_status(server_state& s, int32_t channel, ServerStatus* status,
                          int32_t length);
int32_t server_read_audio(server_state& s, uint64_t* position, int16_t* buffer, int32_t length);

// Reads and decodes until the transmit request says go: 0; -1 when the capture
// read failed (the message has been printed).
int32_t receive_phase(server_state& s);
// Change-over, transmitter blocks until TX_END, change-over back. Returns false
// without keying when the request was withdrawn before the change-over. The radio is
// keyed after the begin word and unkeyed once the playback has drained.
bool transmit_phase(server_state& s);
// receive_phase then transmit_phase; -1 when the capture read failed.
int32_t run_master_handler(server_state& s);
