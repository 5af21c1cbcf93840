// Loopback: text through the transmitter and back through a receiver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "modem/receiver.h"
#include "modem/transmission.h"
#include "modem/varicode.h"

namespace {

// Every printable ASCII character, with newlines between groups.
std::string printable_text() {
    std::string text;
    for (int c = ' '; c <= '~'; ++c) {
        text += static_cast<char>(c);
        if (c % 32 == 31) text += '\n';
    }
    return text + "\nvorda 73\n";
}

struct Decoded {
    std::string text;
    float final_frequency;
};

// Characters delivered while carrier detect is on, as the server passes them with a
// squelch; one second of silence after the audio lets the filters and the Viterbi
// decoder run out.
Decoded receive(const std::vector<int16_t>& audio, int qpsk, int lsb, int hundredths, int afc) {
    psk31_receiver rx;
    init_receiver(rx);
    set_receiver_frequency(rx, hundredths);
    set_receiver_mode(rx, qpsk, lsb);
    rx.afc = afc;
    rx.squelch = 15;
    Decoded out;
    auto feed = [&](int16_t sample) {
        const int c = receive_sample(rx, sample);
        if (c != NO_CHAR && rx.dcd) out.text += static_cast<char>(c);
    };
    for (int16_t s : audio) feed(s);
    for (int i = 0; i < 8000; ++i) feed(0);
    out.final_frequency = rx.freq;
    return out;
}

struct Case {
    int qpsk;
    int lsb;
    int hundredths;
};

class Loopback : public testing::TestWithParam<Case> {
  protected:
    void SetUp() override { load_code_table(VORDA_SOURCE_DATA_DIR); }
};

}  // namespace

TEST_P(Loopback, TextComesBackUnchanged) {
    const Case p = GetParam();
    const std::string text = printable_text();
    const auto audio = transmit(text, p.qpsk, p.lsb, p.hundredths);
    for (int afc : {0, 1}) {
        const std::string decoded = receive(audio, p.qpsk, p.lsb, p.hundredths, afc).text;
        if (!p.qpsk) {
            EXPECT_EQ(decoded, text) << "afc " << afc;
            continue;
        }
        // The postamble's steady carrier is BPSK-coded: a QPSK decoder reads its 32
        // unchanged symbols as one over-long character, which arrives as '~'.
        ASSERT_GE(decoded.size(), text.size());
        EXPECT_EQ(decoded.substr(0, text.size()), text) << "afc " << afc;
        const std::string tail = decoded.substr(text.size());
        EXPECT_LE(tail.size(), 2u) << tail;
        if (!tail.empty()) {
            EXPECT_EQ(tail[0], '~');
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ModesSidebandsFrequencies, Loopback,
                         testing::Values(Case{0, 0, 100000}, Case{0, 1, 100000}, Case{1, 0, 100000},
                                         Case{1, 1, 100000}, Case{0, 0, 50000}, Case{1, 0, 150000},
                                         Case{1, 1, 220000}, Case{0, 1, 312345}),
                         [](const testing::TestParamInfo<Case>& info) {
                             const Case& p = info.param;
                             return std::string(p.qpsk ? "QPSK" : "BPSK") +
                                    (p.lsb ? "_LSB_" : "_USB_") + std::to_string(p.hundredths);
                         });

// Noise and a receiver tuned a few hertz off: AFC pulls it in and the text survives.
TEST(LoopbackImpaired, NoiseAndOffsetWithAfc) {
    load_code_table(VORDA_SOURCE_DATA_DIR);
    const std::string text = "cq cq de vorda vorda pse k\nThe quick brown fox, 0123456789.\n";
    std::vector<int16_t> audio = transmit(text, 0, 0, 150000);
    std::mt19937 rng(31);
    std::normal_distribution<double> noise(0.0, 4000.0);
    for (int16_t& s : audio) s = static_cast<int16_t>(std::lround(s + noise(rng)));
    const Decoded d = receive(audio, 0, 0, 149700, 1);
    EXPECT_NE(d.text.find("The quick brown fox, 0123456789."), std::string::npos) << d.text;
    EXPECT_NEAR(d.final_frequency, 1500.0f, 0.5f);
}

// Other stations' QPSK decoders decide a bit up to 40 symbols after it and stop at
// the steady carrier that ends a transmission, so the last character must be followed
// by at least that many reversals. Emulated with the receiver's own 20-symbol decoder
// given the audio only up to 20 symbols before the last reversal.
TEST(LoopbackLongDelay, QpskLastCharacterReachesADecoderWaitingFortySymbols) {
    load_code_table(VORDA_SOURCE_DATA_DIR);
    const std::string text = "tnx fer qso 73 de vorda sk";
    for (int lsb : {0, 1}) {
        const std::vector<int16_t> audio = transmit(text, 1, lsb, 100000);
        // A reversal takes the raised-cosine envelope through zero mid-symbol; the
        // steady carrier and the quarter turns never go below 0.7 of the peak.
        int peak = 0;
        for (int16_t s : audio) peak = std::max(peak, std::abs(static_cast<int>(s)));
        size_t last_reversal = 0;
        for (size_t n = 0; n + 16 <= audio.size(); ++n) {
            int high = 0;
            for (size_t k = n; k < n + 16; ++k) high = std::max(high, std::abs(static_cast<int>(audio[k])));
            if (high < peak / 3 && n + 4 * 256 < audio.size()) last_reversal = n;
        }
        ASSERT_GT(last_reversal, 40u * 256);
        const std::vector<int16_t> heard(audio.begin(), audio.begin() + static_cast<long>(last_reversal - 20 * 256));
        psk31_receiver rx;
        init_receiver(rx);
        set_receiver_frequency(rx, 100000);
        set_receiver_mode(rx, 1, lsb);
        std::string decoded;
        for (int16_t s : heard) {
            const int c = receive_sample(rx, s);
            if (c != NO_CHAR) decoded += static_cast<char>(c);
        }
        EXPECT_NE(decoded.find(text), std::string::npos) << (lsb ? "LSB: " : "USB: ") << decoded;
    }
}
