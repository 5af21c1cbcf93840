// The call box and the transmit pane's actions under a real X server, on a real
// System V segment with a key of the test's own, and the keys bound by the
// installed resource file.
#include <gtest/gtest.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <Xm/Text.h>
#include <Xm/Xm.h>

#include <cstring>
#include <string>

#include "app/resources.h"
#include "fakes/server_fake.h"
#include "gui/callbox.h"
#include "gui/main_window.h"
#include "sending_x/x_fixture.h"

namespace {

class CallBoxWindow : public ::testing::Test {
protected:
    const key_t key = static_cast<key_t>(0x56450000 + (getpid() & 0xFFFF));
    char ownCall[8] = "K2XYZ";

    void SetUp() override {
        if (!xtest::setUpApplication()) GTEST_SKIP() << "no X display";
        useCallBoxKey(key);
        removeSegment();
        appResources.call = ownCall;
        XmTextSetString(mainWindow.panes.txText, const_cast<char*>(""));
        fakeServer.reset();
    }

    void TearDown() override { removeSegment(); }

    void removeSegment() {
        const int id = shmget(key, 0, 0);
        if (id >= 0) shmctl(id, IPC_RMID, nullptr);
    }

    // The 24 bytes as another process sees them.
    std::string segmentBytes() {
        const int id = shmget(key, 24, 0);
        if (id < 0) return "<none>";
        char* at = static_cast<char*>(shmat(id, nullptr, SHM_RDONLY));
        std::string bytes(at, 24);
        shmdt(at);
        return bytes;
    }

    std::string typed() { return textOf(mainWindow.panes.txText); }
};

std::string padded(const std::string& call) { return call + std::string(24 - call.size(), '\0'); }

}  // namespace

TEST_F(CallBoxWindow, TypedCallIsStoredInCapitalsAndSentByTheKeys) {
    // A call box of this run's own, on this run's segment: a repeated run must
    // not meet the field and segment an earlier one left.
    CallBox box{};
    createCallBox(&box, xtest::topLevel());
    xtest::settle();
    EXPECT_EQ(labelOf(box.box, XmNselectionLabelString), "His Call");
    EXPECT_EQ(labelOf(box.clearButton, XmNlabelString), "Clear");

    xtest::typeInto(box.text, "abc");
    EXPECT_EQ(textOf(box.text), "ABC");
    EXPECT_EQ(segmentBytes(), padded("ABC"));

    // Shift-Alt-o and Shift-Alt-h as the installed resource file binds them.
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+o");
    EXPECT_EQ(typed(), "ABC de K2XYZ ");
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+h");
    EXPECT_EQ(typed(), "ABC de K2XYZ ABC ");
    EXPECT_EQ(fakeServer.sent, typed());

    // Clear empties the field, and through its value-changed handler the segment.
    xtest::serverClick(box.clearButton);
    EXPECT_EQ(textOf(box.text), "");
    EXPECT_EQ(segmentBytes(), std::string(24, '\0'));
    XmTextSetString(mainWindow.panes.txText, const_cast<char*>(""));
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+h");
    EXPECT_EQ(typed(), " ");

    // 24 characters and more: the segment holds the first 24 and no NUL.
    xtest::typeInto(box.text, "abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(segmentBytes(), "ABCDEFGHIJKLMNOPQRSTUVWX");
    XmTextSetString(mainWindow.panes.txText, const_cast<char*>(""));
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+h");
    EXPECT_EQ(typed(), "ABCDEFGHIJKLMNOPQRSTUVWX ");
    XtDestroyWidget(box.callShell);
    shmdt(box.segment);
    xtest::settle();
}

TEST_F(CallBoxWindow, CallWrittenByAnotherProgramIsSent) {
    // A child process stands in for the logging program: it creates the segment
    // and writes a call, as kesto does when the call box is not running.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int id = shmget(key, 24, IPC_CREAT | 0666);
        if (id < 0) _exit(1);
        char* at = static_cast<char*>(shmat(id, nullptr, 0));
        if (at == reinterpret_cast<char*>(-1)) _exit(2);
        std::strncpy(at, "DL1ABC", 24);
        shmdt(at);
        _exit(0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+h");
    EXPECT_EQ(typed(), "DL1ABC ");
}

TEST_F(CallBoxWindow, WithoutSegmentOnlyTheOwnCallIsSent) {
    testing::internal::CaptureStderr();
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+h");
    EXPECT_EQ(typed(), "");
    xtest::serverKeys(mainWindow.panes.txText, "shift+alt+o");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No kesto!\nNo kesto!\n");
    EXPECT_EQ(typed(), "de K2XYZ ");
    EXPECT_EQ(segmentBytes(), "<none>");  // the actions never create it
}

TEST_F(CallBoxWindow, MacroTypesEachParameterWithASpace) {
    String params[] = {const_cast<char*>("SK"), const_cast<char*>("dr OM")};
    callAction(mainWindow.panes.txText, "sendMacro", 0, 0, params, 2);
    callAction(mainWindow.panes.txText, "sendMacro", 0, 0, nullptr, 0);
    EXPECT_EQ(typed(), "SK dr OM ");
    EXPECT_EQ(fakeServer.sent, "SK dr OM ");
}
