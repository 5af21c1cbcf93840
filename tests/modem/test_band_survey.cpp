// The whole-passband decoder on bands made with the tests' own PSK31 generator:
// stations at their own frequencies, levels and start times, in white noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "modem/band_survey.h"
#include "modem/psk31_signal.h"
#include "modem/varicode.h"

namespace {

struct station {
    double hz;
    double level_db;  // against full level
    double start_s;
    std::string text;
};

// The stations summed, each a transmission of idle, its text, idle and the steady
// carrier stations end with, in noise that puts a full-level station `snr_db` above
// it in 2500 Hz: white, or through a receiver's 300-2700 Hz filter.
std::vector<int16_t> make_band(const std::vector<station>& stations, double seconds,
                               double snr_db, bool qpsk = false, bool lsb = false,
                               bool filtered = false) {
    using namespace psk31_signal;
    std::vector<double> band(static_cast<size_t>(seconds * kSampleRate), 0.0);
    double full_power = 0.0;
    for (const station& s : stations) {
        signal_options o;
        o.frequency = s.hz;
        o.qpsk = qpsk;
        o.lsb = lsb;
        o.amplitude = 10000.0 * std::pow(10.0, s.level_db / 20);
        o.start_phase = s.hz;  // any phase, different per station
        const auto bits = concat(concat(concat(idle_bits(32), text_bits(s.text)), idle_bits(48)),
                                 std::vector<int>(32, 1));
        const std::vector<double> wave = modulate(bits, o);
        const size_t at = static_cast<size_t>(s.start_s * kSampleRate);
        EXPECT_LE(at + wave.size(), band.size()) << "station at " << s.hz << " Hz runs past the end";
        for (size_t k = 0; k < wave.size() && at + k < band.size(); ++k) band[at + k] += wave[k];
        if (s.level_db == 0.0) full_power = mean_power(wave);
    }
    std::vector<double> noise(band.size(), 0.0);
    if (full_power > 0) add_noise(noise, noise_sd_for_snr(full_power, snr_db), 2718);
    if (filtered) band_pass(noise, 300, 2700);
    for (size_t k = 0; k < band.size(); ++k) band[k] += noise[k];
    return to_pcm(band);
}

// Runs the survey over the band in pieces of the size a file reader hands over.
void feed_all(band_survey& s, const std::vector<int16_t>& pcm) {
    for (size_t at = 0; at < pcm.size(); at += 4096) {
        survey_feed(s, pcm.data() + at, std::min<size_t>(4096, pcm.size() - at));
    }
}

std::vector<survey_line> survey_all(const std::vector<int16_t>& pcm, int qpsk = 0, int lsb = 0) {
    band_survey s;
    survey_init(s, qpsk, lsb, 15, 1);
    feed_all(s, pcm);
    survey_finish(s);
    return s.lines;
}

// The receivers' frequencies, lowest first.
std::vector<double> receiver_frequencies(const band_survey& s) {
    std::vector<double> hz;
    for (const auto& ch : s.channels) hz.push_back(ch->receiver.freq);
    std::sort(hz.begin(), hz.end());
    return hz;
}

// The lines heard within 5 Hz of a frequency, joined as they were sent.
std::string heard_at(const std::vector<survey_line>& lines, double hz) {
    std::string text;
    for (const survey_line& line : lines) {
        if (std::fabs(line.frequency - hz) < 5.0) text += line.text + "\n";
    }
    return text;
}

class BandSurvey : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { load_code_table(VORDA_SOURCE_DATA_DIR); }
};

}  // namespace

