// Where a click near a PSK31 text signal in the tuning display tunes the receiver,
// measured block by block without X: the modem's transmitter makes the signal
// (several frequencies on and between column centres, display centres on and off the
// bin grid, three levels, with and without white noise), the spectrum engine and the
// display's columns see it as the program does, and click_frequency gives the tuned
// frequency for clicks from 1.5 signal widths left of the signal to 1.5 right of it.
// Signals the display shows only in part, or not at all, are left out.
//
// Usage: measure_snap_offsets [--blocks] [--data DIR] [--text TEXT]
//   Prints, per FFT length, noise and click offset (columns from the one nearest the
//   signal), the blocks measured, how many snapped to a signal, the worst error of a
//   snapped click, how many snapped clicks landed more than 3 Hz off, and the worst
//   error of any click. Then the worst case of a click on the nearest column.
//   --blocks prints every click instead, as CSV; --text sends TEXT instead of a pangram.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "display/click_sweep.h"
#include "modem/varicode.h"

#ifndef VORDA_SOURCE_DATA_DIR
#define VORDA_SOURCE_DATA_DIR "data"
#endif

namespace {

constexpr double kCaptureHz = 3.0;  // well inside what the BPSK AFC pulls in

struct tally {
    long blocks = 0;
    long snapped = 0;
    long over = 0;               // snapped clicks more than kCaptureHz off
    double worst_snapped = 0.0;  // Hz, signed
    double worst_any = 0.0;      // Hz, signed
};

void worse(double& worst, double error) {
    if (std::fabs(error) > std::fabs(worst)) worst = error;
}

std::string describe(const click_sweep::signal_case& c) {
    char text[160];
    std::snprintf(text, sizeof text, "fft %d, %.2f Hz, centre %.2f Hz, level %.2f, ", c.fft_length,
                  click_sweep::true_frequency(c.frequency), static_cast<double>(c.centre), c.level);
    char noise[32] = "no noise";
    if (std::isfinite(c.snr_db)) std::snprintf(noise, sizeof noise, "snr %.0f dB", c.snr_db);
    return std::string(text) + noise;
}

}  // namespace

int main(int argc, char** argv) {
    bool every_block = false;
    std::string text;  // the transmitted text, when not the default
    const char* data = VORDA_SOURCE_DATA_DIR;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--blocks") == 0) {
            every_block = true;
        } else if (std::strcmp(argv[i], "--text") == 0 && i + 1 < argc) {
            text = argv[++i];
        } else if (std::strcmp(argv[i], "--data") == 0 && i + 1 < argc) {
            data = argv[++i];
        } else {
            std::fputs("Usage: measure_snap_offsets [--blocks] [--data DIR] [--text TEXT]\n",
                       stderr);
            return 2;
        }
    }
    if (load_code_table(data) != 0) {
        std::fprintf(stderr, "measure_snap_offsets: no code table in %s\n", data);
        return 1;
    }

    const double frequencies[] = {1250.0, 1253.9, 1256.5, 1003.9, 1759.8, 2345.6};
    // On the bin grid of every length, and off it by little, by nearly a column of the
    // broad view below 1500 Hz and by nearly one above it.
    const float centres[] = {1000.0f, 1101.3f, 1000.1f, 1507.7f};
    // The loudest sums both channels of the transmitter to near full scale, and clips
    // once noise is added.
    const double levels[] = {1.0, 0.2, 0.02};
    const double snrs[] = {INFINITY, 10.0, 0.0};

    if (every_block) std::puts("case,block,offset,snapped,error_hz");
    int case_number = 0;
    for (int fft_length : {1024, 2048, 4096}) {
        const int reach = 3 * click_sweep::signal_columns(fft_length) / 2;
        for (double snr : snrs) {
            std::map<int, tally> by_offset;
            double worst_nearest = 0.0;
            std::string worst_case;
            for (double f : frequencies) {
                for (float centre : centres) {
                    for (double level : levels) {
                        click_sweep::signal_case c;
                        c.fft_length = fft_length;
                        c.frequency = f;
                        c.centre = centre;
                        c.level = level;
                        c.snr_db = snr;
                        c.seed = static_cast<uint32_t>(++case_number);
                        if (!text.empty()) c.text = text;
                        if (!click_sweep::wholly_shown(c)) continue;
                        for (const auto& k : click_sweep::sweep(c, reach)) {
                            tally& t = by_offset[k.offset];
                            ++t.blocks;
                            worse(t.worst_any, k.error);
                            if (k.snapped) {
                                ++t.snapped;
                                worse(t.worst_snapped, k.error);
                                if (std::fabs(k.error) > kCaptureHz) ++t.over;
                            }
                            if (k.offset == 0 && std::fabs(k.error) > std::fabs(worst_nearest)) {
                                worst_nearest = k.error;
                                worst_case = describe(c) + ", block " + std::to_string(k.block);
                            }
                            if (every_block) {
                                std::printf("\"%s\",%d,%d,%d,%.3f\n", describe(c).c_str(), k.block,
                                            k.offset, k.snapped ? 1 : 0, k.error);
                            }
                        }
                    }
                }
            }
            if (every_block) continue;
            char noise[32] = "no noise";
            if (std::isfinite(snr))
                std::snprintf(noise, sizeof noise, "SNR %.0f dB in 2500 Hz", snr);
            std::printf("FFT %d (%.4f Hz per column, signal %d columns), %s\n", fft_length,
                        8000.0 / fft_length, click_sweep::signal_columns(fft_length), noise);
            std::printf("%7s %7s %8s %14s %9s %10s\n", "offset", "blocks", "snapped",
                        "worst snapped", "over 3 Hz", "worst any");
            for (const auto& [offset, t] : by_offset) {
                std::printf("%7d %7ld %8ld %11.2f Hz %9ld %7.2f Hz\n", offset, t.blocks, t.snapped,
                            t.worst_snapped, t.over, t.worst_any);
            }
            std::printf("worst click on the nearest column: %+.2f Hz (%s)\n\n", worst_nearest,
                        worst_case.c_str());
        }
    }
    return 0;
}
