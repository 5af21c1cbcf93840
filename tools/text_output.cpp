#include "tools/text_output.h"

namespace {

bool is_control(unsigned char c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

}  // namespace

std::string printable_line(std::string_view received) {
    std::string line;
    line.reserve(received.size());
    for (const char ch : received) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\b') {
            if (!line.empty()) line.pop_back();
        } else if (!is_control(c)) {
            line.push_back(ch);
        }
    }
    return line;
}

void append_visible(std::string& out, unsigned char c, bool utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    if (c == '\n' || c == '\t') {
        out.push_back(static_cast<char>(c));
    } else if (c == '\r') {
        // A lone carriage return would let the rest of the line overwrite its start.
    } else if (c == 0x1B) {
        out += "<ESC>";
    } else if (c < 0x20 || c == 0x7F) {
        out.push_back('^');
        out.push_back(static_cast<char>(c ^ 0x40));  // 0x07 -> 'G', 0x7F -> '?'
    } else if (c >= 0x80 && c < 0xA0) {
        out += {'<', kHex[c >> 4], kHex[c & 15], '>'};
    } else if (c >= 0xA0 && utf8) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(c));
    }
}
