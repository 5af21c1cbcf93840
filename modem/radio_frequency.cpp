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

const char* amateur_band(double mhz) {
    static constexpr struct {
        double low, high;
        const char* name;
    } kBands[] = {{1.8, 2.0, "160m"},      {3.5, 4.0, "80m"},      {5.06, 5.45, "60m"},
                  {7.0, 7.3, "40m"},       {10.1, 10.15, "30m"},   {14.0, 14.35, "20m"},
                  {18.068, 18.168, "17m"}, {21.0, 21.45, "15m"},   {24.89, 24.99, "12m"},
                  {28.0, 29.7, "10m"},     {50.0, 54.0, "6m"},     {144.0, 148.0, "2m"}};
    for (const auto& band : kBands) {
        if (mhz >= band.low && mhz <= band.high) return band.name;
    }
    return "";
}
