// Audio files for vorda-modem: the modem's 8000 samples/s streams to and from whatever
// libsndfile reads and writes, other rates converted with libsamplerate.
#pragma once

#include <samplerate.h>
#include <sndfile.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int kModemRate = 8000;
// The sample rates a recording may have: the converter's ratio stays within 256.
constexpr int kMinFileRate = (kModemRate + 255) / 256;  // 32
constexpr int kMaxFileRate = kModemRate * 256;

// Reads a recording as the modem's input: 8000 samples/s, one 16-bit sample per frame,
// stereo summed the way the capture thread does it (left + right, wrapping in 16 bits).
struct audio_reader {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    SRC_STATE* converter = nullptr;  // only when the file's rate is not 8000
    bool input_done = false;
    std::vector<int16_t> frames16;   // interleaved, 8000/s
    std::vector<float> file_frames;  // interleaved, file rate
    std::vector<float> converted;    // interleaved, 8000/s
    size_t file_frames_read = 0;     // frames in file_frames
    size_t file_frames_used = 0;     // of those, already converted
    std::vector<int16_t> samples;    // the output of the last read_audio
};

// Opens `path`; on failure returns false with a one-line reason in `error`.
bool open_audio(audio_reader& reader, const char* path, std::string& error);

// The next few thousand samples into reader.samples; returns their count, 0 at the end,
// -1 on a read error (reason in `error`).
long read_audio(audio_reader& reader, std::string& error);

void close_audio(audio_reader& reader);

// A 16-bit WAV file at 8000 frames/s, two channels. With the path "-" the file is built
// in memory and goes to standard output when closed.
constexpr int kWavFrameBytes = 4;
// A WAV file's sizes are 32-bit; its audio must leave room for the header (libsndfile
// writes 44 bytes for 16-bit PCM) below 4 GiB.
constexpr uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 1024;

struct wav_writer {
    SNDFILE* file = nullptr;
    bool to_stdout = false;
    std::vector<char> memory;  // the whole file when writing to standard output
    int64_t position = 0;      // of the virtual file in `memory`
    uint64_t frames = 0;       // written so far
    uint64_t max_frames = kMaxWavDataBytes / kWavFrameBytes;  // refused beyond
};

bool open_wav(wav_writer& writer, const char* path, std::string& error);
// Interleaved stereo frames; false on a write error or when the file would outgrow
// max_frames (reason in `error`).
bool write_wav(wav_writer& writer, const int16_t* frames, size_t frame_count, std::string& error);
bool close_wav(wav_writer& writer, std::string& error);
