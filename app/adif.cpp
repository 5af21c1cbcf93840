#include "app/adif.h"

#include <cctype>
#include <cstdlib>

namespace {

bool allDigits(const std::string& text) {
    for (char c : text) {
        if (std::isdigit(static_cast<unsigned char>(c)) == 0) return false;
    }
    return true;
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool validDate(const std::string& d) {
    if (d.size() != 8 || !allDigits(d)) return false;
    const int year = std::atoi(d.substr(0, 4).c_str());
    const int month = std::atoi(d.substr(4, 2).c_str());
    const int day = std::atoi(d.substr(6, 2).c_str());
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return year >= 1930 && month >= 1 && month <= 12 && day >= 1 && day <= kDays[month - 1];
}

bool validTime(const std::string& t) {
    if ((t.size() != 4 && t.size() != 6) || !allDigits(t)) return false;
    const int hours = std::atoi(t.substr(0, 2).c_str());
    const int minutes = std::atoi(t.substr(2, 2).c_str());
    const int seconds = t.size() == 6 ? std::atoi(t.substr(4, 2).c_str()) : 0;
    return hours < 24 && minutes < 60 && seconds < 60;
}

bool validNumber(const std::string& text) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return *end == '\0' && value > 0;
}

}  // namespace

std::string adifField(const std::string& name, const std::string& value) {
    return "<" + name + ":" + std::to_string(value.size()) + ">" + value;
}

std::string adifRecord(const AdifRecord& fields) {
    std::string text;
    for (const AdifField& f : fields) {
        if (!f.value.empty()) text += adifField(f.name, f.value) + " ";
    }
    return text + "<EOR>\n";
}

std::string adifHeader(const std::string& programVersion, const std::string& created) {
    return "vorda contact log\n" + adifField("ADIF_VER", "3.1.4") + "\n" +
           adifField("PROGRAMID", "vorda") + "\n" + adifField("PROGRAMVERSION", programVersion) +
           "\n" + adifField("CREATED_TIMESTAMP", created) + "\n<EOH>\n";
}

bool adifParse(const std::string& text, std::vector<AdifRecord>* records, std::string* error) {
    records->clear();
    AdifRecord current;
    // A header is anything before <EOH> when the text does not begin with a field.
    size_t at = 0;
    if (!text.empty() && text[0] != '<') {
        const std::string head = upper(text);
        const size_t eoh = head.find("<EOH>");
        if (eoh == std::string::npos) {
            *error = "a header without <EOH>";
            return false;
        }
        at = eoh + 5;
    }
    for (;;) {
        const size_t open = text.find('<', at);
        if (open == std::string::npos) break;
        const size_t close = text.find('>', open);
        if (close == std::string::npos) {
            *error = "a field without '>' at byte " + std::to_string(open);
            return false;
        }
        const std::string tag = text.substr(open + 1, close - open - 1);
        const size_t colon = tag.find(':');
        const std::string name = upper(tag.substr(0, colon));
        at = close + 1;
        if (colon == std::string::npos) {
            if (name == "EOR") {
                records->push_back(current);
                current.clear();
            } else if (name != "EOH") {
                *error = "'<" + tag + ">' has no length";
                return false;
            }
            continue;
        }
        const std::string length = tag.substr(colon + 1, tag.find(':', colon + 1) - colon - 1);
        if (length.empty() || !allDigits(length) || length.size() > 6) {
            *error = "'<" + tag + ">' has no length";
            return false;
        }
        const size_t n = static_cast<size_t>(std::atol(length.c_str()));
        if (at + n > text.size()) {
            *error = "the value of " + name + " runs past the end";
            return false;
        }
        current.push_back({name, text.substr(at, n)});
        at += n;
    }
    if (!current.empty()) {
        *error = "a record without <EOR> at the end";
        return false;
    }
    return true;
}

std::string adifValue(const AdifRecord& record, const char* name) {
    for (const AdifField& f : record) {
        if (f.name == name) return f.value;
    }
    return "";
}

std::string adifContactProblem(const AdifRecord& contact) {
    const std::string call = adifValue(contact, "CALL");
    bool callSign = !call.empty() && call.size() <= 13;
    for (char c : call) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '/') callSign = false;
    }
    if (!callSign) return "'" + call + "' is not a call sign";
    if (!validDate(adifValue(contact, "QSO_DATE"))) return "QSO_DATE is not a date YYYYMMDD";
    if (!validTime(adifValue(contact, "TIME_ON"))) return "TIME_ON is not a time HHMM or HHMMSS";
    const std::string freq = adifValue(contact, "FREQ");
    if (!freq.empty() && !validNumber(freq)) return "FREQ is not a frequency in MHz";
    return "";
}
