// QSO files sent from the File menu under a real X server: the field rules with
// the answers given through the prompt dialog, a file that cannot be read, and a
// prompt closed through the window manager.
// gtest before the X headers, whose macros (None, Bool) clash with it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <Xm/MessageB.h>
#include <Xm/SelectioB.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "fakes/server_fake.h"
#include "gui/main_window.h"
#include "sending_x/x_fixture.h"

namespace {

class QsoWindow : public ::testing::Test {
protected:
    std::string home;

    void SetUp() override {
        if (!xtest::setUpApplication()) GTEST_SKIP() << "no X display";
        char dir[] = "/tmp/vorda_qsoXXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        home = dir;
        mkdir((home + "/.vordaDir").c_str(), 0755);
        setenv("HOME", home.c_str(), 1);
        XmTextSetString(mainWindow.panes.txText, const_cast<char*>(""));
        fakeServer.reset();
    }

    void TearDown() override {
        if (!home.empty()) std::system(("rm -rf '" + home + "'").c_str());
    }

    void writeFile(const char* name, const std::string& content) {
        std::ofstream(home + "/.vordaDir/" + name, std::ios::binary) << content;
    }

    void sendFirstFile() { xtest::serverKeys(mainWindow.panes.txText, "ctrl+1"); }

    static Widget prompt() {
        // The top-level shell's own prompt; the help window's find prompt has the
        // same name one shell further down.
        Widget d = XtNameToWidget(xtest::topLevel(), "promptDiag_popup.promptDiag");
        return d != nullptr && XtIsManaged(d) ? d : nullptr;
    }

    // Waits for the prompt, checks its label and answers it with Enter.
    void answer(const std::string& label, const std::string& value) {
        ASSERT_TRUE(xtest::pumpUntil([] { return prompt() != nullptr; })) << "no prompt for "
                                                                          << label;
        Widget d = prompt();
        EXPECT_EQ(labelOf(d, XmNselectionLabelString), label);
        Widget field = XmSelectionBoxGetChild(d, XmDIALOG_TEXT);
        EXPECT_EQ(textOf(field), "");
        xtest::typeInto(field, value);
        callAction(field, "activate", XK_Return);
        xtest::settle();
    }

    std::string typed() { return textOf(mainWindow.panes.txText); }
};

}  // namespace

TEST_F(QsoWindow, FieldIsAskedAndAnswerTakesItsPlace) {
    writeFile("cq", "CQ CQ de ~CALL\n");
    sendFirstFile();
    ASSERT_TRUE(xtest::pumpUntil([] { return prompt() != nullptr; }));
    Widget d = prompt();
    unsigned char style = 0;
    XtVaGetValues(d, XmNdialogStyle, &style, nullptr);
    EXPECT_EQ(style, XmDIALOG_FULL_APPLICATION_MODAL);
    char* title = nullptr;
    XtVaGetValues(XtParent(d), XmNtitle, &title, nullptr);
    EXPECT_STREQ(title, "VORDA PROMPT DIALOG");
    EXPECT_FALSE(XtIsManaged(XmSelectionBoxGetChild(d, XmDIALOG_CANCEL_BUTTON)));
    EXPECT_FALSE(XtIsManaged(XmSelectionBoxGetChild(d, XmDIALOG_HELP_BUTTON)));
    EXPECT_EQ(typed(), "CQ CQ de ");  // everything up to the field, already typed

    answer("CALL", "ABC");
    xtest::settle();
    EXPECT_EQ(typed(), "CQ CQ de ABC\n");
    EXPECT_EQ(fakeServer.sent, "CQ CQ de ABC\n");  // through the pane to the transmitter
    EXPECT_EQ(prompt(), nullptr);
}

TEST_F(QsoWindow, FieldRulesWithAnswersFromTheDialog) {
    // Two fields in a row, tildes that are not fields, an empty label, a field at
    // the very end of the text, and a NUL that ends the file early.
    writeFile("cq", std::string("~NAME ~QTH\na~b\t~c x ~ y ~LAST\0never ~SENT\n", 42));
    sendFirstFile();
    answer("NAME", "jo");
    answer("QTH", "paris");
    answer("", "v");
    answer("LAST", "k1");
    xtest::settle();
    EXPECT_EQ(prompt(), nullptr);
    EXPECT_EQ(typed(), "jo paris\na~b\t~c x v y k1");
    EXPECT_EQ(fakeServer.sent, typed());

    // The sender is idle again: the next choice is sent from its start.
    writeFile("cq", "again\n");
    sendFirstFile();
    ASSERT_TRUE(xtest::pumpUntil([&] { return typed().size() > 24; }));
    EXPECT_EQ(typed(), "jo paris\na~b\t~c x v y k1again\n");
}

TEST_F(QsoWindow, UnreadableFileWarnsAndTheProgramGoesOn) {
    // "station", the second file, does not exist.
    testing::internal::CaptureStderr();
    xtest::serverKeys(mainWindow.panes.txText, "ctrl+2");
    xtest::settle();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "File Stat: No such file or directory\n");
    Widget warning = XtNameToWidget(xtest::topLevel(), "*fileDiag");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(XtIsManaged(warning));
    EXPECT_NE(labelOf(warning, XmNmessageString).find("/.vordaDir/station"),
              std::string::npos);
    EXPECT_EQ(typed(), "");
    EXPECT_EQ(prompt(), nullptr);

    press(XmMessageBoxGetChild(warning, XmDIALOG_OK_BUTTON));
    xtest::settle();
    EXPECT_FALSE(XtIsManaged(warning));

    writeFile("cq", "still here\n");
    sendFirstFile();
    EXPECT_TRUE(xtest::pumpUntil([&] { return typed() == "still here\n"; }));
}

TEST_F(QsoWindow, PromptClosedByWindowManagerEndsTheFile) {
    writeFile("cq", "first ~F rest\n");
    sendFirstFile();
    ASSERT_TRUE(xtest::pumpUntil([] { return prompt() != nullptr; }));
    xtest::closeByWindowManager(XtParent(prompt()));
    xtest::settle();
    EXPECT_EQ(prompt(), nullptr);
    EXPECT_EQ(typed(), "first ");

    writeFile("cq", "second\n");
    sendFirstFile();
    EXPECT_TRUE(xtest::pumpUntil([&] { return typed() == "first second\n"; })) << typed();
}
