#include "modem/radio_frequency.h"

#include <cmath>
#include <cstdio>
#include <cstring>

bool mode_is_lsb_type(const char* mode) {
    for (const char* name : {"LSB", "PKTLSB", "ECSSLSB", "CWR", "RTTY"}) {
        if (std::strcmp(mode, name) == 0) return true;
    }
    return false;
}

double radio_frequency_hz(const radio_dial& dial, double audio_hz) {
    const auto hz = static_cast<double>(dial.hz);
    return dial.lsb ? hz - audio_hz : hz + audio_hz;
}

std::string radio_khz_text(const radio_dial& dial, double audio_hz) {
    // Rounded to whole hertz first: a half hertz then always rounds up, which a
    // binary fraction of kHz printed with three decimals would not.
    const long long hz = std::llround(radio_frequency_hz(dial, audio_hz));
    if (dial.hz <= 0 || hz < 0) return "---";
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%03lld", hz / 1000, hz % 1000);
    return text;
}
