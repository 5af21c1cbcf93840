// The sound server as the modem server uses it: blocking streams of signed 16-bit
// little-endian stereo frames. The program goes through pulse_audio_io; unit tests
// install a scripted table of their own before start-up.
#pragma once

#include <cstddef>
#include <cstdint>

enum class audio_direction { capture, playback };

struct audio_io {
    // Opens a stream at `rate` frames per second; nullptr with *error set on failure.
    void* (*open)(audio_direction direction, int32_t rate, int* error);
    // Whole-buffer transfers that block until done; 0, or negative with *error set.
    int (*read)(void* stream, void* data, size_t bytes, int* error);
    int (*write)(void* stream, const void* data, size_t bytes, int* error);
    // Waits until everything written for playback has been played.
    int (*drain)(void* stream, int* error);
    // Readies a playback stream, idle since its last drain, for a new signal: it is
    // played from its first sample once enough is written, not from wherever the
    // sound server's cycle has got to.
    int (*restart)(void* stream, int* error);
    const char* (*error_text)(int error);
};

// PulseAudio's simple API on the default server and devices.
extern const audio_io pulse_audio_io;
