// How long the audio of an encoded text can be, known before any of it is made, so that
// vorda-modem refuses a text whose WAV file would outgrow the format instead of writing
// a file whose sizes wrap.
#pragma once

#include <cstdint>
#include <string>

// An upper bound of the frames that encoding `text` writes, with the Morse
// identification `identification` (empty: none) after it. Exact for the text's
// characters (each takes the symbols of its Varicode pattern); the preamble, the
// postamble, the Morse characters and the last blocks are counted generously.
// The code table must be loaded.
uint64_t encoded_frames_bound(const std::string& text, const std::string& identification);
