// The real server against a real PulseAudio daemon (tests/with-services.sh starts one
// whose default sink is a null sink and whose default source is that sink's monitor).
// The server captures from the monitor too, so whatever is played into the sink, the
// server's own transmissions included, comes back to its receivers.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/server.h"
#include "server/server_state.h"

extern char** environ;

namespace {

using clock_type = std::chrono::steady_clock;
namespace fs = std::filesystem;

pid_t spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int run(const std::vector<std::string>& args) { return wait_for(spawn(args)); }

std::string run_output(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

std::string drain(int32_t channel) {
    std::string text;
    char piece[256];
    for (int32_t n; (n = server_read(channel, piece, sizeof piece)) > 0;) text.append(piece, n);
    return text;
}

int32_t transmitting() {
    ServerStatus status{};
    EXPECT_EQ(server_get_status(255, &status, sizeof status), 0);
    return status.transmitting;
}

// Samples of the first channel of a 16-bit stereo WAV file, from its data chunk.
// Polls `done` until it holds; false when SECONDS passed first. The server has no
// way to tell a waiting test, so the test looks every few milliseconds.
bool poll_until(const std::function<bool()>& done, int seconds) {
    const auto deadline = clock_type::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (clock_type::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<int16_t> left_channel(const std::string& path) {
    std::string bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, f)) bytes.append(buffer, n);
        std::fclose(f);
    }
    const size_t data = bytes.find("data");
    std::vector<int16_t> left;
    for (size_t at = data == std::string::npos ? bytes.size() : data + 8; at + 4 <= bytes.size();
         at += 4) {
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) |
                                            static_cast<uint8_t>(bytes[at + 1]) << 8));
    }
    return left;
}

// A 16-bit stereo WAV file at 8000 frames per second, the same samples left and right.
bool write_wav(const std::string& path, const std::vector<int16_t>& samples) {
    const auto word = [](std::string& out, uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
    };
    const auto data_bytes = static_cast<uint32_t>(4 * samples.size());
    std::string bytes = "RIFF";
    word(bytes, 36 + data_bytes, 4);
    bytes += "WAVEfmt ";
    word(bytes, 16, 4);
    word(bytes, 1, 2);         // PCM
    word(bytes, 2, 2);         // channels
    word(bytes, 8000, 4);      // frames per second
    word(bytes, 8000 * 4, 4);  // bytes per second
    word(bytes, 4, 2);         // bytes per frame
    word(bytes, 16, 2);        // bits per sample
    bytes += "data";
    word(bytes, data_bytes, 4);
    for (int16_t sample : samples) {
        word(bytes, static_cast<uint16_t>(sample), 2);
        word(bytes, static_cast<uint16_t>(sample), 2);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

// From the first to the last sample that is not (nearly) silent.
size_t sounding_length(const std::vector<int16_t>& samples) {
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(int{samples[i]}) > 64) {
            first = std::min(first, i);
            last = i;
        }
    }
    return first < samples.size() ? last - first + 1 : 0;
}

// The longest run of (nearly) silent samples between the first and the last sounding
// one: a gap in the air. The carrier crosses zero for a sample or two at a time.
size_t longest_gap(const std::vector<int16_t>& samples) {
    size_t longest = 0, run = 0;
    bool sounded = false;
    for (int16_t sample : samples) {
        if (std::abs(int{sample}) > 64) {
            if (sounded) longest = std::max(longest, run);
            sounded = true;
            run = 0;
        } else {
            ++run;
        }
    }
    return longest;
}

// How many samples, counted back from the last sounding one of each, the recording
// has exactly as the reference has them.
size_t matching_tail(const std::vector<int16_t>& air, const std::vector<int16_t>& reference) {
    const auto last_sounding = [](const std::vector<int16_t>& samples) {
        size_t end = samples.size();
        while (end > 0 && std::abs(int{samples[end - 1]}) <= 64) --end;
        return end;
    };
    size_t a = last_sounding(air), r = last_sounding(reference), n = 0;
    while (a > 0 && r > 0 && air[--a] == reference[--r]) ++n;
    return n;
}

// The transmission in a recording of the monitor against the same text encoded into
// a file. A starting stream makes the sink take back what it had rendered ahead (at
// most its 64 ms latency) to play the stream at once, and the monitor keeps what it
// already passed on, so up to 512 frames of the start may be missing from the
// recording. From there to the end of the fade-out the air must be the encoded
// signal sample for sample: a gap or a lost block anywhere breaks the match.
void expect_whole_on_the_air(const std::string& recording, const std::string& reference) {
    const std::vector<int16_t> air = left_channel(recording);
    const std::vector<int16_t> encoded = left_channel(reference);
    const size_t expected = sounding_length(encoded);
    ASSERT_GT(expected, 1000u);
    EXPECT_LT(longest_gap(air), 16u) << "a gap in the air";
    EXPECT_GE(matching_tail(air, encoded) + 512, expected)
        << "the air matches the encoded signal for the last " << matching_tail(air, encoded)
        << " of its " << expected << " samples";
    EXPECT_LE(sounding_length(air), expected) << "more on the air than was encoded";
}

