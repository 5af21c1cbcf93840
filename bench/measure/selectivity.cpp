// Selectivity of the receiver, measured through receive_sample: a steady tone at each
// offset from the receive frequency, and the power at the channel filter's output
// against that of the same tone at the receive frequency. Prints the rejection in dB
// at a few offsets and the least rejection from 150 Hz out, for a full-scale tone
// rounded to 16 bits as a sound card hands it over. The tones lie 0.37 Hz off round
// offsets: a tone at a whole fraction of the sample rate repeats its rounding error
// and so puts rounding products exactly onto other round frequencies.
//
// Usage: measure_selectivity [RECEIVE_HZ] (default 1000)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "modem/receiver.h"

namespace {

// Mean power of the channel filter's output over `measured` decimated steps, after
// `settle` steps, for a tone of `amplitude` (16-bit units) at `hz`.
double channel_power(double receive_hz, double hz, double amplitude) {
    psk31_receiver r;
    init_receiver(r);
    set_receiver_frequency(r, static_cast<int32_t>(std::lround(receive_hz * 100)));
    constexpr int settle = 200, measured = 2000;
    double sum = 0;
    for (int n = 0; n < 16 * (settle + measured); ++n) {
        const double v = amplitude * std::sin(2 * M_PI * hz * n / 8000 + 0.3);
        receive_sample(r, static_cast<int16_t>(std::lround(v)));
        if (n % 16 != 0 || n < 16 * settle) continue;
        double s = 0, c = 0;
        for (int k = 0; k < 64; ++k) {
            const float tap = channel_half_taps[k < 32 ? k : 63 - k];
            s += tap * r.filt_sin[(r.filt_index + k) & 63];
            c += tap * r.filt_cos[(r.filt_index + k) & 63];
        }
        sum += s * s + c * c;
    }
    return sum / measured;
}

}  // namespace

int main(int argc, char** argv) {
    const double receive_hz = argc > 1 ? std::atof(argv[1]) : 1000.0;
    const double full = 32767.0;
    const double reference = channel_power(receive_hz, receive_hz, full);
    auto rejection = [&](double hz) {
        return -10 * std::log10(channel_power(receive_hz, hz, full) / reference + 1e-30);
    };
    std::printf("receive frequency %.1f Hz, full-scale tone\n", receive_hz);
    std::printf("| offset Hz | rejection dB |\n|---|---|\n");
    for (double offset : {-2500.0, -1000.0, -500.0, -250.0, -150.0, -50.0, -20.0, 0.0, 20.0, 50.0,
                          150.0, 250.0, 500.0, 750.0, 1000.0, 1500.0, 2000.0, 2500.0}) {
        const double hz = receive_hz + offset + (offset != 0 ? 0.37 : 0);
        if (hz <= 0 || hz >= 4000) continue;
        std::printf("| %+.0f | %.1f |\n", offset, rejection(hz));
    }
    double least = 1e9, at = 0;
    for (double hz = 5.37; hz < 4000; hz += 2.5) {
        if (std::fabs(hz - receive_hz) < 150) continue;
        const double r = rejection(hz);
        if (r < least) least = r, at = hz;
    }
    std::printf("least rejection 150 Hz and more away: %.1f dB (tone at %.1f Hz)\n", least, at);
}
