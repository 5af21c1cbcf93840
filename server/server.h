// The modem server: the only way the rest of the program reaches the modem.
// All five calls are made from the main thread; the server thread started by
// server_init reads the sound card, runs the receivers and the transmitter.
#pragma once

#include <cstdint>

// Channels addressed by the calls.
constexpr int32_t SERVER_ECHO_CHANNEL = 0;      // characters as the transmitter sends them
constexpr int32_t SERVER_SPECTRUM_CHANNEL = 1;  // magnitude spectra of the input
constexpr int32_t SERVER_MAIN_CHANNEL = 2;      // main receiver, always active
constexpr int32_t SERVER_LAST_RX_CHANNEL = 6;   // 3 to 6: secondary receivers
constexpr int32_t SERVER_TX_CHANNEL = 255;      // transmitter

// Filled by server_get_status; the caller's record must be at least 60 bytes.
struct ServerStatus {
    int32_t freq;          // hundredths of a hertz, truncated
    int32_t qpsk;          // non-zero: QPSK
    int32_t lsb;           // non-zero: lower sideband
    int32_t tx_mode;       // transmitter only: 0 PSK text, 1 Morse identification, 2 tune
    int32_t dcd;           // receiver only: carrier detect
    int32_t squelch;       // receiver only: carrier-detect threshold
    int32_t strength;      // receiver only: 0 to 40
    int32_t afc;           // receiver only: non-zero when AFC is on
    int32_t ptt;           // transmitter only: 1 when a PTT line keys the radio
    int32_t transmitting;  // 1 while the server thread is in its transmit phase
    int32_t phase;         // receiver only: phase change of the last symbol, 1/256 turn
    int32_t unkeyed;       // transmissions begun without keying the radio though keying
                           // was asked for (counts from start-up)
    int32_t unkey_failed;  // unkey commands the radio did not take (counts from start-up)
    int32_t reserved14;
    int32_t reserved15;
};
static_assert(sizeof(ServerStatus) == 60);

// How Xmit keys the radio.
enum class PttMethod : int32_t {
    rts,  // the RTS line of the serial device given to server_init
    dtr,  // its DTR line
    cat,  // a CAT command through Hamlib
    none  // nothing is keyed (VOX, or keyed by hand)
};

struct ServerPtt {
    PttMethod method = PttMethod::rts;
    int32_t rig_model = 2;                    // Hamlib model; 2 is a rigctld on the network
    const char* rig_port = "localhost:4532";  // serial device or host:port; "": the model's own
    int32_t rig_speed = 0;                    // serial speed in bit/s; 0: the model's own
    int32_t rig_read = 0;  // 1: read the rig's dial also when it does not key (CAT always does)
};

// The keying method; set before server_init.
extern ServerPtt server_ptt;

// Start-up: channel buffers, PTT line or rig, sound streams, code table, spectrum
// engine, main receiver, transmitter and the server thread. Returns 1; every failure
// but the PTT's ends the process. ptt_device (RTS and DTR keying) may carry a polarity
// suffix ",0" or ",1"; nullptr: nothing is keyed, whatever the method.
int32_t server_init(const char* ptt_device, const char* data_dir);

// After server_init: why the rig for CAT keying did not open, or "".
const char* server_ptt_problem();

// The rig's dial as read last (once a second when keying by CAT or rig_read is 1).
struct ServerDial {
    int64_t hz;   // dial frequency in hertz; 0 while unknown or when the rig stopped answering
    int32_t lsb;  // 1: an LSB-type mode, where radio frequencies are the dial minus the offset
};
ServerDial server_get_dial();

// What a command sets, the second argument of server_control. The numbers are
// the interface and never change.
enum ServerSpec : int32_t {
    SERVER_SPEC_TRANSMIT = 1,       // transmitter: a SERVER_TX_* request below
    SERVER_SPEC_DCD = 2,            // receiver: carrier-detect flag
    SERVER_SPEC_SQUELCH = 3,        // receiver: carrier-detect threshold; -1 delivers always
    SERVER_SPEC_QPSK = 4,           // receiver or transmitter: non-zero QPSK
    SERVER_SPEC_LSB = 5,            // receiver or transmitter: non-zero lower sideband
    SERVER_SPEC_AFC = 6,            // receiver: non-zero AFC on
    SERVER_SPEC_COMM_MODE = 7,      // receiver: enable or disable; transmitter: its mode
    SERVER_SPEC_FREQUENCY = 8,      // receiver or transmitter: hundredths of a hertz
    SERVER_SPEC_FFT_LENGTH = 32,    // spectrum channel: FFT length
    SERVER_SPEC_FFT_INTERVAL = 33,  // spectrum channel: input samples between spectra
    SERVER_SPEC_SWAP = 64,          // receiver: partner channel, 2 to 6
};