class PulseServer : public ::testing::Test {
protected:
    fs::path dir;

    void SetUp() override {
        ASSERT_EQ(run({"pactl", "info"}), 0)
            << "no PulseAudio daemon: run the tests through tests/with-services.sh";
        char pattern[] = "/tmp/vorda-server-test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        // One server per process, as in the program: a second start would run a
        // second server thread on the same state. Each test then sets what it relies
        // on itself, whatever an earlier test (or repetition) left.
        static const bool started = server_init(nullptr, VORDA_SOURCE_DATA_DIR) == 1;
        ASSERT_TRUE(started);
        ASSERT_EQ(server_request(SERVER_TX_END), 0);
        ASSERT_EQ(server_set_frequency(2, 100000), 0);
        ASSERT_EQ(server_set_afc(2, 1), 0);
        ASSERT_EQ(server_set_qpsk(2, 0), 0);
        ASSERT_EQ(server_set_lsb(2, 0), 0);
        ASSERT_EQ(server_set_squelch(2, 15), 0);
        ASSERT_EQ(server_set_frequency(SERVER_TX_CHANNEL, 100000), 0);
        ASSERT_EQ(server_set_qpsk(SERVER_TX_CHANNEL, 0), 0);
        ASSERT_EQ(server_set_lsb(SERVER_TX_CHANNEL, 0), 0);
        server_disable_receiver(3);  // the secondary receiver off, if a test left it on
        ASSERT_TRUE(poll_until([] { return transmitting() != 1; }, 30))
            << "an earlier transmission does not end";
        for (int32_t channel : {0, 2, 3}) drain(channel);
    }
    void TearDown() override { fs::remove_all(dir); }

    // parecord on the monitor, once silence from it reaches the file; -1 when not.
    static pid_t start_recording(const std::string& path) {
        const pid_t recorder = spawn({"parecord", "--latency-msec=20", "--rate=8000", "--channels=2",
                                      "--format=s16le", "--file-format=wav", path});
        if (recorder <= 0) return -1;
        if (!poll_until([&] { return fs::exists(path) && fs::file_size(path) > 8000; }, 10)) {
            kill(recorder, SIGKILL);
            wait_for(recorder);
            return -1;
        }
        return recorder;
    }

    // Recv, then what is echoed until the transmission has ended.
    static std::string end_transmission() {
        EXPECT_EQ(server_request(SERVER_TX_END), 0);
        std::string echo;
        EXPECT_TRUE(poll_until([&] { echo += drain(0); return transmitting() != 1; }, 30))
            << "the transmission does not end";
        return echo + drain(0);
    }

    std::string encode(const std::string& name, const std::string& text, const char* freq) {
        const std::string path = (dir / name).string();
        EXPECT_EQ(run({VORDA_MODEM_TOOL, "encode", "--table", VORDA_SOURCE_DATA_DIR, "--freq", freq,
                       "-o", path, text}),
                  0);
        return path;
    }
};

TEST_F(PulseServer, DecodesTheMainAndASecondarySignalPlayedAtTheSameTime) {
    const std::string main_text = "cq cq de vorda main channel";
    const std::string second_text = "second signal 73";
    const std::string main_wav = encode("main.wav", main_text, "1000");
    const std::string second_wav = encode("second.wav", second_text, "1500");

    ASSERT_EQ(server_set_squelch(2, 15), 0);
    ASSERT_EQ(server_enable_receiver(3), 0);
    ASSERT_EQ(server_set_frequency(3, 150000), 0);
    ASSERT_EQ(server_set_squelch(3, 15), 0);
    // Both signals in one file, so they begin together. Played by two paplay
    // processes, one began up to a second late on a busy machine, and its first
    // samples were cut (the sink takes back what it rendered ahead for a starting
    // stream, the monitor keeps what it already passed on): a click that cost the
    // other signal a character. Each file carries its signal at half scale on both
    // channels and the server adds left and right, so each goes in at a third.
    const std::vector<int16_t> main_signal = left_channel(main_wav);
    const std::vector<int16_t> second_signal = left_channel(second_wav);
    // A second of silence first, so both receivers see a signal begin.
    const size_t lead = 8000;
    std::vector<int16_t> both(lead + std::max(main_signal.size(), second_signal.size()), 0);
    for (size_t i = 0; i + lead < both.size(); ++i) {
        const int sum = (i < main_signal.size() ? main_signal[i] : 0) +
                        (i < second_signal.size() ? second_signal[i] : 0);
        both[lead + i] = static_cast<int16_t>(sum / 3);
    }
    const std::string both_wav = (dir / "both.wav").string();
    ASSERT_TRUE(write_wav(both_wav, both));

    EXPECT_EQ(run({"paplay", both_wav}), 0);

    std::string on_main, on_second;
    poll_until(
        [&] {
            on_main += drain(2);
            on_second += drain(3);
            return on_main.find(main_text) != std::string::npos &&
                   on_second.find(second_text) != std::string::npos;
        },
        10);
    EXPECT_NE(on_main.find(main_text), std::string::npos) << on_main;
    EXPECT_NE(on_second.find(second_text), std::string::npos) << on_second;
    EXPECT_EQ(on_main.find(second_text), std::string::npos);
    EXPECT_EQ(drain(0), "") << "nothing was transmitted";
}

