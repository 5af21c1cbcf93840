// PSK31 transmitter: the command queue and its states, and the modulator that
// turns pattern words into shaped audio one 128-frame block at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Command words given to put_command.
constexpr uint32_t TX_BEGIN = 0x100001;
constexpr uint32_t TX_END = 0x100002;
constexpr uint32_t TX_ABORT = 0x40100002;
constexpr uint32_t TX_MODE_PSK = 0x200000;    // + 2 * qpsk + lsb
constexpr uint32_t TX_MODE_MORSE = 0x200004;
constexpr uint32_t TX_MODE_TUNE = 0x200008;
constexpr uint32_t TX_FREQUENCY = 0x400000;   // + hundredths of a hertz (20 bits)

// processor results besides echo words.
constexpr int32_t TX_BLOCK_WRITTEN = 0x800001;
constexpr int32_t TX_ERROR = 0x800002;

// Where the modulator's blocks go. The server plugs in the sound server's playback
// stream; tests and tools plug in their own. write returns 0 on success; on failure
// it returns non-zero with *error set, and error_text(*error) explains it. Without a
// write function each block is only left in psk31_transmitter::block.
struct audio_sink {
    int (*write)(void* context, const void* data, size_t bytes, int* error) = nullptr;
    const char* (*error_text)(int error) = nullptr;
    void* context = nullptr;
};

struct psk31_transmitter {
    static constexpr int kQueueSize = 2048;
    static constexpr int kQueueCapacity = 1920;  // put_command refuses from here on
    static constexpr int kEchoSize = 64;
    static constexpr int kBlockFrames = 128;

    // Queue and states.
    int32_t state = 0;            // 0 idle, 1 sending, 2 ending
    int32_t tx_mode = 0;          // at the modulator: 0 PSK text, 1 Morse ID, 2 tune
    int32_t queue_mode = 0;       // of the newest mode word given to put_command
    int32_t qpsk = 0;             // 1 QPSK
    int32_t lsb = 0;              // 1 lower sideband
    float frequency = 1250.0f;    // Hz
    int32_t phase_step = 10240;   // 1/65536 turn per sample
    int32_t echo_pending = 0;     // echo word of the pattern just begun, 0 none
    std::array<int32_t, kQueueSize> queue{};
    int32_t head = 0;             // oldest word
    int32_t tail = 0;             // next free place

    // Modulator.
    int32_t sample_counter = 255;     // position inside the symbol, 0..255
    uint16_t phase = 0;               // carrier phase, 1/65536 turn
    uint8_t shift_register = 0;       // bits taken, newest in bit 0
    uint16_t pattern_bits = 0;        // rest of the pattern word, end marker included
    int32_t pattern_qpsk = 0;
    int32_t pattern_carrier = 0;
    std::array<float, 2> previous_vector{1.0f, 0.0f};  // (I, Q) at symbol start
    std::array<float, 2> current_vector{1.0f, 0.0f};   // (I, Q) at symbol end
    std::array<std::array<int32_t, 2>, kEchoSize> echo_ring{};  // (echo word, spare 0)
    int32_t echo_read = 0;
    int32_t echo_write = 0;
    std::array<int16_t, 2 * kBlockFrames> block{};    // left, right, ...
    audio_sink sink{};

    // Takes a character 0..255 or a command word; 0 taken, -1 refused for lack of room.
    int32_t put_command(uint32_t word);
    // Next pattern word for the modulator.
    int32_t next_pattern();
    // Symbol step at the first sample of every symbol.
    void next_symbol();
    // One 128-frame block to the sink; returns an echo word, TX_END,
    // TX_BLOCK_WRITTEN or TX_ERROR.
    int32_t processor();

    // Takes back what was queued for a transmission that has not begun: everything in
    // the idle state, what follows the queued end while ending, nothing while sending.
    // Mode and frequency words stay, in order, for the next transmission.
    void withdraw_unsent();

    void put_morse(int byte);
    void put_postamble();
    // Zero bits with the carrier on that complete the last PSK character: 2 in BPSK,
    // 20 QPSK-coded in QPSK (the receiver's decoding delay).
    void put_flush();
    int32_t queued() const { return (tail - head) & (kQueueSize - 1); }
};
