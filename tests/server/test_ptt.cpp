#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <string>

#include "fake_io.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct parse_case {
    const char* device;
    const char* path;
    int32_t polarity;
};

class PttSuffix : public ::testing::TestWithParam<parse_case> {};

TEST_P(PttSuffix, CutsTheSuffixAndSetsThePolarity) {
    ptt_line line;
    ptt_parse(GetParam().device, line);
    EXPECT_EQ(line.path, GetParam().path);
    EXPECT_EQ(line.polarity, GetParam().polarity);
    EXPECT_EQ(line.fd, -1);
}

INSTANTIATE_TEST_SUITE_P(Strings, PttSuffix,
                         ::testing::Values(parse_case{"/dev/ttyS0", "/dev/ttyS0", 0},
                                           parse_case{"dev,1", "dev", 1},
                                           parse_case{"/dev/ttyUSB0,0", "/dev/ttyUSB0", 0},
                                           parse_case{"a,0", "a", 0},
                                           parse_case{"a,z", "a", 1},
                                           parse_case{",1", ",1", 0},
                                           parse_case{"ab,", "ab,", 0},
                                           parse_case{"", "", 0}),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(PttOpen, OpensForReadingAndWritingWithoutBecomingTheControllingTerminal) {
    recorded_ptt ptt;
    current_ptt = &ptt;
    ptt_line line;
    ptt_parse("/dev/ttyS1", line);
    ptt_open(recorded_ptt_io, line);
    ASSERT_EQ(ptt.open_flags.size(), 1u);
    EXPECT_EQ(ptt.open_flags[0] & O_ACCMODE, O_RDWR);
    EXPECT_NE(ptt.open_flags[0] & O_NOCTTY, 0);
    EXPECT_EQ(line.fd, 17);
}

TEST(PttOpen, FailedOpenIsReportedAndLeavesNoDescriptor) {
    recorded_ptt ptt;
    ptt.open_errno = ENOENT;
    current_ptt = &ptt;
    ptt_line line;
    ptt_parse("/dev/nothere,1", line);
    CaptureStderr();
    ptt_open(recorded_ptt_io, line);
    EXPECT_EQ(GetCapturedStderr(), "Cannot open PTT device /dev/nothere: No such file or directory\n");
    EXPECT_EQ(line.fd, -1);
    EXPECT_TRUE(ptt.changes.empty());
    ptt_key(recorded_ptt_io, line, true);
    EXPECT_TRUE(ptt.changes.empty());
}

TEST(PttOpen, DeviceRefusingItsFirstRtsChangeIsClosedAndNeverUsedAgain) {
    recorded_ptt ptt;
    ptt.first_ioctl_errno = ENOTTY;
    current_ptt = &ptt;
    ptt_line line;
    ptt_parse("/dev/null", line);
    CaptureStderr();
    ptt_open(recorded_ptt_io, line);
    EXPECT_EQ(GetCapturedStderr(),
              "Cannot open PTT device /dev/null: Inappropriate ioctl for device\n");
    EXPECT_EQ(line.fd, -1);
    EXPECT_EQ(ptt.closed, std::vector<int>{17});
    ptt_key(recorded_ptt_io, line, true);
    ptt_key(recorded_ptt_io, line, false);
    EXPECT_EQ(ptt.changes.size(), 1u);
}

TEST(PttOpen, RealSystemCallsOnANonTerminalFailTheSameWay) {
    ptt_line line;
    ptt_parse("/dev/null,0", line);
    CaptureStderr();
    ptt_open(posix_ptt_io, line);
    EXPECT_EQ(GetCapturedStderr(),
              "Cannot open PTT device /dev/null: Inappropriate ioctl for device\n");
    EXPECT_EQ(line.fd, -1);
}

}  // namespace
