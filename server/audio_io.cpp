#include "server/audio_io.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <array>
#include <cstdint>

namespace {

void* pulse_open(audio_direction direction, int32_t rate, int* error) {
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.channels = 2;
    spec.rate = static_cast<uint32_t>(rate);
    // Capture fragments of 2048 bytes: 512 frames, 64 ms at 8000 frames per second.
    // Playback asks for 16384 bytes, 512 ms, of which the sound server queues some
    // 280 ms for the stream (it sets the rest aside for its sink's latency, which
    // the capture holds to 64 ms). With 64 ms asked for, the server thread held up
    // for some 50 ms on a busy machine left a gap in the signal on the air. The
    // writes only wait for room, so a transmission starts as soon; the echo runs
    // ahead of the air by the queue, and an end plays it out.
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<uint32_t>(-1);
    attr.tlength = direction == audio_direction::playback ? 16384 : 2048;
    attr.prebuf = static_cast<uint32_t>(-1);
    attr.minreq = static_cast<uint32_t>(-1);
    attr.fragsize = 2048;
    const pa_stream_direction_t dir =
        direction == audio_direction::capture ? PA_STREAM_RECORD : PA_STREAM_PLAYBACK;
    pa_simple* stream =
        pa_simple_new(nullptr, "VORDA", dir, nullptr, "VORDA", &spec, nullptr, &attr, error);
    if (stream == nullptr || direction == audio_direction::capture) return stream;

    // A sink that nobody plays into may sleep in long blocks (a null sink: 2 s) and
    // takes up this stream's short latency only when the block ends; a transmission
    // asked for before then would wait that long for its first audio. Playing a
    // moment of silence now lets that wait happen at start-up instead.
    const std::array<uint8_t, 512> silence{};
    if (pa_simple_write(stream, silence.data(), silence.size(), error) < 0 ||
        pa_simple_drain(stream, error) < 0) {
        pa_simple_free(stream);
        return nullptr;
    }
    return stream;
}

int pulse_read(void* stream, void* data, size_t bytes, int* error) {
    return pa_simple_read(static_cast<pa_simple*>(stream), data, bytes, error);
}

int pulse_write(void* stream, const void* data, size_t bytes, int* error) {
    return pa_simple_write(static_cast<pa_simple*>(stream), data, bytes, error);
}

int pulse_drain(void* stream, int* error) {
    return pa_simple_drain(static_cast<pa_simple*>(stream), error);
}

// PipeWire's PulseAudio server plays a stream that ran empty, once it gets data
// again, from within its current cycle: with a long cycle (a quantum forced to
// 128 ms) a transmission lost its first 110 ms. A flush makes it wait for the
// buffer to fill again and start whole; PulseAudio does that after a drain anyway.
int pulse_restart(void* stream, int* error) {
    return pa_simple_flush(static_cast<pa_simple*>(stream), error);
}

const char* pulse_error_text(int error) { return pa_strerror(error); }

}  // namespace

const audio_io pulse_audio_io = {pulse_open,    pulse_read,      pulse_write,
                                 pulse_drain,   pulse_restart,   pulse_error_text};