// Values of SERVER_SPEC_TRANSMIT.
constexpr int32_t SERVER_TX_END = 0;         // back to receive once the queue has gone
constexpr int32_t SERVER_TX_WHEN_CLEAR = 1;  // transmit once carrier detect is off
constexpr int32_t SERVER_TX_ABORT = 16;      // back to receive at once
constexpr int32_t SERVER_TX_NOW = 17;        // transmit at once
// Values of SERVER_SPEC_COMM_MODE.
constexpr int32_t SERVER_RX_ENABLE = 1;      // receive channels 3 to 6
constexpr int32_t SERVER_RX_DISABLE = 128;
constexpr int32_t SERVER_TX_MODE_PSK = 1;    // any value but the two below
constexpr int32_t SERVER_TX_MODE_MORSE = 2;  // the Morse identification
constexpr int32_t SERVER_TX_MODE_TUNE = 4;   // a steady carrier

// One command; 0 when taken, -1 when refused. Channel and spec compare unsigned.
int32_t server_control(int32_t channel, int32_t spec, int32_t value);

// The commands the program gives, by name.
inline int32_t server_set_frequency(int32_t channel, int32_t hundredths) {
    return server_control(channel, SERVER_SPEC_FREQUENCY, hundredths);
}
inline int32_t server_set_qpsk(int32_t channel, int32_t on) {
    return server_control(channel, SERVER_SPEC_QPSK, on);
}
inline int32_t server_set_lsb(int32_t channel, int32_t on) {
    return server_control(channel, SERVER_SPEC_LSB, on);
}
inline int32_t server_set_afc(int32_t channel, int32_t on) {
    return server_control(channel, SERVER_SPEC_AFC, on);
}
inline int32_t server_set_squelch(int32_t channel, int32_t threshold) {
    return server_control(channel, SERVER_SPEC_SQUELCH, threshold);
}
inline int32_t server_set_dcd(int32_t channel, int32_t on) {
    return server_control(channel, SERVER_SPEC_DCD, on);
}
inline int32_t server_enable_receiver(int32_t channel) {
    return server_control(channel, SERVER_SPEC_COMM_MODE, SERVER_RX_ENABLE);
}
inline int32_t server_disable_receiver(int32_t channel) {
    return server_control(channel, SERVER_SPEC_COMM_MODE, SERVER_RX_DISABLE);
}
inline int32_t server_swap_receivers(int32_t channel, int32_t partner) {
    return server_control(channel, SERVER_SPEC_SWAP, partner);
}
// request: one of SERVER_TX_END, _WHEN_CLEAR, _ABORT, _NOW.
inline int32_t server_request(int32_t request) {
    return server_control(SERVER_TX_CHANNEL, SERVER_SPEC_TRANSMIT, request);
}
// mode: SERVER_TX_MODE_PSK, _MORSE or _TUNE.
inline int32_t server_set_tx_mode(int32_t mode) {
    return server_control(SERVER_TX_CHANNEL, SERVER_SPEC_COMM_MODE, mode);
}
inline int32_t server_set_fft_length(int32_t length) {
    return server_control(SERVER_SPECTRUM_CHANNEL, SERVER_SPEC_FFT_LENGTH, length);
}
inline int32_t server_set_fft_interval(int32_t samples) {
    return server_control(SERVER_SPECTRUM_CHANNEL, SERVER_SPEC_FFT_INTERVAL, samples);
}

// Waiting bytes of channel 0 or 2 to 6 (count returned), or one spectrum of N floats
// from channel 1 (N returned, 0 when none is ready); -1 for other channels.
int32_t server_read(int32_t channel, void* buffer, int32_t length);

// Queues text for transmission; length <= 0 means NUL-terminated. Returns the
// number of bytes the transmitter took (a full queue refuses the rest).
int32_t server_send_text(const char* text, int32_t length);

// Receive channel 2 to 6 or the transmitter 255; 0, or -1 when refused.
int32_t server_get_status(int32_t channel, ServerStatus* status, int32_t length);

// The captured audio from sample *position on (counted from start-up), up to length
// samples into buffer; returns the count and moves *position past them. A reader more
// than a few seconds behind skips to the newest audio: *position then moves by more
// than the count. Any thread may read; the server thread never waits for one.
int32_t server_read_audio(uint64_t* position, int16_t* buffer, int32_t length);

// Rate of both sound streams in samples per second; set before server_init.
extern int32_t server_sample_rate;

// Opens the capture and the playback stream: 1 when both are open, else 0.
int32_t init_audio();

// One receive phase followed by one transmit phase of the server thread.
void master_handler();
