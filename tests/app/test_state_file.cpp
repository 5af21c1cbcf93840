// The state file: reading and writing the nine values, and iniProc's handling
// of a first start, an existing file and bad content.
#include <gtest/gtest.h>
#include <pwd.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>

#include "app/state_file.h"

namespace fs = std::filesystem;

namespace {

StateValues parse(const std::string& text) {
    std::FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    StateValues values = readStateValues(in);
    std::fclose(in);
    return values;
}

std::vector<int> flatten(const StateValues& v) {
    std::vector<int> out;
    for (const WindowPosition& p : v.decoderPos) {
        out.push_back(p.x);
        out.push_back(p.y);
    }
    out.push_back(v.reserved);
    return out;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A temporary HOME and the installed data directory of the source tree.
class IniProcTest : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/vorda-home-XXXXXX";
        home = mkdtemp(templ);
        savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", home.c_str(), 1);
        dataDirectory = VORDA_SOURCE_DATA_DIR;
        stateValues = StateValues{};
        iniReport.clear();
    }
    void TearDown() override {
        setenv("HOME", savedHome.c_str(), 1);
        fs::remove_all(home);
    }
    fs::path stateFile() const { return home / ".vordaDir" / ".vorda.dat"; }

    fs::path home;
    std::string savedHome;
};

}  // namespace

TEST(StateFileFormat, ReadsNineValuesWithNegativeAndLongNumbers) {
    const StateValues v = parse("12\n-34\n-12345\n32000\n0\n7\n100\n200\n5\n");
    EXPECT_EQ(flatten(v), (std::vector<int>{12, -34, -12345, 32000, 0, 7, 100, 200, 5}));
}

TEST(StateFileFormat, MissingLinesTakeTheirDefaults) {
    EXPECT_EQ(flatten(parse("1\n2\n3\n")), (std::vector<int>{1, 2, 3, 50, 50, 50, 50, 50, 1}));
    EXPECT_EQ(flatten(parse("")), (std::vector<int>{50, 50, 50, 50, 50, 50, 50, 50, 1}));
    // A last line without its newline still counts.
    EXPECT_EQ(flatten(parse("1\n2\n3\n4\n5\n6\n7\n8\n9")),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(StateFileFormat, GarbageAndOverlongLinesDoNotShiftLaterValues) {
    // Each line is one value however long it is: a long line of digits is limited
    // to the field's range, text reads as 0, and the next line is the next value.
    const std::string longLine(200, '9');
    const StateValues v =
        parse("abc\n" + longLine + "\n-" + longLine + "\n   42   \n\n17xyz\n-5\n6\n" + longLine +
              "\n");
    EXPECT_EQ(flatten(v), (std::vector<int>{0, 32767, -32768, 42, 0, 17, -5, 6, 2147483647}));
}

TEST_F(IniProcTest, FirstStartCreatesAndFillsTheDirectory) {
    ASSERT_EQ(iniProc('r'), 1);
    EXPECT_EQ(iniReport, "no " + stateFile().string() + " file yet. I'll fix that.\n");
    EXPECT_EQ(flatten(stateValues), (std::vector<int>{50, 50, 50, 50, 50, 50, 50, 50, 1}));
    EXPECT_FALSE(fs::exists(stateFile()));

    const fs::path dir = home / ".vordaDir";
    struct stat info {};
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    int copied = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(VORDA_SOURCE_DATA_DIR) / "vordaDir")) {
        const fs::path copy = dir / entry.path().filename();
        ASSERT_TRUE(fs::exists(copy)) << copy;
        EXPECT_EQ(readFile(copy), readFile(entry.path()));
        ++copied;
    }
    EXPECT_GE(copied, 3);
}

TEST_F(IniProcTest, WriteThenReadRoundTrip) {
    stateValues.decoderPos[1] = {-12345, 640};
    stateValues.reserved = 3;
    ASSERT_EQ(iniProc('w'), 1);  // creates the directory first
    EXPECT_EQ(readFile(stateFile()), "0\n0\n-12345\n640\n0\n0\n0\n0\n3\n");

    stateValues = StateValues{};
    ASSERT_EQ(iniProc('r'), 1);
    EXPECT_EQ(iniReport, "Reading " + stateFile().string() + "\n");
    EXPECT_EQ(flatten(stateValues), (std::vector<int>{0, 0, -12345, 640, 0, 0, 0, 0, 3}));
}

