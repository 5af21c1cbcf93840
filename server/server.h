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

// One command; 0 when taken, -1 when refused. Channel and spec compare unsigned.
int32_t server_control(int32_t channel, int32_t spec, int32_t value);

// Waiting bytes of channel 0 or 2 to 6 (count returned), or one spectrum of N floats
// from channel 1 (N returned, 0 when none is ready); -1 for other channels.
int32_t server_read(int32_t channel, void* buffer, int32_t length);

// Queues text for transmission; length <= 0 means NUL-terminated. Returns the
// number of bytes the transmitter took (a full queue refuses the rest).
int32_t server_send_text(const char* text, int32_t length);

// Receive channel 2 to 6 or the transmitter 255; 0, or -1 when refused.
int32_t server_get_status(int32_t channel, ServerStatus* status, int32_t length);

// Rate of both sound streams in samples per second; set before server_init.
extern int32_t server_sample_rate;

// Opens the capture and the playback stream: 1 when both are open, else 0.
int32_t init_audio();

// One receive phase followed by one transmit phase of the server thread.
void master_handler();
