// Start-up and the server thread on the program's own record, each in a child process.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "fake_io.h"

namespace {

// The fakes are never destroyed, like the server's own record: the server thread
// goes on using them until the process ends, its exit handlers included.
scripted_audio& exit_audio = *new scripted_audio;

[[noreturn]] void start_server() {
    current_audio = &exit_audio;
    server_instance().audio = &scripted_audio_io;
    server_init(nullptr, VORDA_SOURCE_DATA_DIR);
    for (;;) pause();
}

scripted_audio& keyed_audio = *new scripted_audio;
recorded_ptt& exit_ptt = *new recorded_ptt;

scripted_rig& exit_rig = *new scripted_rig;

// What the line or the rig was last told, after the server's own exit steps have run.
void report_last_rts() {
    const bool cleared = !exit_ptt.changes.empty() && exit_ptt.changes.back().request == TIOCMBIC;
    std::fputs(cleared ? "RTS idle\n" : "RTS keyed\n", stderr);
}
void report_rig() {
    const bool unkeyed = !exit_rig.commands.empty() && !exit_rig.commands.back().transmit;
    std::fprintf(stderr, "rig %s, closed %d\n", unkeyed ? "unkeyed" : "keyed", exit_rig.closes);
}

// Transmits at once on a line of polarity 0 (RTS set to transmit), or on a rig keyed
// by CAT, then exits.
[[noreturn]] void exit_while_transmitting(PttMethod method) {
    server_state& s = server_instance();
    keyed_audio.add_silence(8000 * 60);
    keyed_audio.write_delay_us = 2000;  // paced like a sound server
    keyed_audio.target = &s;
    keyed_audio.request_at_frame = 0;
    keyed_audio.request_value = 2;
    current_audio = &keyed_audio;
    current_ptt = &exit_ptt;
    s.audio = &scripted_audio_io;
    s.ptt = &recorded_ptt_io;
    current_rig = &exit_rig;
    s.rig = &scripted_rig_io;
    server_ptt.method = method;
    std::atexit(method == PttMethod::cat ? report_rig : report_last_rts);  // first in, last run
    server_init("/dev/ttyS9", VORDA_SOURCE_DATA_DIR);
    // The line is keyed before the first block of the transmission is written.
    for (int i = 0; i < 1000 && keyed_audio.writes.load() == 0; ++i) usleep(10000);
    std::fputs(keyed_audio.writes.load() > 0 ? "transmitting\n" : "not transmitting\n", stderr);
    std::exit(0);
}

class ServerExit : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ServerExit, FailedCaptureReadEndsTheProcessWithStatusOne) {
    EXPECT_EXIT(start_server(), ::testing::ExitedWithCode(1),
                "master_handler pa_simple_read error end of script\n");
}

TEST_F(ServerExit, CaptureStreamThatCannotOpenEndsStartUp) {
    exit_audio.fail_capture_open = true;
    EXPECT_EXIT(start_server(), ::testing::ExitedWithCode(1),
                "^init_audio sprx error - 42 scripted failure\n$");
}

TEST_F(ServerExit, PlaybackStreamThatCannotOpenEndsStartUp) {
    exit_audio.fail_playback_open = true;
    EXPECT_EXIT(start_server(), ::testing::ExitedWithCode(1),
                "^init_audio sptx error - 42 scripted failure\n$");
}

// Quitting (or a signal, or an error dialog's OK) in the middle of a transmission
// must not leave the radio keyed.
TEST_F(ServerExit, ExitReleasesTheLineOrTheRigOfARunningTransmission) {
    EXPECT_EXIT(exit_while_transmitting(PttMethod::rts), ::testing::ExitedWithCode(0),
                "transmitting\nRTS idle\n$");
    EXPECT_EXIT(exit_while_transmitting(PttMethod::cat), ::testing::ExitedWithCode(0),
                "transmitting\nrig unkeyed, closed 1\n$");
}

}  // namespace
