// The band window's lines without X: one per station in frequency order, text
// scrolled left at the width, ageing out, find, labels and the band log's lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/band_lines.h"
#include "modem/band_survey.h"

namespace {

struct Sent {
    int32_t channel;
    double hz;
    const char* text;  // one character at a time
    double at;         // seconds
    int32_t qpsk = 0;
    bool restart = false;  // the open line is read again in this mode first
};

BandLines linesFrom(const std::vector<Sent>& sent, size_t keep = 80) {
    BandLines model;
    model.keep = keep;
    for (const Sent& s : sent) {
        if (s.restart) band_put(model, {s.channel, s.hz, s.qpsk, 0, true}, s.at);
        for (const char* c = s.text; *c != '\0'; ++c) band_put(model, {s.channel, s.hz, s.qpsk, *c}, s.at);
    }
    return model;
}

}  // namespace

TEST(BandLines, OneLinePerStationInFrequencyOrderScrolledAtTheWidth) {
    struct Case {
        const char* what;
        std::vector<Sent> sent;
        size_t keep;
        size_t columns;
        std::string shown;
    };
    const Case cases[] = {
        {"ordered by frequency, whatever came first",
         {{1, 1500.0, "cq", 0}, {2, 700.25, "de k1", 0}, {3, 2400.0, "qrz", 0, 1}},
         80, 80, " 700.2 B  de k1\n1500.0 B  cq\n2400.0 Q  qrz"},
        {"text appends to its own station's line",
         {{1, 1000, "ab", 0}, {2, 1200, "xy", 0}, {1, 1000, "cd", 1}}, 80, 80,
         "1000.0 B  abcd\n1200.0 B  xy"},
        {"a line break and other controls are one space",
         {{1, 1000, "ab\n\n\tcd\r", 0}}, 80, 80, "1000.0 B  ab cd "},
        {"a new receiver on a known station keeps its line; 60 Hz away is another",
         {{1, 1000, "one ", 0}, {7, 1010, "two", 5}, {8, 1060, "far", 5}}, 80, 80,
         "1010.0 B  one two\n1060.0 B  far"},
        {"AFC moving a station past another reorders the lines",
         {{1, 1000, "a", 0}, {2, 1020, "b", 0}, {1, 1030, "c", 1}}, 80, 80,
         "1020.0 B  b\n1030.0 B  ac"},
        {"a restart takes back the open line only, and the line takes the new mode",
         {{1, 1000, "cq k1\n", 0}, {1, 1000, "#x~", 1}, {1, 1000, "de k2", 2, 1, true}}, 80, 80,
         "1000.0 Q  cq k1 de k2"},
        {"kept text is cut at the left", {{1, 1000, "0123456789", 0}}, 4, 80, "1000.0 B  6789"},
        {"a narrow window shows the newest text", {{1, 1000, "0123456789", 0}}, 80, 14,
         "1000.0 B  6789"},
        {"narrower than the label: the label alone", {{1, 1000, "0123", 0}}, 80, 5, "1000.0 B  "},
    };
    for (const Case& c : cases) {
        const BandLines model = linesFrom(c.sent, c.keep);
        EXPECT_EQ(band_text(model, c.columns, 0, false), c.shown) << c.what;
    }
}

TEST(BandLines, ALineGoesAfterItsStationIsSilentForTheTimeout) {
    struct Case {
        double now;
        std::string shown;  // of stations last heard at 0, 30 and 50 s, timeout 60 s
        bool changed;
    };
    const Case cases[] = {
        {10, " 500.0 B  a\n1000.0 B  b\n1500.0 B  c", false},
        {59.9, " 500.0 B  a\n1000.0 B  b\n1500.0 B  c", false},
        {60, "1000.0 B  b\n1500.0 B  c", true},
        {95, "1500.0 B  c", true},
        {500, "", true},
    };
    for (const Case& c : cases) {
        BandLines model = linesFrom({{1, 500, "a", 0}, {2, 1000, "b", 30}, {3, 1500, "c", 50}});
        model.timeout = 60;
        EXPECT_EQ(band_age(model, c.now), c.changed) << c.now;
        EXPECT_EQ(band_text(model, 80, 0, false), c.shown) << c.now;
    }
}

TEST(BandLines, LabelIsAudioHertzUntilTheDialIsKnown) {
    struct Case {
        double audio, dial;
        bool lsb;
        std::string label;
    };
    const Case cases[] = {
        {1234.56, 0, false, "1234.6"},
        {87.0, 0, true, "  87.0"},
        {1500.0, 14070000, false, "14071.500"},
        {1500.0, 3582000, true, "3580.500"},
    };
    for (const Case& c : cases) EXPECT_EQ(band_label(c.audio, c.dial, c.lsb), c.label);
}

TEST(BandLines, FindAndTheOperatorsCallMarkLinesWhateverTheCase) {
    const BandLines model = linesFrom(
        {{1, 500, "cq de K1ABC", 0}, {2, 900, "n0call de w2def", 0}, {3, 1300, "qrz", 0}});
    struct Case {
        const char* find;
        const char* call;
        std::vector<bool> marked;
    };
    const Case cases[] = {
        {"", " ", {false, false, false}},
        {"  ", "", {false, false, false}},
        {"k1abc", "", {true, false, false}},
        {" W2D ", "", {false, true, false}},
        {"", "N0CALL", {false, true, false}},
        {"qrz", "N0CALL", {false, true, true}},
        {"zz9zz", "", {false, false, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(band_matches(model, c.find, c.call), c.marked) << c.find << "/" << c.call;
    }
}

TEST(BandLines, ClickedPositionFindsItsLine) {
    const std::string shown = " 500.0 B  a\n1000.0 B  b\n1500.0 B  c";
    const struct {
        long position;
        int line;
    } cases[] = {{0, 0}, {10, 0}, {11, 0}, {12, 1}, {23, 1}, {24, 2}, {35, 2}, {36, -1}, {-1, -1}};
    for (const auto& c : cases) EXPECT_EQ(band_line_at(shown, c.position), c.line) << c.position;
    EXPECT_EQ(band_line_at("", 0), -1);
}

TEST(BandLines, LogLineIsUtcTimeFrequencyModeAndText) {
    survey_line line;
    line.frequency = 1012.345;
    line.text = "cq de k1abc";
    EXPECT_EQ(band_log_line(1765432100, line), "2025-12-11 05:48:20  1012.3 Hz  B  cq de k1abc\n");
    line.frequency = 87.0;
    line.qpsk = 1;
    line.text = "";
    EXPECT_EQ(band_log_line(0, line), "1970-01-01 00:00:00    87.0 Hz  Q  \n");
}
