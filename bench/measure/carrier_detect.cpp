// How carrier detect behaves in white noise, measured without the console: PSK31
// transmissions (the tests' independent generator, 300 characters, AFC on, 1.3 Hz
// off tune unless told otherwise) in white Gaussian noise at a given signal-to-noise ratio in 2500 Hz, and
// pure noise. For each mode and sideband it prints the share of the transmission's
// symbols with carrier detect on, the time from the transmission's start to the
// first carrier detect, the time from its end until carrier detect closes (the worst
// and the mean over the seeds), the character error rate of what the squelch lets through
// (and with the squelch off), and the share of symbols with carrier detect on in
// five minutes of noise alone.
//
// Usage: measure_carrier_detect [--seeds N] [--squelch N] [--offset HZ] [--data DIR]
//   --offset: the signal's distance from the receiver's starting 1500 Hz (default 1.3)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modem/psk31_signal.h"
#include "modem/receiver.h"
#include "modem/varicode.h"

#ifndef VORDA_SOURCE_DATA_DIR
#define VORDA_SOURCE_DATA_DIR "data"
#endif

namespace {

constexpr int kLeadIn = 3 * 8000;      // noise before the transmission
constexpr int kLeadOut = 3 * 8000;

const char* const kText =
    "cq cq cq de dl1abc dl1abc dl1abc pse k\n"
    "dl1abc de g4xyz good morning and thanks for the call. your signal is 579 here in "
    "the north of england. name is peter, qth near york. rig is a small transceiver at "
    "20 watts into a dipole. how copy? dl1abc de g4xyz k\n"
    "g4xyz de dl1abc fine copy peter, 73 and gud dx. sk\n";

struct run_result {
    long symbols_in_signal = 0;
    long symbols_detected = 0;
    double first_detect_s = -1.0;  // after the transmission's start
    double close_s = -1.0;         // after its end, until carrier detect is off
    std::string squelched;         // what the squelch let through
    std::string everything;        // every character decoded during the transmission
};

run_result run(const std::vector<int16_t>& pcm, bool qpsk, bool lsb, int squelch,
               long signal_first, long signal_end) {
    psk31_receiver rx;
    init_receiver(rx);
    set_receiver_frequency(rx, 150000);
    set_receiver_mode(rx, qpsk ? 1 : 0, lsb ? 1 : 0);
    rx.afc = 1;
    rx.squelch = squelch;
    run_result out;
    int32_t clock = rx.symbol_clock;
    for (long n = 0; n < static_cast<long>(pcm.size()); ++n) {
        const int c = receive_sample(rx, pcm[static_cast<size_t>(n)]);
        if (c != NO_CHAR) {
            // Squelch off: what the decoder makes of the transmission (its 20-symbol
            // delay included), not of the noise around it.
            if (n >= signal_first && n < signal_end + (qpsk ? 21 * 256 : 0)) out.everything += static_cast<char>(c);
            if (rx.dcd != 0) out.squelched += static_cast<char>(c);
        }
        const bool symbol = rx.symbol_clock < clock;  // the clock wraps once a symbol
        clock = rx.symbol_clock;
        if (symbol && n >= signal_end && rx.dcd == 0 && out.close_s < 0) {
            out.close_s = static_cast<double>(n - signal_end) / 8000.0;
        }
        if (!symbol || n < signal_first || n >= signal_end) continue;
        ++out.symbols_in_signal;
        if (rx.dcd == 0) continue;
        ++out.symbols_detected;
        if (out.first_detect_s < 0) out.first_detect_s = (n - signal_first) / 8000.0;
    }
    return out;
}

double noise_share(bool qpsk, int squelch, uint32_t seed) {
    std::vector<double> noise(5 * 60 * 8000, 0.0);
    psk31_signal::add_noise(noise, 3000.0, seed);
    const auto pcm = psk31_signal::to_pcm(noise);
    const run_result r = run(pcm, qpsk, false, squelch, 0, static_cast<long>(pcm.size()));
    return static_cast<double>(r.symbols_detected) / static_cast<double>(r.symbols_in_signal);
}

}  // namespace

