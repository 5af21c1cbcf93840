// Radio frequencies: where on the band an audio offset lies, given the rig's dial.
#pragma once

#include <cstdint>
#include <string>

// The rig's dial as last read: hz 0 while unknown.
struct radio_dial {
    int64_t hz = 0;    // dial frequency in hertz
    bool lsb = false;  // an LSB-type mode: audio offsets count down from the dial
};

// Whether a mode named as Hamlib names it ("LSB", "PKTLSB", "USB", ...) turns the
// audio spectrum over: LSB, data LSB, reversed CW and RTTY (which rigs receive on the
// lower sideband). Every other mode counts up from the dial.
bool mode_is_lsb_type(const char* mode);

// Dial plus the audio offset, or minus it on an LSB-type mode; in hertz.
double radio_frequency_hz(const radio_dial& dial, double audio_hz);

// The radio frequency in kHz with three decimals ("14070.950"), or "---" while the
// dial is unknown.
std::string radio_khz_text(const radio_dial& dial, double audio_hz);

// The amateur band ("20m") a frequency in MHz lies in, "" outside every band.
const char* amateur_band(double mhz);
