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
#include <string>
#include <thread>
#include <vector>

#include "server/server.h"

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
        const int32_t settings[][3] = {
            {255, 1, 0},      {2, 8, 100000}, {2, 6, 1}, {2, 4, 0}, {2, 5, 0}, {2, 3, 15},
            {255, 8, 100000}, {255, 4, 0},    {255, 5, 0},
        };
        for (const auto& c : settings) ASSERT_EQ(server_control(c[0], c[1], c[2]), 0);
        server_control(3, 7, 128);  // the secondary receiver off, if a test left it on
        const auto deadline = clock_type::now() + std::chrono::seconds(30);
        while (transmitting() == 1) {
            ASSERT_LT(clock_type::now(), deadline) << "an earlier transmission does not end";
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (int32_t channel : {0, 2, 3}) drain(channel);
    }
    void TearDown() override { fs::remove_all(dir); }

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

    ASSERT_EQ(server_control(2, 3, 15), 0);
    ASSERT_EQ(server_control(3, 7, 1), 0);
    ASSERT_EQ(server_control(3, 8, 150000), 0);
    ASSERT_EQ(server_control(3, 3, 15), 0);
    // Silence first, so both receivers see a signal begin.
    std::this_thread::sleep_for(std::chrono::seconds(1));

    // Each file carries the signal at half scale on both channels and the server adds
    // left and right in 16 bits, so two of them at full volume would wrap around.
    const pid_t a = spawn({"paplay", "--volume=45000", main_wav});
    const pid_t b = spawn({"paplay", "--volume=45000", second_wav});
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(wait_for(a), 0);
    EXPECT_EQ(wait_for(b), 0);

    std::string on_main, on_second;
    const auto deadline = clock_type::now() + std::chrono::seconds(10);
    while (clock_type::now() < deadline && (on_main.find(main_text) == std::string::npos ||
                                            on_second.find(second_text) == std::string::npos)) {
        on_main += drain(2);
        on_second += drain(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(on_main.find(main_text), std::string::npos) << on_main;
    EXPECT_NE(on_second.find(second_text), std::string::npos) << on_second;
    EXPECT_EQ(on_main.find(second_text), std::string::npos);
    EXPECT_EQ(drain(0), "") << "nothing was transmitted";
}

TEST_F(PulseServer, TransmitsTextThatDecodesEchoesInOrderAndReturnsToReceive) {
    const std::string text = "vorda on the air de n0call\n";
    ASSERT_EQ(server_control(255, 8, 100000), 0);  // where the main receiver listens
    ASSERT_EQ(server_control(255, 7, 0), 0);
    ASSERT_EQ(server_control(2, 3, 15), 0);

    const std::string recording = (dir / "air.wav").string();
    const pid_t recorder = spawn({"parecord", "--rate=8000", "--channels=2", "--format=s16le",
                                  "--file-format=wav", recording});
    ASSERT_GT(recorder, 0);
    // Recording has begun once silence from the monitor reaches the file.
    const auto started = clock_type::now();
    while (!(fs::exists(recording) && fs::file_size(recording) > 8000)) {
        ASSERT_LT(clock_type::now() - started, std::chrono::seconds(10)) << "parecord records nothing";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    ASSERT_EQ(server_send_text(text.c_str(), 0), static_cast<int32_t>(text.size()));
    ASSERT_EQ(server_control(255, 1, 1), 0);

    std::string echo;
    const auto deadline = clock_type::now() + std::chrono::seconds(10);
    while (echo.empty()) {
        ASSERT_LT(clock_type::now(), deadline) << "no echo";
        echo += drain(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(transmitting(), 1);
    ASSERT_EQ(server_control(255, 1, 0), 0);  // the end, once the transmission has begun

    const auto end_deadline = clock_type::now() + std::chrono::seconds(30);
    while (transmitting() == 1) {
        ASSERT_LT(clock_type::now(), end_deadline) << "the transmission does not end";
        echo += drain(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    echo += drain(0);
    EXPECT_EQ(echo, text);

    // The capture stream kept recording the monitor during the transmission; back in
    // its receive phase the server reads that and the main receiver hears itself.
    std::string heard;
    const auto receive_deadline = clock_type::now() + std::chrono::seconds(20);
    while (clock_type::now() < receive_deadline && heard.find(text) == std::string::npos) {
        heard += drain(2);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(heard.find(text), std::string::npos) << heard;
    EXPECT_EQ(transmitting(), 0);

    kill(recorder, SIGINT);
    EXPECT_EQ(wait_for(recorder), 0);
    const std::string decoded = run_output(std::string(VORDA_MODEM_TOOL) + " decode --table " +
                                           VORDA_SOURCE_DATA_DIR + " --freq 1000 " + recording);
    EXPECT_NE(decoded.find(text), std::string::npos) << decoded;

    // Everything the transmitter made reached the sink before the change-over back:
    // the air carries as much as the same text encoded into a file, fade-out included.
    const std::string reference = encode("reference.wav", text, "1000");
    const size_t sent = sounding_length(left_channel(recording));
    const size_t expected = sounding_length(left_channel(reference));
    EXPECT_NEAR(static_cast<double>(sent), static_cast<double>(expected), 32.0)
        << "samples on the air " << sent << ", in the encoded file " << expected;
}

// Xmit pressed the moment the program has started: the sound server may still be
// running its sink in long blocks from before anybody played into it. Each try is
// a fresh process on the daemon. The first character follows the one-second
// preamble and the 64 ms playback buffer; a stall shows as a second or two more.
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
