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

char* bufferOf(const std::string& text) {
    char* b = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(b, text.data(), text.size());
    b[text.size()] = '\0';
    return b;
}

// Sends `text` to the end, answering the fields in order; returns what was typed.
Recorder send(const std::string& text, std::deque<std::string> answers) {
    Recorder r;
    qso_sender s;
    s.type = typeInto;
    s.ask = askInto;
    s.context = &r;
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
    qso_sender s;
    s.type = typeInto;
    s.ask = askInto;
    s.context = &r;
    EXPECT_FALSE(qso_send_step(s, bufferOf("first ~F rest\n")));
    EXPECT_TRUE(qso_send_step(s, nullptr));  // asks for F
    qso_abandon(s);
    EXPECT_FALSE(s.started);
    EXPECT_EQ(s.buffer, nullptr);
    EXPECT_TRUE(qso_send_step(s, bufferOf("second\n")));
    EXPECT_EQ(r.typed, "first second\n");

    // While a text is being sent another one is not taken over.
    Recorder r2;
    qso_sender t;
    t.type = typeInto;
    t.ask = askInto;
    t.context = &r2;
    EXPECT_FALSE(qso_send_step(t, bufferOf("a ~X b")));
    char* other = bufferOf("other");
    EXPECT_TRUE(qso_send_step(t, other));
    EXPECT_EQ(r2.asked.size(), 1u);
    std::free(other);
    qso_type_answer(t, "x", r2.asked[0].second);
    EXPECT_TRUE(qso_send_step(t, nullptr));
    EXPECT_EQ(r2.typed, "a x b");
}

TEST(QsoFile, ReadsWholeFileAndReportsEachFailure) {
    char dir[] = "/tmp/qso_testXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/cq";
    const std::string content("CQ de ~MYCALL\n\0tail", 19);
    std::ofstream(path, std::ios::binary) << content;

    const char* what = nullptr;
    char* text = qso_read_file(path.c_str(), &what);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::memcmp(text, content.data(), content.size()), 0);
    EXPECT_EQ(text[content.size()], '\0');
    std::free(text);

    errno = 0;
    EXPECT_EQ(qso_read_file((path + "-missing").c_str(), &what), nullptr);
    EXPECT_STREQ(what, "File Stat");
    EXPECT_EQ(errno, ENOENT);

    // A directory can be looked at and opened but not read.
    EXPECT_EQ(qso_read_file(dir, &what), nullptr);
    EXPECT_STREQ(what, "vordaDiags getFile - Read error");
    EXPECT_EQ(errno, EISDIR);

    if (geteuid() != 0) {
        chmod(path.c_str(), 0);
        EXPECT_EQ(qso_read_file(path.c_str(), &what), nullptr);
        EXPECT_STREQ(what, "vordaDiags getFile - File Open error");
        EXPECT_EQ(errno, EACCES);
    }
    unlink(path.c_str());
    rmdir(dir);
}