TEST_F(BandSurvey, TenStationsSpacedLevelledAndStaggeredAllComeThrough) {
    // 60 to 500 Hz apart, levels over 20 dB (the weakest 6 dB under the noise in
    // 2500 Hz), starting up to 24 s late.
    const double hz[] = {420, 480, 700, 1200, 1260, 1500, 1850, 2350, 2410, 2900};
    const double level[] = {0, -20, -6, -12, -3, -18, -9, -15, 0, -20};
    std::vector<station> stations;
    for (int i = 0; i < 10; ++i) {
        const std::string n = std::to_string(i);
        stations.push_back({hz[i], level[i], 2.5 * i,
                            "cq cq de st" + n + "abc st" + n + "abc pse k\nst" + n + " de op" +
                                n + " ur rst 579 579, name is op" + n + " op" + n + ", qth town" +
                                n + " town" + n + ", rig " + n + "0 watts to a dipole, hw?\nst" +
                                n + " de op" + n + " tnx qso, 73 sk\n"});
    }
    const std::vector<survey_line> lines = survey_all(make_band(stations, 80, 20));
    for (const station& s : stations) {
        const std::string heard = heard_at(lines, s.hz);
        EXPECT_LE(psk31_signal::edit_distance(s.text, heard) * 50, s.text.size())
            << s.hz << " Hz, " << s.level_db << " dB: " << heard;
    }
    // Nothing but the stations: every line belongs to one of them.
    for (const survey_line& line : lines) {
        bool near = false;
        for (const station& s : stations) near = near || std::fabs(line.frequency - s.hz) < 5.0;
        EXPECT_TRUE(near) << line.frequency << " Hz: " << line.text;
    }
}

TEST_F(BandSurvey, FinderSeparatesCloseSignalsAndSeesAWeakOneBesideAStrongOne) {
    const std::string text = "cq cq de test test test pse k\n";
    struct Case {
        const char* what;
        std::vector<station> stations;
    };
    const std::vector<Case> cases = {
        {"60 Hz apart", {{1000, 0, 0, text}, {1060, 0, 0, text}}},
        {"20 dB weaker 60 Hz above", {{1000, 0, 0, text}, {1060, -20, 0, text}}},
        {"20 dB weaker 60 Hz below", {{1000, 0, 0, text}, {940, -20, 0, text}}},
        {"noise alone", {}},
    };
    for (const Case& c : cases) {
        // A far station sets the noise level; it is not what is looked at here.
        std::vector<station> band = c.stations;
        band.push_back({3000, 0, 0, text});
        band_survey s;
        survey_init(s, 0, 0, 15, 1);
        feed_all(s, make_band(band, 10, 20));
        std::vector<double> found;
        for (double hz : receiver_frequencies(s)) {
            if (hz < 2500) found.push_back(hz);
        }
        ASSERT_EQ(found.size(), c.stations.size()) << c.what;
        std::vector<double> sent;
        for (const station& st : c.stations) sent.push_back(st.hz);
        std::sort(sent.begin(), sent.end());
        for (size_t i = 0; i < sent.size(); ++i) EXPECT_NEAR(found[i], sent[i], 1.0) << c.what;
    }

    // Digital silence is not a band full of signals, nor is a clean signal with its
    // faint images (window sidelobes, rounding) all over the spectrum.
    band_survey quiet;
    survey_init(quiet, 0, 0, 15, 1);
    feed_all(quiet, std::vector<int16_t>(8 * 8000, 0));
    EXPECT_TRUE(quiet.channels.empty());
    for (bool qpsk : {false, true}) {
        psk31_signal::signal_options o;
        o.frequency = 1500.0;
        o.amplitude = 30000.0;
        o.qpsk = qpsk;
        o.lead_out = 2 * 8000;
        band_survey clean;
        survey_init(clean, qpsk ? 1 : 0, 0, 15, 1);
        feed_all(clean, psk31_signal::make_signal("qpsk test one two three\n", o, 32, 48));
        EXPECT_EQ(receiver_frequencies(clean).size(), 1u) << (qpsk ? "QPSK" : "BPSK");
    }
}

TEST_F(BandSurvey, ALateStationIsReadFromItsFirstCharacter) {
    // The finder needs its two seconds to see the newcomer; its receiver starts back
    // before that, so nothing of the first line is lost and its time is when it came.
    const std::string late = "vk2abc de zl1xyz good evening\nfirst and last\n";
    const std::vector<survey_line> lines = survey_all(make_band(
        {{800, 0, 0, "cq cq cq de dl1abc dl1abc k\n"}, {1900, -10, 30.3, late}}, 45, 20));
    std::vector<survey_line> at_late;
    for (const survey_line& line : lines) {
        if (std::fabs(line.frequency - 1900) < 5) at_late.push_back(line);
    }
    ASSERT_EQ(at_late.size(), 2u);
    EXPECT_EQ(at_late[0].text, "vk2abc de zl1xyz good evening");
    EXPECT_EQ(at_late[1].text, "first and last");
    // 32 idle symbols (1 s) come before the first character.
    EXPECT_GT(at_late[0].start_seconds, 31.3);
    EXPECT_LT(at_late[0].start_seconds, 32.5);
}

