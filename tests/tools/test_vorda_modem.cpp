// vorda-modem from the command line: round trips and bad input.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "modem/psk31_signal.h"
#include "modem/transmitter.h"
#include "modem/varicode.h"
#include "tools/audio_file.h"
#include "tools/encode_length.h"
#include "tools/text_output.h"

namespace fs = std::filesystem;

namespace {

const std::string kTool = VORDA_MODEM_TOOL;
const std::string kTable = std::string(" --table ") + VORDA_SOURCE_DATA_DIR;

struct Result {
    int status = -1;  // exit status, or -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A scratch directory per test, removed afterwards.
class Tool : public testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/vorda-modem-test-XXXXXX";
        dir = mkdtemp(templ);
        load_code_table(VORDA_SOURCE_DATA_DIR);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    Result run(const std::string& args, const std::string& stdin_file = "") const {
        std::string command = kTool + " " + args + " > " + path("out") + " 2> " + path("err");
        if (!stdin_file.empty()) command += " < " + stdin_file;
        const int raw = std::system(command.c_str());
        Result r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = read_file(path("out"));
        r.err = read_file(path("err"));
        return r;
    }

    fs::path dir;
};

// A minimal RIFF/WAVE file of 16-bit samples.
void write_wav(const std::string& path, int rate, int channels, const std::vector<int16_t>& data) {
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    const auto bytes = static_cast<uint32_t>(data.size() * 2);
    std::string header = "RIFF" + u32(36 + bytes) + "WAVE" + "fmt " + u32(16) + u16(1) +
                         u16(static_cast<uint16_t>(channels)) + u32(static_cast<uint32_t>(rate)) +
                         u32(static_cast<uint32_t>(rate * channels * 2)) +
                         u16(static_cast<uint16_t>(channels * 2)) + u16(16) + "data" + u32(bytes);
    std::ofstream out(path, std::ios::binary);
    out << header;
    out.write(reinterpret_cast<const char*>(data.data()), bytes);
}

// The sample frames of a 16-bit WAV file (channels interleaved), from its data chunk.
std::vector<int16_t> wav_samples(const std::string& bytes, int* channels = nullptr) {
    size_t at = 12;
    std::vector<int16_t> samples;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        uint32_t size = 0;
        std::copy_n(bytes.data() + at + 4, 4, reinterpret_cast<char*>(&size));
        if (id == "fmt " && channels != nullptr) {
            uint16_t c = 0;
            std::copy_n(bytes.data() + at + 10, 2, reinterpret_cast<char*>(&c));
            *channels = c;
        }
        if (id == "data") {
            samples.resize(std::min<size_t>(size, bytes.size() - at - 8) / 2);
            std::copy_n(bytes.data() + at + 8, samples.size() * 2,
                        reinterpret_cast<char*>(samples.data()));
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

// A mono BPSK transmission at 1000 Hz straight from the transmitter.
std::vector<int16_t> transmitted(const std::string& text) {
    psk31_transmitter tx;
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    for (unsigned char c : text) tx.put_command(c);
    tx.put_command(TX_END);
    std::vector<int16_t> mono;
    int32_t result = 0;
    while (result != static_cast<int32_t>(TX_END)) {
        result = tx.processor();
        for (int f = 0; f < psk31_transmitter::kBlockFrames; ++f) mono.push_back(tx.block[2 * f]);
    }
    return mono;
}

}  // namespace

TEST_F(Tool, EncodeThenDecodeRoundTrips) {
    const std::string text = "cq cq de vorda: The quick brown fox 0123456789?";
    for (const std::string flags :
         {"", "--qpsk --freq 1500", "--qpsk --lsb --freq 750.5", "--lsb --freq 2222"}) {
        const Result enc =
            run("encode" + kTable + " " + flags + " -o " + path("a.wav") + " '" + text + "'");
        ASSERT_EQ(enc.status, 0) << flags << ": " << enc.err;
        const Result dec = run("decode" + kTable + " " + flags + " " + path("a.wav"));
        ASSERT_EQ(dec.status, 0) << flags << ": " << dec.err;
        EXPECT_EQ(dec.out.substr(0, text.size()), text) << flags;
        EXPECT_LE(dec.out.size(), text.size() + 2) << flags;  // at most the postamble's '~'
    }

    // Text from standard input, WAV to standard output; 8000/s stereo.
    std::ofstream(path("in.txt")) << "line one\nline two\n";
    const Result enc = run("encode" + kTable, path("in.txt"));
    ASSERT_EQ(enc.status, 0) << enc.err;
    std::ofstream(path("b.wav"), std::ios::binary) << enc.out;
    int channels = 0;
    const std::vector<int16_t> frames = wav_samples(enc.out, &channels);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(enc.out.substr(24, 4), std::string("\x40\x1f\0\0", 4));  // 8000/s
    for (size_t i = 0; i + 1 < frames.size(); i += 2) ASSERT_EQ(frames[i], frames[i + 1]);
    const Result dec = run("decode" + kTable + " --status " + path("b.wav"));
    ASSERT_EQ(dec.status, 0);
    EXPECT_EQ(dec.out, "line one\nline two\n");
    EXPECT_NE(dec.err.find("1.0 s"), std::string::npos) << dec.err;
    EXPECT_NE(dec.err.find("1000.00 Hz"), std::string::npos) << dec.err;
    EXPECT_NE(dec.err.find("dcd 1"), std::string::npos) << dec.err;
}

TEST_F(Tool, MorseIdentificationFollowsTheText) {
    const Result plain = run("encode" + kTable + " -o " + path("p.wav") + " 'hi '");
    const Result cwid = run("encode" + kTable + " --cwid AB -o " + path("c.wav") + " 'hi '");
    ASSERT_EQ(plain.status, 0);
    ASSERT_EQ(cwid.status, 0);
    // The postamble (35 symbols) gives way to two carrier-on zero bits that complete the
    // text's last character, then " de AB" in Morse: 6 + 16 + 8 + 6 + 13 + 19 symbols of
    // elements and gaps.
    const auto p = wav_samples(read_file(path("p.wav")));
    const auto c = wav_samples(read_file(path("c.wav")));
    EXPECT_EQ(static_cast<long>(c.size()) - static_cast<long>(p.size()),
              2L * (2 + 68 - 35) * 256);
    // Every character of the text, the last one included, reaches the receiver.
    const Result dec = run("decode" + kTable + " " + path("c.wav"));
    EXPECT_EQ(dec.out.substr(0, 3), "hi ");
    const Result word = run("encode" + kTable + " --cwid AB -o " + path("w.wav") + " 'text'");
    ASSERT_EQ(word.status, 0);
    EXPECT_EQ(run("decode" + kTable + " " + path("w.wav")).out.substr(0, 4), "text");
}

// Beyond the transmitter's queue capacity the text is fed as the queue drains; the
// identification's mode word must wait for room as the characters do.
TEST_F(Tool, LongTextKeepsEveryCharacterAndTheWholeIdentification) {
    std::string text;
    while (text.size() < 2500) text += "the quick brown fox " + std::to_string(text.size()) + " ";
    std::ofstream(path("long.txt")) << text;
    const Result plain = run("encode" + kTable + " -o " + path("p.wav"), path("long.txt"));
    const Result cwid = run("encode" + kTable + " --cwid AB -o " + path("c.wav"), path("long.txt"));
    ASSERT_EQ(plain.status, 0) << plain.err;
    ASSERT_EQ(cwid.status, 0) << cwid.err;
    const auto p = wav_samples(read_file(path("p.wav")));
    const auto c = wav_samples(read_file(path("c.wav")));
    EXPECT_EQ(static_cast<long>(c.size()) - static_cast<long>(p.size()),
              2L * (2 + 68 - 35) * 256);  // as for a short text (see above)
    const Result dec = run("decode" + kTable + " " + path("c.wav"));
    EXPECT_EQ(dec.out.substr(0, text.size()), text);
}

TEST_F(Tool, TuneIsASteadyCarrier) {
    const Result enc = run("encode" + kTable + " --tune 2 --freq 1000 -o " + path("t.wav"));
    ASSERT_EQ(enc.status, 0) << enc.err;
    const auto frames = wav_samples(read_file(path("t.wav")));
    const size_t seconds_frames = frames.size() / 2;
    EXPECT_GE(seconds_frames, 16000u);
    EXPECT_LE(seconds_frames, 16000u + 16 * 256);
    int peak = 0;
    for (size_t i = 2 * 8000; i < 2 * 12000; i += 2)
        peak = std::max(peak, std::abs(int{frames[i]}));
    EXPECT_EQ(peak, 16000);
    const Result dec = run("decode" + kTable + " " + path("t.wav"));
    EXPECT_EQ(dec.status, 0);
    EXPECT_EQ(dec.out, "");
}

// A new user's first try: one clean full-scale station; receivers 150 to 2500 Hz away
// print at most 2 characters with the squelch, and without it nothing nearer the
// station's text than noise decodes to. A station 30 dB weaker 150 Hz away comes through.
TEST_F(Tool, ReceiversAwayFromAStrongStationPrintOnlyTheirOwn) {
    const std::string text =
        "CQ CQ de K1ABC pse k. The quick brown fox jumps over the lazy dog 0123456789";
    const std::string weak = "de G4XYZ the weak one answers 599 73";
    std::vector<double> noise(8000 * 20, 0.0);
    psk31_signal::add_noise(noise, 3000.0, 7);
    write_wav(path("noise.wav"), 8000, 1, psk31_signal::to_pcm(noise));
    for (const std::string mode : {" --freq ", " --qpsk --freq "}) {
        const auto errors = [&](const std::string& out) {
            return psk31_signal::edit_distance(text, out);
        };
        const size_t noise_errors =
            errors(run("decode --squelch -1" + kTable + mode + "1000 " + path("noise.wav")).out);
        run("encode" + kTable + mode + "1000 -o " + path("s.wav") + " '" + text + "'");
        run("encode" + kTable + mode + "1150 -o " + path("w.wav") + " '" + weak + "'");
        for (const std::string hz : {"500 ", "750 ", "850 ", "1150 ", "1250 ", "1500 ", "1750 ",
                                     "2000 ", "2500 ", "3500 "}) {
            EXPECT_LE(run("decode" + kTable + mode + hz + path("s.wav")).out.size(), 2u)
                << mode << hz;
            EXPECT_GE(errors(run("decode --squelch -1" + kTable + mode + hz + path("s.wav")).out),
                      noise_errors)
                << mode << hz;
        }
        std::vector<int16_t> mix = wav_samples(read_file(path("s.wav")));
        const std::vector<int16_t> second = wav_samples(read_file(path("w.wav")));
        for (size_t n = 0; n < std::min(mix.size(), second.size()); ++n)
            mix[n] = static_cast<int16_t>(std::lround(mix[n] + second[n] * 0.031623));
        write_wav(path("mix.wav"), 8000, 2, mix);
        const std::string out = run("decode" + kTable + mode + "1150 " + path("mix.wav")).out;
        EXPECT_TRUE(out == weak || out == weak + "~") << mode << ": " << out;
    }
}

TEST_F(Tool, ReadsMonoStereoAndOtherRates) {
    const std::string text = "mono and resampled\n";
    const std::vector<int16_t> mono = transmitted(text);
    write_wav(path("mono.wav"), 8000, 1, mono);
    Result r = run("decode" + kTable + " " + path("mono.wav"));
    EXPECT_EQ(r.out, text) << r.err;

    // 48000/s by linear interpolation; the converter's low-pass removes the images.
    std::vector<int16_t> fast;
    for (size_t n = 0; n + 1 < mono.size(); ++n) {
        for (int k = 0; k < 6; ++k) {
            fast.push_back(static_cast<int16_t>(mono[n] + (mono[n + 1] - mono[n]) * k / 6));
        }
    }
    write_wav(path("fast.wav"), 48000, 1, fast);
    r = run("decode" + kTable + " " + path("fast.wav"));
    EXPECT_EQ(r.out, text) << r.err;

    // Stereo is summed: opposite channels cancel, one silent channel does not matter.
    std::vector<int16_t> opposite, one_sided;
    for (int16_t s : mono) {
        opposite.insert(opposite.end(), {s, static_cast<int16_t>(-s)});
        one_sided.insert(one_sided.end(), {0, s});
    }
    write_wav(path("opposite.wav"), 8000, 2, opposite);
    write_wav(path("one_sided.wav"), 8000, 2, one_sided);
    EXPECT_EQ(run("decode" + kTable + " " + path("opposite.wav")).out, "");
    EXPECT_EQ(run("decode" + kTable + " " + path("one_sided.wav")).out, text);
}

// Most radio interfaces deliver the same audio on both channels; at -3 dBFS and at full
// scale the sum of the two leaves 16 bits and must not wrap.
TEST_F(Tool, StrongStereoRecordingsDecodeExactly) {
    const std::string text = "cq cq de n0call strong stereo 73";
    for (bool qpsk : {false, true}) {
        for (double amplitude : {23197.0, 32767.0}) {
            psk31_signal::signal_options o;
            o.amplitude = amplitude;
            o.qpsk = qpsk;
            o.lead_in = 4000;
            o.lead_out = 4000;
            std::vector<int16_t> stereo;
            for (int16_t v : psk31_signal::make_signal(text, o)) stereo.insert(stereo.end(), {v, v});
            write_wav(path("strong.wav"), 8000, 2, stereo);
            const Result r =
                run("decode" + kTable + (qpsk ? " --qpsk " : " ") + path("strong.wav"));
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_NE(r.out.find(text), std::string::npos)
                << (qpsk ? "QPSK" : "BPSK") << " at peak " << amplitude << ": " << r.out;
        }
    }
}

// Every sample format libsndfile writes in the common containers, at the modem's rate
// and at 48000/s, mono and stereo: full scale in the file is full scale for the
// receiver, so each decodes the same text (float recordings once decoded to nothing).
struct SampleFormat {
    const char* name;
    int format;  // container | sample type
};

void PrintTo(const SampleFormat& f, std::ostream* out) { *out << f.name; }

class ToolFormats : public Tool, public testing::WithParamInterface<SampleFormat> {};

TEST_P(ToolFormats, DecodesTheSameText) {
    const std::string text = "every format decodes\n";
    const std::vector<int16_t> mono = transmitted(text);
    for (const int rate : {8000, 48000}) {
        // 48000/s by linear interpolation, as in ReadsMonoStereoAndOtherRates.
        std::vector<float> signal;
        for (size_t n = 0; n + 1 < mono.size(); ++n) {
            const int steps = rate / 8000;
            for (int k = 0; k < steps; ++k) {
                signal.push_back((mono[n] + (mono[n + 1] - mono[n]) * k / float(steps)) / 32768.0f);
            }
        }
        for (const int channels : {1, 2}) {
            std::vector<float> frames;
            for (float v : signal) frames.insert(frames.end(), static_cast<size_t>(channels), v);
            SF_INFO info{};
            info.samplerate = rate;
            info.channels = channels;
            info.format = GetParam().format;
            const std::string file = path("signal");
            SNDFILE* out = sf_open(file.c_str(), SFM_WRITE, &info);
            ASSERT_NE(out, nullptr) << GetParam().name << ": " << sf_strerror(nullptr);
            const auto count = static_cast<sf_count_t>(signal.size());
            ASSERT_EQ(sf_writef_float(out, frames.data(), count), count);
            sf_close(out);

            const Result r = run("decode" + kTable + " " + file);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, text) << GetParam().name << " at " << rate << "/s, " << channels
                                   << " channel(s)";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ToolFormats,
    testing::Values(SampleFormat{"WavPcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
                    SampleFormat{"WavPcmU8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
                    SampleFormat{"WavPcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
                    SampleFormat{"WavPcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
                    SampleFormat{"WavFloat", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
                    SampleFormat{"WavDouble", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
                    SampleFormat{"AuFloat", SF_FORMAT_AU | SF_FORMAT_FLOAT},
                    SampleFormat{"AuDouble", SF_FORMAT_AU | SF_FORMAT_DOUBLE},
                    SampleFormat{"CafFloat", SF_FORMAT_CAF | SF_FORMAT_FLOAT},
                    SampleFormat{"CafDouble", SF_FORMAT_CAF | SF_FORMAT_DOUBLE},
                    SampleFormat{"W64Float", SF_FORMAT_W64 | SF_FORMAT_FLOAT},
                    SampleFormat{"W64Double", SF_FORMAT_W64 | SF_FORMAT_DOUBLE},
                    SampleFormat{"FlacPcm16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16}),
    [](const testing::TestParamInfo<SampleFormat>& info) { return info.param.name; });

// A text whose WAV file would pass 4 GiB is refused before anything is written (a
// million characters once made a 7 GB file whose sizes wrapped, with status 0).
TEST_F(Tool, RefusesATextTooLongForAWavFile) {
    std::string text;
    while (text.size() < 1000000) text += "cq cq de n0call the quick brown fox 0123456789\n";
    std::ofstream(path("long.txt")) << text;
    const Result r = run("encode" + kTable + " -o " + path("long.wav"), path("long.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("too long"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("long.wav")));
    // To standard output as well, where the file is built in memory first.
    const Result piped = run("encode" + kTable, path("long.txt"));
    EXPECT_EQ(piped.status, 1);
    EXPECT_EQ(piped.out, "");
}

// The transmitter run the way `encode` runs it; returns the frames written.
uint64_t encoded_frames(const std::string& text, bool qpsk, const std::string& identification) {
    psk31_transmitter tx;
    uint64_t blocks = 0;
    auto run_block = [&] {
        ++blocks;
        return tx.processor();
    };
    tx.put_command(TX_MODE_PSK + 2 * qpsk);
    tx.put_command(TX_FREQUENCY + 100000);
    tx.put_command(TX_BEGIN);
    for (unsigned char c : text) {
        while (tx.put_command(c) != 0) run_block();
    }
    if (!identification.empty()) {
        tx.put_command(TX_MODE_MORSE);
        for (unsigned char c : identification) {
            while (tx.put_command(c) != 0) run_block();
        }
    }
    tx.put_command(TX_END);
    while (run_block() != static_cast<int32_t>(TX_END)) {
    }
    run_block();
    return blocks * psk31_transmitter::kBlockFrames;
}

TEST(EncodeLength, BoundsTheFramesTheTransmitterWrites) {
    load_code_table(VORDA_SOURCE_DATA_DIR);
    std::string every_byte;
    for (int c = 0; c < 256; ++c) every_byte += static_cast<char>(c);
    const std::string identification = " de ----------";  // the longest Morse characters
    for (const std::string& text :
         {std::string(), std::string(500, 'e'), std::string(300, '\xff'), every_byte,
          std::string("abc\b\bdef 73\n")}) {
        for (const bool qpsk : {false, true}) {
            for (const std::string& id : {std::string(), identification}) {
                const uint64_t actual = encoded_frames(text, qpsk, id);
                const uint64_t bound = encoded_frames_bound(text, id);
                EXPECT_GE(bound, actual) << text.size() << " characters, qpsk " << qpsk;
                // Only the fixed parts are counted generously (256 symbols, 8 s), never
                // the text's characters.
                EXPECT_LE(bound - actual, 256u * 256 + 64u * 256 * id.size());
            }
        }
    }
}

TEST(WavWriter, RefusesAudioBeyondItsLimit) {
    char dir[] = "/tmp/vorda-wav-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string file = std::string(dir) + "/limit.wav";
    wav_writer writer;
    std::string error;
    ASSERT_TRUE(open_wav(writer, file.c_str(), error)) << error;
    writer.max_frames = 1000;
    const std::vector<int16_t> frames(2 * 600, 100);
    EXPECT_TRUE(write_wav(writer, frames.data(), 600, error)) << error;
    EXPECT_FALSE(write_wav(writer, frames.data(), 600, error));
    EXPECT_NE(error.find("4 GiB"), std::string::npos) << error;
    EXPECT_TRUE(close_wav(writer, error)) << error;
    EXPECT_EQ(wav_samples(read_file(file)).size(), 2u * 600);  // a whole, valid file
    fs::remove_all(dir);
}

// The decoded text is the output: when it cannot be written (a full disk, a closed
// descriptor) the tool says so and fails, as `encode` does.
TEST_F(Tool, OutputThatCannotBeWrittenFails) {
    ASSERT_EQ(run("encode" + kTable + " -o " + path("s.wav") + " 'lost text'").status, 0);
    const std::pair<std::string, std::string> outputs[] = {
        {"> /dev/full", "No space left on device"}, {">&-", "Bad file descriptor"}};
    for (const auto& [out, reason] : outputs) {
        for (const std::string& command :
             {"decode" + kTable + " " + path("s.wav"), "decode --all" + kTable + " " + path("s.wav"),
              "encode" + kTable + " 'x'"}) {
            const std::string line = kTool + " " + command + " " + out + " 2> " + path("err");
            const int raw = std::system(line.c_str());
            ASSERT_TRUE(WIFEXITED(raw)) << line;
            EXPECT_EQ(WEXITSTATUS(raw), 1) << line;
            EXPECT_EQ(read_file(path("err")),
                      "vorda-modem: cannot write to standard output: " + reason + "\n")
                << line;
        }
    }
}

TEST_F(Tool, BadInputGivesOneLineAndFailure) {
    std::ofstream(path("empty.wav"));
    std::ofstream(path("text.wav")) << "this is not audio\n";
    write_wav(path("no_frames.wav"), 8000, 1, {});
    write_wav(path("three.wav"), 8000, 3, std::vector<int16_t>(3 * 800, 0));
    write_wav(path("ok.wav"), 8000, 1, std::vector<int16_t>(800, 0));
    for (int rate : {31, 32, 2048000, 2048001}) {
        write_wav(path("rate" + std::to_string(rate) + ".wav"), rate, 1, std::vector<int16_t>(800, 0));
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"decode " + path("missing.wav"), "missing.wav"},
        {"decode " + dir.string(), "directory"},
        {"decode " + path("empty.wav"), "empty"},
        {"decode " + path("text.wav"), "not an audio file"},
        {"decode " + path("no_frames.wav"), "no audio"},
        {"decode " + path("three.wav"), "3 channels"},
        {"decode --freq 4000.5 " + path("ok.wav"), "frequency"},
        {"decode --freq -1 " + path("ok.wav"), "frequency"},
        {"encode --freq 12k x", "frequency"},
        {"decode --bogus " + path("ok.wav"), "unknown option '--bogus'"},
        {"encode -q x", "unknown option '-q'"},
        {"encode --tune", "needs a value"},
        {"encode --tune -3", "tune"},
        {"encode --tune 1e9", "at most 86400"},
        {"encode --tune 0", "above 0"},
        {"encode --tune 1 text", "no text"},
        {"decode --squelch loud " + path("ok.wav"), "squelch"},
        {"decode --all " + path("missing.wav"), "missing.wav"},
        {"decode --all " + path("text.wav"), "not an audio file"},
        {"decode --all " + path("three.wav"), "3 channels"},
        {"decode " + path("rate31.wav"), "unsupported sample rate 31 Hz"},
        {"decode --all " + path("rate2048001.wav"), "unsupported sample rate 2048001 Hz"},
        {"decode --all --freq 1000 " + path("ok.wav"), "leave out --freq"},
        {"decode --all --status " + path("ok.wav"), "--status"},
        {"decode --all --dial 0 " + path("ok.wav"), "dial frequency '0'"},
        {"decode --all --dial 14m " + path("ok.wav"), "dial frequency '14m'"},
        {"decode --all --dial-lsb " + path("ok.wav"), "--dial-lsb goes with --dial"},
        {"decode --dial 14070000 " + path("ok.wav"), "go with --all"},
        {"decode --all --qpsk --bpsk " + path("ok.wav"), "exclude each other"},
        {"decode", "no input file"},
        {"frobnicate", "unknown command"},
        {"encode -o " + path("no/such/dir.wav") + " x", "cannot write"},
    };
    for (const auto& [args, what] : cases) {
        const size_t space = std::min(args.find(' '), args.size());
        const Result r = run(args.substr(0, space) + kTable + args.substr(space));
        EXPECT_GT(r.status, 0) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
        EXPECT_EQ(r.err.rfind("vorda-modem: ", 0), 0u) << args << ": " << r.err;
        EXPECT_NE(r.err.find(what), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(r.out, "") << args;
    }

    for (const char* name : {"ok.wav", "rate32.wav", "rate2048000.wav"}) {
        const Result ok = run("decode " + path(name) + kTable);
        EXPECT_EQ(ok.status, 0) << name << ": " << ok.err;
    }
    const Result all = run("decode --all " + path("ok.wav") + kTable);
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out, "");
    const Result help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("vorda-modem encode"), std::string::npos);
    EXPECT_NE(help.out.find("--table DIR"), std::string::npos);
}

TEST_F(Tool, DecodeAllPrintsEveryStationsLinesWithTimeAndFrequency) {
    using namespace psk31_signal;
    std::vector<double> band(20 * kSampleRate, 0.0);
    const std::pair<double, std::string> stations[] = {{705.0, "cq cq de dl1abc k\n"},
                                                        {1630.0, "qrz? de g4xyz\n"}};
    for (const auto& [hz, text] : stations) {
        signal_options o;
        o.frequency = hz;
        o.amplitude = 8000;
        o.lead_in = hz > 1000 ? 5 * kSampleRate : 0;
        const std::vector<double> wave =
            modulate(concat(concat(idle_bits(32), text_bits(text)), std::vector<int>(32, 1)), o);
        for (size_t k = 0; k < wave.size(); ++k) band[k] += wave[k];
    }
    add_noise(band, 300.0, 11);
    write_wav(path("band.wav"), 8000, 1, to_pcm(band));
    const Result r = run("decode --all" + kTable + " " + path("band.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    // "mm:ss.t  ffff.f Hz  B  text", the 5 s late station's line after the other's.
    const std::regex line(R"((\d\d):(\d\d\.\d)  ([ \d]{4}\.\d) Hz  B  (.*))");
    std::istringstream out(r.out);
    std::vector<std::string> texts;
    std::string text;
    double seconds[2] = {0, 0}, hz[2] = {0, 0};
    int n = 0;
    while (std::getline(out, text)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        ASSERT_LT(n, 2) << r.out;
        seconds[n] = std::stoi(m[1]) * 60 + std::stod(m[2]);
        hz[n] = std::stod(m[3]);
        texts.push_back(m[4]);
        ++n;
    }
    ASSERT_EQ(n, 2) << r.out;
    EXPECT_EQ(texts[0], "cq cq de dl1abc k");
    EXPECT_NEAR(hz[0], 705.0, 0.5);
    EXPECT_NEAR(seconds[0], 1.0, 0.5);
    EXPECT_EQ(texts[1], "qrz? de g4xyz");
    EXPECT_NEAR(hz[1], 1630.0, 0.5);
    EXPECT_NEAR(seconds[1], 6.0, 0.5);

    // With the dial: the same lines, the audio frequency turned into the radio's.
    const std::regex radio_format(R"((\d\d):(\d\d\.\d)  (\d+\.\d{3}) kHz  ([BQ])  (.*))");
    for (const bool lsb : {false, true}) {
        const Result radio = run("decode --all --dial 14070000" + std::string(lsb ? " --dial-lsb" : "") +
                                 kTable + " " + path("band.wav"));
        ASSERT_EQ(radio.status, 0) << radio.err;
        std::istringstream audio_lines(r.out);
        std::istringstream radio_lines(radio.out);
        std::string audio_line;
        std::string radio_line;
        while (std::getline(audio_lines, audio_line)) {
            ASSERT_TRUE(std::getline(radio_lines, radio_line)) << radio.out;
            std::smatch m;
            std::smatch k;
            ASSERT_TRUE(std::regex_match(audio_line, m, line));
            ASSERT_TRUE(std::regex_match(radio_line, k, radio_format)) << radio_line;
            EXPECT_EQ(k[1].str() + k[2].str() + k[4].str() + k[5].str(),
                      m[1].str() + m[2].str() + "B" + m[4].str());
            // The audio line rounds to 0.1 Hz, the radio line to 1 Hz.
            const double audio_hz = std::stod(m[3]);
            EXPECT_NEAR(std::stod(k[3]) * 1000, 14070000 + (lsb ? -audio_hz : audio_hz), 0.56)
                << radio_line;
        }
        EXPECT_FALSE(std::getline(radio_lines, radio_line)) << radio.out;
    }
}

TEST(TextOutput, ControlBytesFromTheAirNeverReachTheOutput) {
    const std::pair<std::string, std::string> lines[] = {
        {"cq de n0call", "cq de n0call"},
        {"teh\b\bhe", "the"},
        {"\b\bab", "ab"},
        {"a\x01\x07\x0b\x0c\r\t\x1b[2Jb", "a[2Jb"},
        {std::string("x\0y", 3), "xy"},
        {"d\x7f\x80\x9b\x9f" "e", "de"},
        {"caf\xe9 \xa0\xff", "caf\xe9 \xa0\xff"},
        {"a\x1b\bb", "b"},  // the backspace removes the last character kept
    };
    for (const auto& [received, printed] : lines) {
        EXPECT_EQ(printable_line(received), printed) << received;
    }

    const std::pair<unsigned char, std::string> shown[] = {
        {'a', "a"},     {'\n', "\n"},     {'\t', "\t"},   {'\r', ""},      {0x07, "^G"},
        {0x00, "^@"},   {0x08, "^H"},     {0x1b, "<ESC>"}, {0x7f, "^?"},   {0x9b, "<9B>"},
        {0x80, "<80>"}, {0xa0, "\xc2\xa0"}, {0xe9, "\xc3\xa9"}, {0xff, "\xc3\xbf"},
    };
    for (const auto& [byte, text] : shown) {
        std::string out;
        append_visible(out, byte, true);
        EXPECT_EQ(out, text) << int{byte};
    }
    std::string latin1;
    append_visible(latin1, 0xe9, false);
    EXPECT_EQ(latin1, "\xe9");
}

// A station sending terminal controls: `--all` prints a clean line, a file keeps them.
TEST_F(Tool, ControlSequencesFromTheAirStayInAFileAndOutOfAllLines) {
    const std::string sent = "CQ \a de N0CALL \x1b[2J \x1b]0;pwned\a caf\xe9 \x9b" "1m k\n";
    std::ofstream(path("sent.txt"), std::ios::binary) << sent;
    ASSERT_EQ(run("encode" + kTable + " -o " + path("hostile.wav"), path("sent.txt")).status, 0);
    const Result raw = run("decode" + kTable + " " + path("hostile.wav"));
    ASSERT_EQ(raw.status, 0) << raw.err;
    EXPECT_EQ(raw.out, sent);
    const Result all = run("decode --all" + kTable + " " + path("hostile.wav"));
    ASSERT_EQ(all.status, 0) << all.err;
    ASSERT_GT(all.out.size(), 20u) << all.out;
    EXPECT_EQ(all.out.substr(20), "B  CQ  de N0CALL [2J ]0;pwned caf\xe9 1m k\n") << all.out;
}

TEST_F(Tool, DecodeAllReadsAMixedBandEachStationInItsOwnMode) {
    // 8 BPSK and 2 QPSK stations 60 to 500 Hz apart over 25 dB, one drifting 3 Hz in
    // 40 s, in noise through a receiver's 300-2700 Hz filter. Each ends its
    // transmission as transmitters do: idle, then a steady carrier.
    using namespace psk31_signal;
    const double hz[] = {400, 460, 700, 1000, 1060, 1400, 1700, 2000, 2300, 2600};
    const double level[] = {0, -25, -8, -15, -3, -20, -12, -5, -25, -10};
    const auto qpsk = [](size_t i) { return i == 3 || i == 6; };
    std::vector<std::string> sent;
    std::vector<double> band(60 * kSampleRate, 0.0);
    double full_power = 0.0;
    for (size_t i = 0; i < std::size(hz); ++i) {
        const std::string n = std::to_string(i);
        sent.push_back("cq cq de st" + n + "xyz st" + n + "xyz pse k\nst" + n + " de op" + n +
                       " ur rst 579 579, name op" + n + " op" + n + ", qth town" + n + " town" +
                       n + ", rig " + n + "0 watts, hw?\nst" + n + " de op" + n + " tnx qso 73 sk\n");
        signal_options o;
        o.frequency = hz[i];
        o.amplitude = 6000.0 * std::pow(10.0, level[i] / 20);
        o.qpsk = qpsk(i);
        o.start_phase = static_cast<double>(i);
        o.lead_in = static_cast<int>(i * 0.8 * kSampleRate);
        o.drift = i == 7 ? 3.0 / 40 : 0.0;
        const std::vector<double> wave = modulate(
            concat(concat(concat(idle_bits(32), text_bits(sent[i])), idle_bits(32)),
                   std::vector<int>(32, 1)),
            o);
        ASSERT_LE(wave.size(), band.size()) << hz[i];
        for (size_t k = 0; k < wave.size(); ++k) band[k] += wave[k];
        if (i == 0) full_power = mean_power(wave, static_cast<size_t>(o.lead_in));
    }
    std::vector<double> noise(band.size(), 0.0);
    add_noise(noise, noise_sd_for_snr(full_power, 25), 7);
    band_pass(noise, 300, 2700);
    for (size_t k = 0; k < band.size(); ++k) band[k] += noise[k];
    write_wav(path("band.wav"), 8000, 1, to_pcm(band));

    const Result r = run("decode --all" + kTable + " " + path("band.wav"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::regex line(R"(\d\d:\d\d\.\d  ([ \d]{4}\.\d) Hz  ([BQ])  (.*))");
    std::vector<std::string> heard(sent.size());
    std::istringstream out(r.out);
    for (std::string text; std::getline(out, text);) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(text, m, line)) << text;
        const double f = std::stod(m[1]);
        const size_t i = static_cast<size_t>(
            std::min_element(std::begin(hz), std::end(hz),
                             [f](double a, double b) { return std::fabs(a - f) < std::fabs(b - f); }) -
            std::begin(hz));
        EXPECT_LT(std::fabs(hz[i] - f), 5.0) << text;
        EXPECT_EQ(m[2], qpsk(i) ? "Q" : "B") << text;
        heard[i] += m[3].str() + "\n";
    }
    for (size_t i = 0; i < sent.size(); ++i) {
        const size_t errors = edit_distance(sent[i], heard[i]);
        std::printf("%6.1f Hz %s %5.1f dB: CER %.1f%%\n", hz[i], qpsk(i) ? "QPSK" : "BPSK",
                    level[i], 100.0 * errors / sent[i].size());
        EXPECT_LE(errors * 50, sent[i].size()) << hz[i] << " Hz: " << heard[i];
    }
}