TEST_F(IniProcTest, ShortFileAndIllegalMode) {
    fs::create_directory(home / ".vordaDir");
    std::ofstream(stateFile()) << "10\n20\n30\n";
    ASSERT_EQ(iniProc('r'), 1);
    EXPECT_EQ(flatten(stateValues), (std::vector<int>{10, 20, 30, 50, 50, 50, 50, 50, 1}));

    testing::internal::CaptureStderr();
    EXPECT_EQ(iniProc('x'), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "illegal call in iniProc\n");
}

TEST_F(IniProcTest, UnwritableDirectoryFailsTheWrite) {
    // A directory where the state file should be cannot be opened for writing.
    fs::create_directories(stateFile());
    testing::internal::CaptureStderr();
    EXPECT_EQ(iniProc('w'), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Open " + stateFile().string() + " for write failed\n");
}

TEST_F(IniProcTest, UnsetOrEmptyHomeFallsBackToThePasswordDatabase) {
    // An empty HOME once made the program create /.vordaDir at the filesystem root.
    const passwd* pw = getpwuid(getuid());
    ASSERT_NE(pw, nullptr);
    const std::string own = pw->pw_dir;
    EXPECT_EQ(homeDirectory(), home.string());
    setenv("HOME", "", 1);
    EXPECT_EQ(homeDirectory(), own);
    EXPECT_EQ(qsoDirectory(), own + "/.vordaDir");
    unsetenv("HOME");
    EXPECT_EQ(homeDirectory(), own);
}

TEST_F(IniProcTest, SpecialFilesAreRefusedWithoutBlocking) {
    // A FIFO once blocked start-up (and quitting) forever, and /dev/zero grew the
    // memory without bound before any window appeared.
    fs::create_directory(home / ".vordaDir");
    ASSERT_EQ(mkfifo(stateFile().c_str(), 0600), 0);
    for (int mode : {'r', 'w'}) {
        // Run where a regression cannot hang the suite: a writer unblocks it.
        auto call = std::async(std::launch::async, [mode] {
            testing::internal::CaptureStderr();
            const int result = iniProc(mode);
            return std::make_pair(result, testing::internal::GetCapturedStderr());
        });
        if (call.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "iniProc('" << char(mode) << "') blocks on a FIFO";
            const int fd = open(stateFile().c_str(), O_RDWR | O_NONBLOCK);
            call.wait();
            close(fd);
            continue;
        }
        const auto [result, messages] = call.get();
        EXPECT_EQ(result, 0);
        EXPECT_NE(messages.find(stateFile().string() + " is not a regular file"), std::string::npos)
            << messages;
    }

    fs::remove(stateFile());
    fs::create_symlink("/dev/zero", stateFile());
    stateValues.reserved = 9;
    testing::internal::CaptureStderr();
    EXPECT_EQ(iniProc('r'), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("open " + stateFile().string() +
                                                          " for read failed"),
              std::string::npos);
    EXPECT_EQ(stateValues.reserved, 9);
}

TEST_F(IniProcTest, HugeFileIsReadOnlyAsFarAsAStateFileGoes) {
    // One endless line must not be collected whole: its value counts, and reading
    // stops long before the rest, which takes the defaults.
    fs::create_directory(home / ".vordaDir");
    {
        std::ofstream out(stateFile());
        out << "7\n" << std::string(1 << 20, '9') << "\n8\n9\n";
    }
    ASSERT_EQ(iniProc('r'), 1);
    EXPECT_EQ(flatten(stateValues), (std::vector<int>{7, 32767, 50, 50, 50, 50, 50, 50, 1}));
}

TEST_F(IniProcTest, AFailedWriteIsReportedNotTakenForSuccess) {
    // No room for the file (a full disk, here a file size limit of 0): the write
    // fails late, at the flush, and must not count as done.
    fs::create_directory(home / ".vordaDir");
    int messages[2];
    ASSERT_EQ(pipe(messages), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Standard error to the pipe, which no file size limit touches.
        dup2(messages[1], 2);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
        _exit(iniProc('w') == 0 ? 3 : 4);
    }
    close(messages[1]);
    std::string said;
    char block[256];
    for (ssize_t n; (n = read(messages[0], block, sizeof block)) > 0;) said.append(block, n);
    close(messages[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << said;
    EXPECT_NE(said.find("vorda: writing " + stateFile().string() + " failed: File too large"),
              std::string::npos)
        << said;
}
