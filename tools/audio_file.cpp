#include "tools/audio_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "modem/receiver.h"

namespace {

constexpr size_t kChunkFrames = 4096;

// Refills reader.frames16 with up to kChunkFrames frames at 8000/s; returns the count.
// Every format is read as floats, where full scale is +-1.0 whatever the file holds, and
// then turned into 16 bits, so that a float or double recording reaches the receiver at
// its level (libsndfile's own float-to-short read does not scale).
long fill_frames(audio_reader& r, std::string& error) {
    const int channels = r.info.channels;
    if (r.converter == nullptr) {
        r.file_frames.resize(kChunkFrames * channels);
        const sf_count_t got = sf_readf_float(r.file, r.file_frames.data(), kChunkFrames);
        if (got == 0 && sf_error(r.file) != SF_ERR_NO_ERROR) {
            error = sf_strerror(r.file);
            return -1;
        }
        r.frames16.resize(static_cast<size_t>(got) * channels);
        src_float_to_short_array(r.file_frames.data(), r.frames16.data(),
                                 static_cast<int>(got * channels));
        return static_cast<long>(got);
    }

    r.converted.resize(kChunkFrames * channels);
    for (;;) {
        if (r.file_frames_used == r.file_frames_read && !r.input_done) {
            r.file_frames.resize(kChunkFrames * channels);
            const sf_count_t got = sf_readf_float(r.file, r.file_frames.data(), kChunkFrames);
            if (got == 0 && sf_error(r.file) != SF_ERR_NO_ERROR) {
                error = sf_strerror(r.file);
                return -1;
            }
            r.file_frames_read = static_cast<size_t>(got);
            r.file_frames_used = 0;
            if (got == 0) r.input_done = true;
        }
        SRC_DATA data{};
        data.data_in = r.file_frames.data() + r.file_frames_used * channels;
        data.input_frames = static_cast<long>(r.file_frames_read - r.file_frames_used);
        data.data_out = r.converted.data();
        data.output_frames = static_cast<long>(kChunkFrames);
        data.src_ratio = static_cast<double>(kModemRate) / r.info.samplerate;
        data.end_of_input = r.input_done ? 1 : 0;
        if (const int e = src_process(r.converter, &data); e != 0) {
            error = src_strerror(e);
            return -1;
        }
        r.file_frames_used += static_cast<size_t>(data.input_frames_used);
        if (data.output_frames_gen > 0) {
            const long n = data.output_frames_gen;
            r.frames16.resize(static_cast<size_t>(n) * channels);
            src_float_to_short_array(r.converted.data(), r.frames16.data(),
                                     static_cast<int>(n * channels));
            return n;
        }
        if (r.input_done) return 0;
    }
}

}  // namespace

bool open_audio(audio_reader& reader, const char* path, std::string& error) {
    struct stat st {};
    if (stat(path, &st) != 0) {
        error = std::string("cannot open '") + path + "': " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::string("cannot read '") + path + "': it is a directory";
        return false;
    }
    if (st.st_size == 0 && S_ISREG(st.st_mode)) {
        error = std::string("'") + path + "' is empty";
        return false;
    }
    if (FILE* probe = std::fopen(path, "rb")) {
        std::fclose(probe);
    } else {
        error = std::string("cannot open '") + path + "': " + std::strerror(errno);
        return false;
    }

    reader.info = SF_INFO{};
    reader.file = sf_open(path, SFM_READ, &reader.info);
    if (reader.file == nullptr) {
        error = std::string("'") + path + "' is not an audio file this program can read (" +
                sf_strerror(nullptr) + ")";
        return false;
    }
    if (reader.info.channels < 1 || reader.info.channels > 2) {
        error = std::string("'") + path + "' has " + std::to_string(reader.info.channels) +
                " channels; only mono and stereo are read";
        close_audio(reader);
        return false;
    }
    if (reader.info.frames == 0) {
        error = std::string("'") + path + "' holds no audio";
        close_audio(reader);
        return false;
    }
    // The converter takes ratios from 1/256 to 256 only; refused here, in our words,
    // rather than failing at the first read.
    if (reader.info.samplerate < kMinFileRate || reader.info.samplerate > kMaxFileRate) {
        error = std::string("'") + path + "': unsupported sample rate " +
                std::to_string(reader.info.samplerate) + " Hz (" +
                std::to_string(kMinFileRate) + " to " + std::to_string(kMaxFileRate) +
                " Hz are read)";
        close_audio(reader);
        return false;
    }
    if (reader.info.samplerate != kModemRate) {
        int e = 0;
        reader.converter = src_new(SRC_SINC_FASTEST, reader.info.channels, &e);
        if (reader.converter == nullptr) {
            error = std::string("cannot convert the sample rate: ") + src_strerror(e);
            close_audio(reader);
            return false;
        }
    }
    return true;
}

