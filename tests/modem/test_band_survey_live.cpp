// The survey's live output: every character as it is decoded, with its station,
// adds up to the lines the survey finishes.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "modem/band_survey.h"
#include "modem/psk31_signal.h"
#include "modem/varicode.h"

TEST(BandSurveyLive, CharactersAsDecodedAddUpToTheFinishedLines) {
    using namespace psk31_signal;
    load_code_table(VORDA_SOURCE_DATA_DIR);
    const double hz[] = {700, 1300};
    const std::string text[] = {"cq cq de k1abc pse k\n", "qrz de w2def 73\n"};
    std::vector<double> band(static_cast<size_t>(20 * kSampleRate), 0.0);
    for (int i = 0; i < 2; ++i) {
        signal_options o;
        o.frequency = hz[i];
        o.amplitude = 8000;
        const std::vector<double> wave =
            modulate(concat(concat(idle_bits(32), text_bits(text[i])), idle_bits(48)), o);
        for (size_t k = 0; k < wave.size() && k < band.size(); ++k) band[k] += wave[k];
    }
    add_noise(band, 300, 11);
    const std::vector<int16_t> pcm = to_pcm(band);

    band_survey s;
    survey_init(s, -1, 0, 15, 1);
    std::map<int32_t, std::string> live;
    std::map<int32_t, double> where;
    for (size_t at = 0; at < pcm.size(); at += 800) {
        survey_feed(s, pcm.data() + at, std::min<size_t>(800, pcm.size() - at));
        for (const survey_char& c : s.live) {
            live[c.channel].push_back(c.character);
            where[c.channel] = c.frequency;
            EXPECT_EQ(c.qpsk, 0) << "automatic reads these BPSK stations as BPSK";
        }
        s.live.clear();
    }
    survey_finish(s);

    for (int i = 0; i < 2; ++i) {
        std::string lines;
        for (const survey_line& l : s.lines) {
            if (std::fabs(l.frequency - hz[i]) < 5) lines += l.text + "\n";
        }
        std::string chars;
        for (const auto& [channel, f] : where) {
            if (std::fabs(f - hz[i]) < 5) chars += live[channel];
        }
        // The finish ends the last line, which no line break may have ended live.
        if (!chars.empty() && chars.back() != '\n') chars.push_back('\n');
        EXPECT_EQ(chars, lines) << hz[i] << " Hz";
        EXPECT_EQ(lines.substr(0, text[i].size()), text[i]) << hz[i] << " Hz";
    }
}
