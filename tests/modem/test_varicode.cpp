// The code table file and the Varicode framer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "modem/varicode.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A scratch directory per test, removed afterwards.
struct TempDir {
    fs::path path;
    TempDir() {
        char templ[] = "/tmp/vorda-varicode-XXXXXX";
        path = mkdtemp(templ);
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name) << text;
    }
};

// A table whose line k holds `codes[k]` (default: the installed table).
std::string table_text(const std::vector<std::string>& codes) {
    std::string text;
    for (const auto& c : codes) text += c + "\n";
    return text;
}

int feed(varicode_framer& f, const std::string& bits) {
    int last = NO_CHAR;
    for (char b : bits) {
        int c = varicode_receive_bit(f, b == '1' ? 1 : 0);
        if (c != NO_CHAR) last = c;
    }
    return last;
}

const std::string kInstalled = std::string(VORDA_SOURCE_DATA_DIR) + "/psk31.cod";

}  // namespace

TEST(CodeTableFile, InstalledTableFollowsTheRules) {
    const auto lines = read_lines(kInstalled);
    ASSERT_EQ(lines.size(), 256u);
    std::set<std::string> seen;
    for (size_t k = 0; k < lines.size(); ++k) {
        const auto& c = lines[k];
        SCOPED_TRACE("byte value " + std::to_string(k) + ": " + c);
        ASSERT_FALSE(c.empty());
        EXPECT_LE(c.size(), 12u);
        EXPECT_EQ(c.front(), '1');
        EXPECT_EQ(c.back(), '1');
        EXPECT_EQ(c.find("00"), std::string::npos);
        EXPECT_EQ(c.find_first_not_of("01"), std::string::npos);
        EXPECT_TRUE(seen.insert(c).second) << "duplicate code";
    }
}

TEST(CodeTableFile, InstalledTableCarriesTheStandardAlphabet) {
    const auto lines = read_lines(kInstalled);
    ASSERT_EQ(lines.size(), 256u);
    const std::vector<std::pair<int, std::string>> sample = {
        {' ', "1"},       {'e', "11"},         {'t', "101"},       {'o', "111"},
        {'a', "1011"},    {'\n', "11101"},     {'\r', "11111"},    {'E', "1110111"},
        {'0', "10110111"}, {'9', "110110111"}, {'.', "1010111"},   {'?', "1010101111"},
        {0, "1010101011"}, {127, "1110110101"}, {'z', "111010101"}, {'Q', "111011101"}};
    for (const auto& [byte, code] : sample) EXPECT_EQ(lines[byte], code) << "byte " << byte;
}

class CodeTable : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_code_table(VORDA_SOURCE_DATA_DIR); }
};

TEST_F(CodeTable, SendWordsCarryBitsGapAndMarker) {
    EXPECT_EQ(varicode_code(' '), 9);          // 1, gap 00, marker
    EXPECT_EQ(varicode_code('e'), 19);         // 11 -> 0b10011
    EXPECT_EQ(varicode_code('a'), 64 + 13);    // 1011 read from bit 0
    EXPECT_EQ(varicode_code('t'), 32 + 5);
}

TEST_F(CodeTable, EveryByteValueRoundTripsThroughTheFramer) {
    varicode_framer f;
    for (int k = 0; k < 256; ++k) {
        const int32_t word = varicode_code(k);
        int got = NO_CHAR;
        // Send the bits below the end marker, lowest first.
        for (int j = 0; (word >> (j + 1)) != 0; ++j) {
            int c = varicode_receive_bit(f, (word >> j) & 1);
            if (c != NO_CHAR) got = c;
        }
        EXPECT_EQ(got, k == 13 ? 10 : k) << "byte " << k;
        EXPECT_EQ(f.shift_register, 0);
    }
}

TEST_F(CodeTable, FramerEdgeCases) {
    varicode_framer f;
    EXPECT_EQ(feed(f, "0000000000000000000000"), NO_CHAR);
    EXPECT_EQ(feed(f, "100"), ' ');
    EXPECT_EQ(feed(f, "1100"), 'e');
    EXPECT_EQ(feed(f, "1111100"), '\n');  // carriage return arrives as line feed
    // Thirteen 1 bits without a gap overflow into a single '~', then all is clear.
    EXPECT_EQ(feed(f, "111111111111100"), '~');
    EXPECT_EQ(f.overflow, 0);
    EXPECT_EQ(f.shift_register, 0);
    EXPECT_EQ(feed(f, "101100"), 'a');
}

