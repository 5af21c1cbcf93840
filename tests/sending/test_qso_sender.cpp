// The QSO file sender's field rules, driven the way the toolkit drives them: the
// step runs as a work procedure until it asks for a field, the answer is typed,
// and the step is registered again.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "gui/qso_sender.h"

namespace {

struct Recorder {
    std::string typed;
    std::vector<std::pair<std::string, char>> asked;  // label, terminator
};

void typeInto(char c, void* context) { static_cast<Recorder*>(context)->typed += c; }

void askInto(const char* word, char terminator, void* context) {
    static_cast<Recorder*>(context)->asked.emplace_back(word, terminator);
}

// A sender that types into and asks through `r`.
qso_sender senderInto(Recorder& r) {
    qso_sender s;
    s.type = typeInto;
    s.ask = askInto;
    s.context = &r;
    return s;
}

char* bufferOf(const std::string& text) {
    char* b = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(b, text.data(), text.size());
    b[text.size()] = '\0';
    return b;
}

// Sends `text` to the end, answering the fields in order; returns what was typed.
Recorder send(const std::string& text, std::deque<std::string> answers) {
    Recorder r;
    qso_sender s = senderInto(r);
    char* client = bufferOf(text);
    for (int calls = 0; calls < 1000; ++calls) {
        const size_t before = r.asked.size();
        if (!qso_send_step(s, client)) continue;
        client = nullptr;  // registered again without client data
        if (r.asked.size() == before) break;  // the text has ended
        std::string answer;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        qso_type_answer(s, answer.c_str(), r.asked.back().second);
    }
    EXPECT_FALSE(s.started);
    EXPECT_EQ(s.buffer, nullptr);
    return r;
}

}  // namespace

TEST(QsoFields, AnswerReplacesFieldAndTerminatorFollows) {
    auto r = send("CQ CQ de ~CALL\n", {"ABC"});
    EXPECT_EQ(r.typed, "CQ CQ de ABC\n");
    ASSERT_EQ(r.asked.size(), 1u);
    EXPECT_EQ(r.asked[0], std::make_pair(std::string("CALL"), '\n'));

    r = send("~NAME ~QTH\n", {"Jo", "Paris"});
    EXPECT_EQ(r.typed, "Jo Paris\n");
    ASSERT_EQ(r.asked.size(), 2u);
    EXPECT_EQ(r.asked[0], std::make_pair(std::string("NAME"), ' '));
    EXPECT_EQ(r.asked[1], std::make_pair(std::string("QTH"), '\n'));

    // An empty answer leaves only the terminator.
    r = send("name: ~NAME ok", {""});
    EXPECT_EQ(r.typed, "name:  ok");
}

TEST(QsoFields, OnlyStartSpaceNewlineOrFieldStartAField) {
    auto r = send("a~b\t~c x~\n~d", {"D"});
    EXPECT_EQ(r.typed, "a~b\t~c x~\nD");
    ASSERT_EQ(r.asked.size(), 1u);
    EXPECT_EQ(r.asked[0].first, "d");

    // A field straight after a field's terminator (the NUL it leaves behind) and a
    // field at the very start of the text.
    r = send("~A ~B\n~C\n", {"1", "2", "3"});
    EXPECT_EQ(r.typed, "1 2\n3\n");
    EXPECT_EQ(r.asked.size(), 3u);
}

TEST(QsoFields, FieldAtEndEmptyLabelAndNul) {
    auto r = send("73 de ~MYCALL", {"K2XYZ"});
    EXPECT_EQ(r.typed, "73 de K2XYZ");
    ASSERT_EQ(r.asked.size(), 1u);
    EXPECT_EQ(r.asked[0], std::make_pair(std::string("MYCALL"), '\0'));

    r = send("x ~ y", {"v"});
    ASSERT_EQ(r.asked.size(), 1u);
    EXPECT_EQ(r.asked[0].first, "");
    EXPECT_EQ(r.typed, "x v y");

    r = send(std::string("before\0after ~X", 15), {"never"});
    EXPECT_EQ(r.typed, "before");
    EXPECT_TRUE(r.asked.empty());

    r = send("", {});
    EXPECT_EQ(r.typed, "");
}

TEST(QsoFields, AbandonedTextMakesWayForTheNextFile) {
    Recorder r;
    qso_sender s = senderInto(r);
    EXPECT_FALSE(qso_send_step(s, bufferOf("first ~F rest\n")));
    EXPECT_TRUE(qso_send_step(s, nullptr));  // asks for F
    qso_abandon(s);
    EXPECT_FALSE(s.started);
    EXPECT_EQ(s.buffer, nullptr);
    EXPECT_TRUE(qso_send_step(s, bufferOf("second\n")));
    EXPECT_EQ(r.typed, "first second\n");

    // While a text is being sent another one is not taken over.
    Recorder r2;
    qso_sender t = senderInto(r2);
    EXPECT_FALSE(qso_send_step(t, bufferOf("a ~X b")));
    char* other = bufferOf("other");
    EXPECT_TRUE(qso_send_step(t, other));
    EXPECT_EQ(r2.asked.size(), 1u);
    std::free(other);
    qso_type_answer(t, "x", r2.asked[0].second);
    EXPECT_TRUE(qso_send_step(t, nullptr));
    EXPECT_EQ(r2.typed, "a x b");
}