long read_audio(audio_reader& reader, std::string& error) {
    const long frames = fill_frames(reader, error);
    if (frames <= 0) return frames;
    reader.samples.resize(static_cast<size_t>(frames));
    const int16_t* f = reader.frames16.data();
    for (long i = 0; i < frames; ++i) {
        reader.samples[i] = reader.info.channels == 2 ? saturating_sum(f[2 * i], f[2 * i + 1]) : f[i];
    }
    return frames;
}

void close_audio(audio_reader& reader) {
    if (reader.converter != nullptr) reader.converter = src_delete(reader.converter);
    if (reader.file != nullptr) sf_close(reader.file);
    reader.file = nullptr;
}

namespace {

// Virtual file in memory, for writing a complete WAV to standard output.
sf_count_t memory_length(void* user) {
    return static_cast<sf_count_t>(static_cast<wav_writer*>(user)->memory.size());
}

sf_count_t memory_seek(sf_count_t offset, int whence, void* user) {
    auto* w = static_cast<wav_writer*>(user);
    const sf_count_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? w->position
                                                 : static_cast<sf_count_t>(w->memory.size());
    w->position = std::max<sf_count_t>(0, base + offset);
    return w->position;
}

sf_count_t memory_read(void* ptr, sf_count_t count, void* user) {
    auto* w = static_cast<wav_writer*>(user);
    const sf_count_t size = static_cast<sf_count_t>(w->memory.size());
    const sf_count_t n = std::clamp<sf_count_t>(size - w->position, 0, count);
    std::memcpy(ptr, w->memory.data() + w->position, static_cast<size_t>(n));
    w->position += n;
    return n;
}

sf_count_t memory_write(const void* ptr, sf_count_t count, void* user) {
    auto* w = static_cast<wav_writer*>(user);
    const size_t end = static_cast<size_t>(w->position + count);
    if (end > w->memory.size()) w->memory.resize(end);
    std::memcpy(w->memory.data() + w->position, ptr, static_cast<size_t>(count));
    w->position += count;
    return count;
}

sf_count_t memory_tell(void* user) {
    return static_cast<wav_writer*>(user)->position;
}

SF_VIRTUAL_IO memory_io = {memory_length, memory_seek, memory_read, memory_write, memory_tell};

}  // namespace

bool open_wav(wav_writer& writer, const char* path, std::string& error) {
    SF_INFO info{};
    info.samplerate = kModemRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writer.to_stdout = std::strcmp(path, "-") == 0;
    writer.file = writer.to_stdout ? sf_open_virtual(&memory_io, SFM_WRITE, &info, &writer)
                                   : sf_open(path, SFM_WRITE, &info);
    if (writer.file == nullptr) {
        error = std::string("cannot write '") + path + "': " + sf_strerror(nullptr);
        return false;
    }
    return true;
}

bool write_wav(wav_writer& writer, const int16_t* frames, size_t frame_count, std::string& error) {
    if (writer.frames + frame_count > writer.max_frames) {
        error = "the audio does not fit into a WAV file (at most 4 GiB)";
        return false;
    }
    const auto n = static_cast<sf_count_t>(frame_count);
    if (sf_writef_short(writer.file, frames, n) != n) {
        error = sf_strerror(writer.file);
        return false;
    }
    writer.frames += frame_count;
    return true;
}

bool close_wav(wav_writer& writer, std::string& error) {
    if (writer.file == nullptr) return true;
    const int e = sf_close(writer.file);
    writer.file = nullptr;
    if (e != 0) {
        error = sf_error_number(e);
        return false;
    }
    if (writer.to_stdout) {
        if (std::fwrite(writer.memory.data(), 1, writer.memory.size(), stdout) !=
                writer.memory.size() ||
            std::fflush(stdout) != 0) {
            error = std::string("cannot write to standard output: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}