TEST_F(BandSurvey, LinesNeverMixTwoStations) {
    // Two stations 60 Hz apart sending at once, neither with a newline: every line,
    // cut at its length limit or when its station stops, holds one station's text.
    std::string digits, letters;
    while (digits.size() < 420) digits += "1 2 3 4 5 6 7 8 9 0 ";
    while (letters.size() < 420) letters += "a b c d e f g h i j ";
    const std::vector<survey_line> lines =
        survey_all(make_band({{1500, 0, 0, digits}, {1560, -6, 0.4, letters}}, 100, 20));
    size_t digit_chars = 0, letter_chars = 0;
    for (const survey_line& line : lines) {
        const bool has_digit = line.text.find_first_of("0123456789") != std::string::npos;
        const bool has_letter = line.text.find_first_of("abcdefghij") != std::string::npos;
        EXPECT_FALSE(has_digit && has_letter) << line.frequency << " Hz: " << line.text;
        EXPECT_NEAR(line.frequency, has_digit ? 1500.0 : 1560.0, 2.0) << line.text;
        (has_digit ? digit_chars : letter_chars) += line.text.size();
        EXPECT_LE(line.text.size(), 200u);
    }
    EXPECT_GE(digit_chars, digits.size() - 2);
    EXPECT_GE(letter_chars, letters.size() - 2);
}

TEST_F(BandSurvey, QpskStationsComeThroughAndNoiseAloneSaysNothing) {
    std::vector<station> stations;
    for (int i = 0; i < 3; ++i) {
        stations.push_back({700.0 + 450 * i, -6.0 * i, 1.5 * i,
                            "qpsk station " + std::to_string(i) + " calling cq\n"});
    }
    const std::vector<survey_line> lines = survey_all(make_band(stations, 20, 14, true), 1);
    for (const station& s : stations) {
        // A character of noise may come as the decoder settles, and the steady carrier
        // at the end reads as one over-long character ('~').
        const std::string heard = heard_at(lines, s.hz);
        EXPECT_LE(psk31_signal::edit_distance(s.text, heard), 4u) << s.hz << " Hz: " << heard;
        EXPECT_NE(heard.find(s.text), std::string::npos) << s.hz << " Hz: " << heard;
    }

    std::vector<double> noise(60 * 8000, 0.0);
    psk31_signal::add_noise(noise, 2000.0, 5);
    EXPECT_TRUE(survey_all(psk31_signal::to_pcm(noise)).empty());
}

TEST_F(BandSurvey, EachStationsModeIsToldFromItsPhaseChanges) {
    const std::string text = "cq cq de mode test, the quick brown fox 0123456789 pse k\n";
    struct Case {
        bool qpsk, lsb;
        double snr_db;  // in 2500 Hz
    };
    const Case cases[] = {{false, false, 25}, {true, false, 25}, {false, true, 25},
                          {true, true, 25},   {false, false, 3}, {true, false, 3},
                          {true, true, 3}};
    for (const Case& c : cases) {
        const std::vector<survey_line> lines =
            survey_all(make_band({{1234.5, 0, 1, text}}, 18, c.snr_db, c.qpsk, c.lsb), -1, c.lsb);
        const std::string what = std::string(c.qpsk ? "QPSK " : "BPSK ") +
                                 (c.lsb ? "LSB " : "USB ") + std::to_string(c.snr_db) + " dB";
        ASSERT_FALSE(lines.empty()) << what;
        for (const survey_line& line : lines) EXPECT_EQ(line.qpsk, c.qpsk ? 1 : 0) << what;
        const std::string heard = heard_at(lines, 1234.5);
        EXPECT_LE(psk31_signal::edit_distance(text, heard) * 50, text.size()) << what << ": " << heard;
    }
}

