// Start-up and the server thread on the program's own record, each in a child process.
#include <gtest/gtest.h>
#include <unistd.h>

#include "fake_io.h"

namespace {

scripted_audio exit_audio;

[[noreturn]] void start_server() {
    current_audio = &exit_audio;
    server_instance().audio = &scripted_audio_io;
    server_init(nullptr, VORDA_SOURCE_DATA_DIR);
    for (;;) pause();
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

}  // namespace