TEST_F(PulseServer, TransmitsTextThatDecodesEchoesInOrderAndReturnsToReceive) {
    const std::string text = "vorda on the air de n0call\n";
    ASSERT_EQ(server_set_frequency(SERVER_TX_CHANNEL, 100000), 0);  // where the main receiver listens
    ASSERT_EQ(server_set_tx_mode(SERVER_TX_MODE_PSK), 0);
    ASSERT_EQ(server_set_squelch(2, 15), 0);

    const std::string recording = (dir / "air.wav").string();
    const pid_t recorder = start_recording(recording);
    ASSERT_GT(recorder, 0) << "parecord records nothing";

    ASSERT_EQ(server_send_text(text.c_str(), 0), static_cast<int32_t>(text.size()));
    ASSERT_EQ(server_request(SERVER_TX_WHEN_CLEAR), 0);

    std::string echo;
    ASSERT_TRUE(poll_until([&] { echo += drain(0); return !echo.empty(); }, 10)) << "no echo";
    EXPECT_EQ(transmitting(), 1);
    echo += end_transmission();  // the end, once the transmission has begun
    EXPECT_EQ(echo, text);

    // The capture stream kept recording the monitor during the transmission; back in
    // its receive phase the server reads that and the main receiver hears itself.
    std::string heard;
    poll_until([&] { heard += drain(2); return heard.find(text) != std::string::npos; }, 20);
    ServerStatus main_receiver{};
    EXPECT_EQ(server_get_status(2, &main_receiver, sizeof main_receiver), 0);
    EXPECT_NE(heard.find(text), std::string::npos)
        << heard << "\nthe main receiver at " << main_receiver.freq / 100.0 << " Hz";
    EXPECT_EQ(transmitting(), 0);

    kill(recorder, SIGINT);
    EXPECT_EQ(wait_for(recorder), 0);
    const std::string decoded = run_output(std::string(VORDA_MODEM_TOOL) + " decode --table " +
                                           VORDA_SOURCE_DATA_DIR + " --freq 1000 " + recording);
    EXPECT_NE(decoded.find(text), std::string::npos) << decoded;

    // Everything the transmitter made reached the sink before the change-over back,
    // without a break: the same as the text encoded into a file, fade-out included.
    expect_whole_on_the_air(recording, encode("reference.wav", text, "1000"));
}

// A busy machine (or the main thread holding the transmitter lock) keeps the server
// thread from writing for a while; the playback stream holds enough audio that the
// other station hears no break in the signal.
TEST_F(PulseServer, TransmissionRidesOutTheServerThreadHeldUpMidway) {
    const std::string text = "held up midway but still on the air\n";
    ASSERT_EQ(server_set_frequency(SERVER_TX_CHANNEL, 100000), 0);
    ASSERT_EQ(server_set_tx_mode(SERVER_TX_MODE_PSK), 0);

    const std::string recording = (dir / "air.wav").string();
    const pid_t recorder = start_recording(recording);
    ASSERT_GT(recorder, 0) << "parecord records nothing";

    ASSERT_EQ(server_send_text(text.c_str(), 0), static_cast<int32_t>(text.size()));
    ASSERT_EQ(server_request(SERVER_TX_NOW), 0);
    std::string echo;
    ASSERT_TRUE(poll_until([&] { echo += drain(0); return echo.size() >= 4; }, 10))
        << "no echo: " << echo;
    {
        // The hold-up itself: 80 ms in which the server thread cannot make audio.
        std::lock_guard<std::mutex> hold(server_instance().transmitter_lock);
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
    }
    echo += end_transmission();
    EXPECT_EQ(echo, text);

    kill(recorder, SIGINT);
    EXPECT_EQ(wait_for(recorder), 0);
    expect_whole_on_the_air(recording, encode("reference.wav", text, "1000"));
}

// Xmit pressed the moment the program has started: the sound server may still be
// running its sink in long blocks from before anybody played into it. Each try is
// a fresh process on the daemon. The first character follows the one-second
// preamble, less what the playback buffer holds; a stall shows as a second or two more.
TEST(FirstTransmission, IsOnTheAirAtOnceHoweverSoonAfterStartUp) {
    ASSERT_EQ(run({"pactl", "info"}), 0)
        << "no PulseAudio daemon: run the tests through tests/with-services.sh";
    for (int attempt = 0; attempt < 6; ++attempt) {
        const std::string out = run_output(std::string(VORDA_FIRST_TRANSMISSION_PROBE) + " " +
                                           VORDA_SOURCE_DATA_DIR + "; echo status $?");
        long ms = -1;
        int status = -1;
        ASSERT_EQ(std::sscanf(out.c_str(), "%ld status %d", &ms, &status), 2) << out;
        EXPECT_EQ(status, 0) << out;
        EXPECT_LT(ms, 1500) << "attempt " << attempt << ": the first character took " << ms
                            << " ms after the request";
    }
}

}  // namespace
