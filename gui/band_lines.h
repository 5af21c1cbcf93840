// What the band window shows, without X: one line per station the band survey
// hears, ordered by frequency, its newest text at the right, gone after a silence.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

struct survey_char;
struct survey_line;

struct BandLine {
    int32_t channel;     // the survey receiver that feeds it
    double frequency;    // audio Hz, that receiver's newest
    int32_t qpsk;        // the mode it is read in
    std::string text;    // the newest characters, at most BandLines::keep of them
    double lastHeard;    // seconds, when its newest character came
    size_t lineStart;    // where in text the station's open line begins
};

struct BandLines {
    std::vector<BandLine> lines;  // lowest frequency first
    size_t keep = 80;             // characters a line keeps
    double timeout = 60.0;        // seconds of silence that remove a line
};

// A receiver the survey starts this near a line's station is that station again.
constexpr double BAND_SAME_STATION_HZ = 15.0;

// Appends a decoded character to its station's line, making the line when the
// station is new; line breaks and other control characters become one space. A
// restart takes back the station's open line, which the survey reads again in the
// other mode. Returns the line's index, or the count of lines when none was touched.
size_t band_put(BandLines& model, const survey_char& c, double now);

// Removes the lines silent for the timeout; true when any went.
bool band_age(BandLines& model, double now);

// The frequency a line is labelled with: "%6.1f" audio Hz while the rig's dial
// frequency is unknown (0), otherwise the radio frequency in kHz, three decimals;
// on a lower-sideband mode the audio is below the dial.
std::string band_label(double audioHz, double dialHz, bool lsb);

// One line as shown, cut at the left to `columns` characters: the label, a space,
// B or Q, two spaces, the text.
std::string band_line_text(const BandLine& line, size_t columns, double dialHz, bool lsb);

// All lines as shown, one per text line.
std::string band_text(const BandLines& model, size_t columns, double dialHz, bool lsb);

// Which line a character position of band_text falls on; -1 when none.
int band_line_at(const std::string& shown, long position);

// Lines whose text contains `find` (case does not matter), or the operator's
// `call`; an empty or blank needle matches nothing.
std::vector<bool> band_matches(const BandLines& model, const std::string& find,
                               const std::string& call);

// A finished line as the band log keeps it:
// "YYYY-MM-DD HH:MM:SS  FFFF.F Hz  B  text" in UTC, with a newline.
std::string band_log_line(std::time_t when, const survey_line& line);