TEST(CodeTableLoading, LineParsingAndPatternIndex) {
    TempDir dir;
    std::vector<std::string> codes(256, "111111111111");
    codes[65] = "1";
    codes[66] = "1011  ";    // trailing spaces
    codes[67] = "1101\r";    // carriage return before the newline
    codes[68] = "1x1";       // any other character inside the span is a 0 bit
    dir.write("psk31.cod", table_text(codes));
    load_code_table(dir.path.c_str());
    EXPECT_EQ(varicode_code(65), 9);
    EXPECT_EQ(varicode_code(66), 77);
    EXPECT_EQ(varicode_code(67), 64 + 11);
    EXPECT_EQ(varicode_code(68), 32 + 5);
    varicode_framer f;
    EXPECT_EQ(feed(f, "100"), 65);     // index 0
    EXPECT_EQ(feed(f, "101100"), 66);  // index 6
    EXPECT_EQ(feed(f, "11011100"), 248) << "a pattern no line produced";
    load_code_table(VORDA_SOURCE_DATA_DIR);
}

TEST(CodeTableLoading, SearchOrderAndTrailingSlash) {
    TempDir data, home, cwd;
    std::vector<std::string> one(256), two(256), three(256);
    auto lines = read_lines(kInstalled);
    one = two = three = lines;
    std::swap(two['e'], two['t']);
    std::swap(three['e'], three['o']);
    home.write("psk31.cod", table_text(two));
    cwd.write("psk31.cod", table_text(three));
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home ? old_home : "";
    const fs::path saved_cwd = fs::current_path();
    setenv("HOME", home.path.c_str(), 1);
    fs::current_path(cwd.path);

    // The data directory holds nothing: HOME's table wins.
    load_code_table(data.path.c_str());
    EXPECT_EQ(varicode_code('t'), 19);
    // A trailing slash is not doubled.
    data.write("psk31.cod", table_text(one));
    load_code_table((data.path.string() + "/").c_str());
    EXPECT_EQ(varicode_code('e'), 19);
    // No HOME table: the current directory's.
    fs::remove(home.path / "psk31.cod");
    load_code_table("/nonexistent-vorda-dir");
    EXPECT_EQ(varicode_code('o'), 19);

    fs::current_path(saved_cwd);
    if (old_home) setenv("HOME", saved_home.c_str(), 1);
    load_code_table(VORDA_SOURCE_DATA_DIR);
}

TEST(CodeTableLoadingDeathTest, MissingOrMalformedTablesEndTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string d = dir.path.string();
    auto load_with_home = [&](const char* home) {
        setenv("HOME", home, 1);
        fs::current_path(d);
        load_code_table(d.c_str());
        std::exit(0);
    };
    EXPECT_EXIT(load_with_home("/nonexistent"), ::testing::ExitedWithCode(1),
                "Can't open code table file 'psk31.cod'\n");

    dir.write("psk31.cod", "");
    EXPECT_EXIT(load_with_home("/nonexistent"), ::testing::ExitedWithCode(1),
                "Bad code table file '/.*/psk31.cod': fewer than 256 lines at line 1\n");

    auto lines = read_lines(kInstalled);
    lines.resize(200);
    dir.write("psk31.cod", table_text(lines));
    EXPECT_EXIT(load_with_home("/nonexistent"), ::testing::ExitedWithCode(1),
                "fewer than 256 lines at line 201");

    lines = read_lines(kInstalled);
    lines[40] = "1111111111111";  // 13 bits: would index past the receive table
    dir.write("psk31.cod", table_text(lines));
    EXPECT_EXIT(load_with_home("/nonexistent"), ::testing::ExitedWithCode(1),
                "longer than 12 bits at line 41");
}

TEST(CodeTableLoading, OverlongDirectoriesAreCutNotOverrun) {
    // A directory of 1000 characters or more is cut to its first 1000: no table is
    // found there, and the next candidate (the current directory's) is used.
    TempDir cwd;
    auto lines = read_lines(kInstalled);
    std::swap(lines['e'], lines['a']);
    cwd.write("psk31.cod", table_text(lines));
    const fs::path saved_cwd = fs::current_path();
    const char* old_home = std::getenv("HOME");
    const std::string saved_home = old_home ? old_home : "";
    fs::current_path(cwd.path);
    const std::string long_dir(5000, 'd');
    setenv("HOME", long_dir.c_str(), 1);
    load_code_table(long_dir.c_str());
    EXPECT_EQ(varicode_code('a'), 19);
    fs::current_path(saved_cwd);
    if (old_home) setenv("HOME", saved_home.c_str(), 1);
    load_code_table(VORDA_SOURCE_DATA_DIR);
}
