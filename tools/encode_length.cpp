#include "tools/encode_length.h"

#include <algorithm>
#include <bit>

#include "modem/varicode.h"

namespace {

constexpr uint64_t kSymbolFrames = 256;
// Preamble (32 symbols), flush and postamble (at most 20 + 33), the fade-out and the
// blocks begun and added after the end: well under this.
constexpr uint64_t kOverheadSymbols = 256;
// A Morse character: its letter gap and at most six elements with their gaps take
// 35 symbols; a space 6.
constexpr uint64_t kMorseSymbols = 64;

}  // namespace

uint64_t encoded_frames_bound(const std::string& text, const std::string& identification) {
    uint64_t symbols = kOverheadSymbols;
    for (const unsigned char c : text) {
        // The modulator takes every bit below the pattern's end marker, one a symbol.
        const auto pattern = static_cast<uint32_t>(varicode_code(c)) & 0xFFFF;
        symbols += std::max(1u, static_cast<unsigned>(std::bit_width(pattern)) - 1u);
    }
    symbols += kMorseSymbols * identification.size();
    return symbols * kSymbolFrames;
}
