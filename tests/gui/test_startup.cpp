// Error dialogs, the failures of the QSO directory set-up, the dialout
// warning, and the way out: quitCB and the signal hand-over.
#include <gtest/gtest.h>

#include <X11/IntrinsicP.h>
#include <Xm/MessageB.h>
#include <Xm/MwmUtil.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/error_dialog.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "app/state_file.h"
#include "gui/secondary.h"
#include "gui_app.h"

namespace fs = std::filesystem;

namespace {

std::string messageOf(Widget box) {
    XmString message = nullptr;
    XtVaGetValues(box, XmNmessageString, &message, nullptr);
    // Separators come back as newlines.
    XmString separator = XmStringSeparatorCreate();
    Arg args[3];
    XtSetArg(args[0], XmNpattern, const_cast<char*>("\n"));
    XtSetArg(args[1], XmNincludeStatus, XmINSERT);
    XtSetArg(args[2], XmNsubstitute, separator);
    XmParseMapping newline = XmParseMappingCreate(args, 3);
    XmStringFree(separator);
    char* text = static_cast<char*>(XmStringUnparse(message, nullptr, XmCHARSET_TEXT,
                                                    XmCHARSET_TEXT, &newline, 1, XmOUTPUT_ALL));
    XmParseMappingFree(newline);
    std::string result = text;
    XtFree(text);
    XmStringFree(message);
    return result;
}

bool childManaged(Widget box, unsigned char which) {
    return XtIsManaged(XmMessageBoxGetChild(box, which));
}

// The newest errDiag among the top-level shell's dialog shells.
Widget lastDialog() {
    Widget found = nullptr;
    for (Cardinal i = 0; i < topLevel->core.num_popups; ++i) {
        Widget box = XtNameToWidget(topLevel->core.popup_list[i], "errDiag");
        if (box != nullptr) found = box;
    }
    return found;
}

class StartupAndQuit : public ::testing::Test {
protected:
    void SetUp() override {
        guiApp();
        char templ[] = "/tmp/vorda-home-XXXXXX";
        home = mkdtemp(templ);
        saved = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", home.c_str(), 1);
        dataDirectory = VORDA_SOURCE_DATA_DIR;
        iniReport.clear();
        stateValues = StateValues{};
    }
    void TearDown() override {
        setenv("HOME", saved.c_str(), 1);
        fs::remove_all(home);
    }
    fs::path home;
    std::string saved;
};

}  // namespace

TEST(ErrorDialog, ErrorWithoutCancelWarningWithCancel) {
    guiApp();
    Widget error = errorDialog(topLevel, "first line\nsecond line", 0, 1);
    unsigned char type = 0;
    unsigned char style = 0;
    XtVaGetValues(error, XmNdialogType, &type, XmNdialogStyle, &style, nullptr);
    EXPECT_STREQ(XtName(error), "errDiag");
    EXPECT_EQ(type, XmDIALOG_ERROR);
    EXPECT_EQ(style, XmDIALOG_PRIMARY_APPLICATION_MODAL);
    EXPECT_EQ(messageOf(error), "first line\nsecond line");
    EXPECT_TRUE(XtIsManaged(error));
    EXPECT_TRUE(childManaged(error, XmDIALOG_OK_BUTTON));
    EXPECT_FALSE(childManaged(error, XmDIALOG_CANCEL_BUTTON));
    EXPECT_FALSE(childManaged(error, XmDIALOG_HELP_BUTTON));
    char* title = nullptr;
    int functions = 0;
    XtVaGetValues(XtParent(error), XmNtitle, &title, XmNmwmFunctions, &functions, nullptr);
    EXPECT_STREQ(title, "VORDA ERROR");
    EXPECT_EQ(functions, MWM_FUNC_ALL | MWM_FUNC_CLOSE);

    Widget warning = errorDialog(topLevel, "careful", 1, 0);
    XtVaGetValues(warning, XmNdialogType, &type, nullptr);
    EXPECT_EQ(type, XmDIALOG_WARNING);
    EXPECT_TRUE(childManaged(warning, XmDIALOG_CANCEL_BUTTON));
    // Cancel only closes the warning; the program goes on.
    XtCallCallbacks(XmMessageBoxGetChild(warning, XmDIALOG_CANCEL_BUTTON), XmNactivateCallback,
                    nullptr);
    settle();
    EXPECT_FALSE(XtIsManaged(warning));
    XtDestroyWidget(XtParent(warning));
    XtDestroyWidget(XtParent(error));
}