int main(int argc, char** argv) {
    int seeds = 5;
    int squelch = 15;
    double offset = 1.3;
    const char* data = VORDA_SOURCE_DATA_DIR;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seeds") == 0) seeds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--squelch") == 0) squelch = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--offset") == 0) offset = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--data") == 0) data = argv[i + 1];
    }
    load_code_table(data);
    const std::string text = kText;

    std::printf("squelch %d, %d seeds, %zu characters, AFC on, %.1f Hz off tune\n", squelch,
                seeds, text.size(), offset);
    std::printf("%-10s %6s  %8s  %9s  %15s  %8s  %12s\n", "mode", "SNR", "dcd on", "1st dcd",
                "close max/mean", "CER", "CER sq off");
    for (int qpsk = 0; qpsk < 2; ++qpsk) {
        for (int lsb = 0; lsb < 2; ++lsb) {
            for (double snr : {-8.0, -10.0, -12.0, -14.0}) {
                long in = 0, on = 0;
                double first_worst = 0.0, close_worst = 0.0, close_sum = 0.0;
                size_t errors = 0, errors_open = 0;
                for (int seed = 1; seed <= seeds; ++seed) {
                    psk31_signal::signal_options o;
                    o.frequency = 1500.0 + offset;
                    o.qpsk = qpsk != 0;
                    o.lsb = lsb != 0;
                    o.amplitude = 6000.0;
                    o.lead_in = kLeadIn;
                    o.lead_out = kLeadOut;
                    const auto bits = psk31_signal::concat(
                        psk31_signal::concat(psk31_signal::idle_bits(32),
                                             psk31_signal::text_bits(text)),
                        psk31_signal::idle_bits(48));
                    std::vector<double> x = psk31_signal::modulate(bits, o);
                    const size_t signal_samples = x.size() - kLeadIn - kLeadOut;
                    const double power = psk31_signal::mean_power(x, kLeadIn, signal_samples);
                    psk31_signal::add_noise(x, psk31_signal::noise_sd_for_snr(power, snr),
                                            static_cast<uint32_t>(seed * 7919 + qpsk * 31 + lsb));
                    const auto pcm = psk31_signal::to_pcm(x);
                    const run_result r =
                        run(pcm, qpsk != 0, lsb != 0, squelch, kLeadIn,
                            static_cast<long>(kLeadIn + signal_samples));
                    in += r.symbols_in_signal;
                    on += r.symbols_detected;
                    first_worst = r.first_detect_s < 0 ? 99.0
                                                       : std::max(first_worst, r.first_detect_s);
                    // Still open at the end of the lead-out counts as the whole lead-out.
                    const double close = r.close_s < 0 ? kLeadOut / 8000.0 : r.close_s;
                    close_worst = std::max(close_worst, close);
                    close_sum += close;
                    errors += psk31_signal::edit_distance(text, r.squelched);
                    const run_result open = run(pcm, qpsk != 0, lsb != 0, -1, kLeadIn,
                                                static_cast<long>(kLeadIn + signal_samples));
                    errors_open += psk31_signal::edit_distance(text, open.everything);
                }
                const double total = static_cast<double>(text.size()) * seeds;
                std::printf("%-10s %4.0f dB  %7.1f%%  %7.2f s  %6.2f/%4.2f s  %8.3f  %12.3f\n",
                            qpsk != 0 ? (lsb != 0 ? "QPSK LSB" : "QPSK USB")
                                      : (lsb != 0 ? "BPSK LSB" : "BPSK USB"),
                            snr, 100.0 * on / in, first_worst, close_worst, close_sum / seeds,
                            errors / total, errors_open / total);
                std::fflush(stdout);
            }
        }
    }
    for (int qpsk = 0; qpsk < 2; ++qpsk) {
        double worst = 0.0;
        for (int seed = 1; seed <= 3; ++seed) worst = std::max(worst, noise_share(qpsk != 0, squelch, 100u + seed));
        std::printf("%s in 5 min of noise alone: carrier detect on in at most %.2f%% of symbols (3 seeds)\n",
                    qpsk != 0 ? "QPSK" : "BPSK", 100.0 * worst);
    }
    return 0;
}