TEST_F(BandSurvey, NoiseThroughAReceiversFilterGivesNoLineAtAnyLevel) {
    // Two minutes each, from a few least bits to a sound card driven into clipping,
    // which spatters ripples over the filter's stopband.
    for (double rms : {3.0, 30.0, 300.0, 3000.0, 8000.0, 12000.0}) {
        std::vector<double> noise(120 * 8000, 0.0);
        psk31_signal::add_noise(noise, 1.0, 17);
        psk31_signal::band_pass(noise, 300, 2700);
        const double scale = rms / std::sqrt(psk31_signal::mean_power(noise));
        for (double& v : noise) v *= scale;
        const std::vector<survey_line> lines = survey_all(psk31_signal::to_pcm(noise), -1);
        std::printf("filtered noise %6.0f rms: %zu lines\n", rms, lines.size());
        EXPECT_LE(lines.size(), 1u) << rms << " rms: " << (lines.empty() ? "" : lines[0].text);
    }
}

TEST_F(BandSurvey, StationsInsideAFilteredPassbandAreFoundAndKeptThroughAFade) {
    // Near both filter edges and in the middle, 20 and 30 dB over the passband's
    // noise; then they fade out for 40 s and keep their receivers.
    const double hz[] = {340, 600, 1500, 2400, 2650};
    std::vector<station> stations;
    for (double f : hz) {
        const std::string call = "dl" + std::to_string(static_cast<int>(f)) + "x";
        stations.push_back({f, f == 1500 ? 0.0 : -10.0, f / 1000, "cq cq de " + call + " " + call + " k\n"});
    }
    band_survey s;
    survey_init(s, -1, 0, 15, 1);
    feed_all(s, make_band(stations, 60, 30, false, false, true));
    EXPECT_EQ(receiver_frequencies(s).size(), std::size(hz));
    survey_finish(s);
    for (const station& st : stations) EXPECT_EQ(heard_at(s.lines, st.hz), st.text) << st.hz << " Hz";
    for (const survey_line& line : s.lines) {
        bool near = false;
        for (double f : hz) near = near || std::fabs(line.frequency - f) < 5.0;
        EXPECT_TRUE(near) << line.frequency << " Hz: " << line.text;
    }
}

TEST_F(BandSurvey, CopiesOfAStationGiveNoLine) {
    // A clean strong station with copies of itself 40 dB down, far above the noise: its
    // second and third harmonics from a bent amplifier, or a mirrored image from a sound
    // card.
    const std::string text = "cq cq de n0call n0call the quick brown fox pse k\n";
    struct Case {
        bool qpsk, harmonic;
    };
    for (const Case c : {Case{false, true}, Case{true, true}, Case{false, false}, Case{true, false}}) {
        using namespace psk31_signal;
        const auto bits = concat(concat(concat(idle_bits(32), text_bits(text)), idle_bits(32)),
                                 std::vector<int>(32, 1));
        signal_options o;
        o.frequency = 700.0;
        o.amplitude = 10000.0;
        o.qpsk = c.qpsk;
        o.lead_in = 8000;
        std::vector<double> band = modulate(bits, o);
        if (c.harmonic) {
            const double a = o.amplitude;
            for (double& v : band) v += 0.02 / a * v * v + 0.04 / (a * a) * v * v * v;
        } else {
            o.frequency = 3300.0;
            o.amplitude = 100.0;
            o.lsb = true;
            const std::vector<double> image = modulate(bits, o);
            for (size_t k = 0; k < band.size(); ++k) band[k] += image[k];
        }
        add_noise(band, 3.0, 29);
        band_survey s;
        survey_init(s, -1, 0, 15, 1);
        feed_all(s, to_pcm(band));
        survey_finish(s);
        const std::string what = std::string(c.qpsk ? "QPSK " : "BPSK ") +
                                 (c.harmonic ? "harmonic" : "image");
        for (const survey_line& line : s.lines) {
            EXPECT_NEAR(line.frequency, 700.0, 5.0) << what << ": " << line.text;
        }
        EXPECT_EQ(heard_at(s.lines, 700.0), text) << what;
    }
}