TEST(ErrorDialogDeathTest, OkEndsWithStatusOne) {
    guiApp();
    Widget box = errorDialog(topLevel, "fatal", 0, 1);
    // Only the dialog's own OK callback runs in the child: no toolkit drawing.
    XtCallbackList list = nullptr;
    XtVaGetValues(box, XmNokCallback, &list, nullptr);
    ASSERT_NE(list, nullptr);
    XtCallbackProc ok = list[0].callback;
    EXPECT_EXIT(ok(box, list[0].closure, nullptr), testing::ExitedWithCode(1), "");
    XtDestroyWidget(XtParent(box));
}

TEST_F(StartupAndQuit, UncreatableDirectoryShowsTheDialogAndGoesOn) {
    // HOME is a file, so nothing can be created below it.
    const fs::path file = home / "plainfile";
    std::ofstream(file) << "x";
    setenv("HOME", file.c_str(), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(iniProc('r'), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string why = file.string() + "/.vordaDir: " + std::strerror(ENOTDIR);
    EXPECT_NE(err.find("vorda: can't create " + why + "\n"), std::string::npos) << err;
    EXPECT_NE(err.find("stat " + file.string() + "/.vordaDir/.vorda.dat failed\n"),
              std::string::npos)
        << err;
    Widget box = lastDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageOf(box), "Can't create " + why + "\nvorda must exit\n\n" + std::string(
                                          "Please send bug reports to\n") +
                                  contactAddress);
    XtDestroyWidget(XtParent(box));
}

TEST_F(StartupAndQuit, MissingInstalledDirectoryIsAnInstallationError) {
    dataDirectory = "/nonexistent/vorda";
    testing::internal::CaptureStderr();
    EXPECT_EQ(iniProc('r'), 1);  // the state file then counts as missing
    const std::string why = std::string("/nonexistent/vorda/vordaDir: ") + std::strerror(ENOENT);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "vorda: can't open " + why + "\n");
    EXPECT_TRUE(fs::is_directory(home / ".vordaDir"));
    Widget box = lastDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageOf(box).substr(0, 11 + why.size() + 32),
              "Can't open " + why + "\nThis is an installation error.\n");
    XtDestroyWidget(XtParent(box));
}

TEST(DialoutCheck, UserOutsideTheGroupIsWarned) {
    guiApp();
    setenv("LOGNAME", "vorda-test-nobody", 1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(checkDialout(topLevel));
    testing::internal::GetCapturedStderr();  // "getgrnam failed" where there is no such group
    Widget box = lastDialog();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(messageOf(box).substr(0, 43), "You are not a member of the dialout group.\n");
    EXPECT_TRUE(childManaged(box, XmDIALOG_CANCEL_BUTTON));
    XtDestroyWidget(XtParent(box));
}

TEST_F(StartupAndQuit, QuitSavesClosedWindowPositionsOnly) {
    Widget closed = testShell("closedDecoder");
    XtVaSetValues(closed, XmNx, 321, XmNy, -12345, nullptr);
    Widget open = testShell("openDecoder");
    XtVaSetValues(open, XmNx, 700, XmNy, 800, nullptr);
    resetSecondaryDecoders();
    mainWindow.decoders[1].state = 0;
    mainWindow.decoders[1].secondaryDiag = closed;
    mainWindow.decoders[2].state = 1;
    mainWindow.decoders[2].secondaryDiag = open;
    ASSERT_EQ(iniProc('r'), 1);
    stateValues.reserved = 9;

    EXPECT_EXIT(quitCB(nullptr, &mainWindow, nullptr), testing::ExitedWithCode(0), "^Writing .*");
    std::ifstream in(home / ".vordaDir" / ".vorda.dat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "50\n50\n321\n-12345\n50\n50\n50\n50\n9\n");
    resetSecondaryDecoders();
    XtDestroyWidget(closed);
    XtDestroyWidget(open);
}

TEST_F(StartupAndQuit, SignalsReachTheMainLoop) {
    XtAppContext app = guiApp();
    resetSecondaryDecoders();
    installSignalHandlers(app, &mainWindow);
    ASSERT_EQ(iniProc('r'), 1);

    // Only the hand-over input is processed in the child, never X events or timers
    // (the X connection is the parent's); a signal that is not handed over ends
    // the child by SIGALRM after 10 s.
    auto interrupt = [app](int signalNumber) {
        alarm(10);
        std::raise(signalNumber);
        for (;;) XtAppProcessEvent(app, XtIMAlternateInput);
    };
    EXPECT_EXIT(interrupt(SIGINT), testing::ExitedWithCode(0), "^INTERRUPT\nWriting ");
    EXPECT_EXIT(interrupt(SIGQUIT), testing::ExitedWithCode(0), "^QUIT\nWriting ");
    // A logout or shutdown ends the program the same way.
    EXPECT_EXIT(interrupt(SIGTERM), testing::ExitedWithCode(0), "^TERMINATE\nWriting ");
    EXPECT_TRUE(fs::exists(home / ".vordaDir" / ".vorda.dat"));
}