TEST(QsoFields, LongTextIsTypedInSlices) {
    // So that the window handles its events between the slices of a long text.
    std::string text;
    for (int i = 0; text.size() < 1000; ++i) text += "line " + std::to_string(i) + "\n";
    Recorder r;
    qso_sender s = senderInto(r);
    ASSERT_TRUE(qso_start(s, bufferOf(text + "~F end")));
    int calls = 0;
    size_t before = 0;
    while (!qso_send_step(s, nullptr)) {
        ++calls;
        EXPECT_LE(r.typed.size() - before, static_cast<size_t>(QSO_SLICE));
        before = r.typed.size();
    }
    EXPECT_EQ(r.typed, text);  // the slices end at the field: it is asked for
    EXPECT_GE(calls, static_cast<int>(text.size()) / QSO_SLICE);
    ASSERT_EQ(r.asked.size(), 1u);
    qso_type_answer(s, "x", r.asked[0].second);
    EXPECT_TRUE(qso_send_step(s, nullptr));
    EXPECT_EQ(r.typed, text + "x end");
    EXPECT_FALSE(s.started);
}

TEST(QsoFields, ASecondTextIsNotTakenWhileOneIsOnItsWay) {
    // Taken at the choice, before the work procedure first runs: two choices in quick
    // succession once both ran, the first text was dropped and the answer misplaced.
    Recorder r;
    qso_sender s = senderInto(r);
    char* first = bufferOf("AAA ~ONE BBB");
    char* second = bufferOf("CCC ~TWO DDD");
    EXPECT_TRUE(qso_start(s, first));
    EXPECT_FALSE(qso_start(s, second));
    std::free(second);
    EXPECT_FALSE(qso_send_step(s, nullptr));
    EXPECT_TRUE(qso_send_step(s, nullptr));  // asks for ONE
    char* third = bufferOf("never");
    EXPECT_FALSE(qso_start(s, third));  // still busy while the field is asked for
    std::free(third);
    qso_type_answer(s, "ans1", r.asked[0].second);
    EXPECT_TRUE(qso_send_step(s, nullptr));
    EXPECT_EQ(r.typed, "AAA ans1 BBB");
    ASSERT_EQ(r.asked.size(), 1u);
    EXPECT_EQ(r.asked[0].first, "ONE");
}

TEST(QsoFile, ReadsWholeFileAndReportsEachFailure) {
    char dir[] = "/tmp/qso_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/cq";
    const std::string content("CQ de ~MYCALL\n\0tail", 19);
    std::ofstream(path, std::ios::binary) << content;

    qso_read_failure failure;
    char* text = qso_read_file(path.c_str(), failure);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::memcmp(text, content.data(), content.size()), 0);
    EXPECT_EQ(text[content.size()], '\0');
    std::free(text);

    EXPECT_EQ(qso_read_file((path + "-missing").c_str(), failure), nullptr);
    EXPECT_STREQ(failure.what, "File Stat");
    EXPECT_EQ(failure.reason, std::strerror(ENOENT));

    EXPECT_EQ(qso_read_file(dir, failure), nullptr);
    EXPECT_EQ(failure.reason, "it is a directory");

    if (geteuid() != 0) {
        chmod(path.c_str(), 0);
        EXPECT_EQ(qso_read_file(path.c_str(), failure), nullptr);
        EXPECT_STREQ(failure.what, "vordaDiags getFile - File Open error");
        EXPECT_EQ(failure.reason, std::strerror(EACCES));
    }
    unlink(path.c_str());
    rmdir(dir);
}

TEST(QsoFile, OnlyRegularFilesOfAtMost64KiBAreRead) {
    // A FIFO once blocked the window in open(), /dev/zero would be read forever, and
    // a megabyte kept the window typing for minutes.
    char dir[] = "/tmp/qso_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = std::string(dir) + "/zero";
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    const std::string big = std::string(dir) + "/big";
    std::ofstream(big, std::ios::binary) << std::string(QSO_MAX_BYTES + 1, 'x');
    const std::string largest = std::string(dir) + "/largest";
    std::ofstream(largest, std::ios::binary) << std::string(QSO_MAX_BYTES, 'y');

    qso_read_failure failure;
    for (const std::string& special : {fifo, zero}) {
        EXPECT_EQ(qso_read_file(special.c_str(), failure), nullptr) << special;
        EXPECT_EQ(failure.reason, "it is not a regular file") << special;
    }
    EXPECT_EQ(qso_read_file(big.c_str(), failure), nullptr);
    EXPECT_EQ(failure.reason, "it is larger than 64 KiB");
    char* text = qso_read_file(largest.c_str(), failure);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text), static_cast<size_t>(QSO_MAX_BYTES));
    std::free(text);
    for (const std::string& f : {fifo, zero, big, largest}) unlink(f.c_str());
    rmdir(dir);
}
