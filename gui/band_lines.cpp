#include "gui/band_lines.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "modem/band_survey.h"
#include "modem/radio_frequency.h"

namespace {

std::string lowered(const std::string& text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool byFrequency(const BandLine& a, const BandLine& b) { return a.frequency < b.frequency; }

}  // namespace

size_t band_put(BandLines& model, const survey_char& c, double now) {
    auto& lines = model.lines;
    auto it = std::find_if(lines.begin(), lines.end(),
                           [&](const BandLine& l) { return l.channel == c.channel; });
    if (c.restart) {
        if (it == lines.end()) return lines.size();
        it->text.erase(std::min(it->lineStart, it->text.size()));
        it->qpsk = c.qpsk;
        return static_cast<size_t>(it - lines.begin());
    }
    if (it == lines.end()) {
        // The survey may retire a receiver that lost its station for a while and start
        // a new one on it later: the operator still sees one station, one line.
        it = std::find_if(lines.begin(), lines.end(), [&](const BandLine& l) {
            return std::fabs(l.frequency - c.frequency) < BAND_SAME_STATION_HZ;
        });
        if (it != lines.end()) {
            it->channel = c.channel;
        } else {
            it = lines.insert(lines.end(), BandLine{c.channel, c.frequency, c.qpsk, "", now, 0});
        }
    }
    const auto ch = static_cast<unsigned char>(c.character);
    const bool control = ch < 32 || ch == 127;
    if (!control) {
        it->text.push_back(c.character);
    } else if (!it->text.empty() && it->text.back() != ' ') {
        it->text.push_back(' ');
    }
    if (c.character == '\n') it->lineStart = it->text.size();
    if (it->text.size() > model.keep) {
        const size_t cut = it->text.size() - model.keep;
        it->text.erase(0, cut);
        it->lineStart = it->lineStart > cut ? it->lineStart - cut : 0;
    }
    it->frequency = c.frequency;
    it->qpsk = c.qpsk;
    it->lastHeard = now;

    const BandLine* touched = &*it;
    if (!std::is_sorted(lines.begin(), lines.end(), byFrequency)) {
        const int32_t channel = touched->channel;
        std::stable_sort(lines.begin(), lines.end(), byFrequency);
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].channel == channel) return i;
        }
    }
    return static_cast<size_t>(touched - lines.data());
}

bool band_age(BandLines& model, double now) {
    const size_t before = model.lines.size();
    std::erase_if(model.lines,
                  [&](const BandLine& l) { return now - l.lastHeard >= model.timeout; });
    return model.lines.size() != before;
}

std::string band_label(double audioHz, double dialHz, bool lsb) {
    if (dialHz > 0) return radio_khz_text(radio_dial{std::llround(dialHz), lsb}, audioHz);
    char text[32];
    std::snprintf(text, sizeof text, "%6.1f", audioHz);
    return text;
}

std::string band_line_text(const BandLine& line, size_t columns, double dialHz, bool lsb) {
    std::string head = band_label(line.frequency, dialHz, lsb) + (line.qpsk != 0 ? " Q  " : " B  ");
    const size_t room = columns > head.size() ? columns - head.size() : 0;
    const size_t skip = line.text.size() > room ? line.text.size() - room : 0;
    return head + line.text.substr(skip);
}

std::string band_text(const BandLines& model, size_t columns, double dialHz, bool lsb) {
    std::string shown;
    for (const BandLine& line : model.lines) {
        if (!shown.empty()) shown.push_back('\n');
        shown += band_line_text(line, columns, dialHz, lsb);
    }
    return shown;
}

int band_line_at(const std::string& shown, long position) {
    if (shown.empty() || position < 0 || position > static_cast<long>(shown.size())) return -1;
    return static_cast<int>(std::count(shown.begin(), shown.begin() + position, '\n'));
}

std::vector<bool> band_matches(const BandLines& model, const std::string& find,
                               const std::string& call) {
    const std::string needles[] = {lowered(trimmed(find)), lowered(trimmed(call))};
    std::vector<bool> matches;
    for (const BandLine& line : model.lines) {
        const std::string text = lowered(line.text);
        bool match = false;
        for (const std::string& needle : needles) {
            match = match || (!needle.empty() && text.find(needle) != std::string::npos);
        }
        matches.push_back(match);
    }
    return matches;
}

std::string band_log_line(std::time_t when, const survey_line& line) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &utc);
    char frequency[32];
    std::snprintf(frequency, sizeof frequency, "%6.1f", line.frequency);
    return std::string(stamp) + "  " + frequency + " Hz  " + (line.qpsk != 0 ? "Q" : "B") + "  " +
           line.text + "\n";
}
