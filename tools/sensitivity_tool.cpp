// Helpers of `make sensitivity` (tools/sensitivity.sh), not installed:
//   vorda-sensitivity noise IN OUT SNR SEED [sine|random]
//       IN as the receiver reads it, brought to a peak of 2000 (so that noise at
//       -14 dB still fits 16 bits), plus white Gaussian noise whose power in 2500 Hz
//       is SNR dB below the signal's mean power; written as a 16-bit WAV (left only).
//       With `sine` the signal then fades 20 dB with a 9 s period (SNR is that of the
//       peaks); with `random` it fades at random, Rayleigh with 0.1 Hz Doppler spread
//       (SNR is the mean).
//   vorda-sensitivity cer SENT RECEIVED
//       prints the edit distance from the text in SENT to that in RECEIVED, and the
//       length of SENT.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "modem/psk31_signal.h"
#include "tools/audio_file.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "vorda-sensitivity: %s\n", message.c_str());
    return 1;
}

int noise(const char* in, const char* out, double snr_db, unsigned seed, const std::string& fade) {
    audio_reader reader;
    std::string error;
    if (!open_audio(reader, in, error)) return fail(error);
    std::vector<double> x;
    for (long n; (n = read_audio(reader, error)) > 0;) {
        x.insert(x.end(), reader.samples.begin(), reader.samples.begin() + n);
    }
    close_audio(reader);
    if (!error.empty()) return fail(error);
    double peak = 0.0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    if (peak == 0.0) return fail(std::string(in) + " is silent");
    for (double& v : x) v *= 2000.0 / peak;
    const double power = psk31_signal::mean_power(x);
    if (fade == "sine") psk31_signal::apply_sine_fade(x, 20.0, 9.0);
    if (fade == "random") psk31_signal::apply_random_fade(x, 0.1, seed + 1000);
    psk31_signal::add_noise(x, psk31_signal::noise_sd_for_snr(power, snr_db), seed);
    std::vector<int16_t> frames;
    frames.reserve(2 * x.size());
    for (int16_t v : psk31_signal::to_pcm(x)) {
        frames.push_back(v);
        frames.push_back(0);
    }
    wav_writer writer;
    if (!open_wav(writer, out, error) || !write_wav(writer, frames.data(), x.size(), error) ||
        !close_wav(writer, error)) {
        return fail(error);
    }
    return 0;
}

bool read_text(const char* path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

int cer(const char* sent_path, const char* received_path) {
    std::string a, b;
    if (!read_text(sent_path, a)) return fail(std::string("cannot read ") + sent_path);
    if (!read_text(received_path, b)) return fail(std::string("cannot read ") + received_path);
    std::printf("%zu %zu\n", psk31_signal::edit_distance(a, b), a.size());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    const std::string fade = argc == 7 ? argv[6] : "";
    if (command == "noise" && (argc == 6 || (argc == 7 && (fade == "sine" || fade == "random")))) {
        return noise(argv[2], argv[3], std::atof(argv[4]), static_cast<unsigned>(std::atoi(argv[5])),
                     fade);
    }
    if (command == "cer" && argc == 4) return cer(argv[2], argv[3]);
    return fail("usage: vorda-sensitivity noise IN OUT SNR SEED [sine|random] | cer SENT RECEIVED");
}
