// The main window as the resource file and the server see it: widget names and
// classes, what the resource file sets, the initial server settings, the File
// menu and the layout after realisation.
#include <gtest/gtest.h>

#include <Xm/ArrowB.h>
#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/PanedW.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Scale.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cstdlib>
#include <set>
#include <string>

#include "fakes/server_fake.h"
#include "gui/icon.h"
#include "gui/icon_xpm.h"
#include "gui/menus.h"
#include "gui_app.h"

namespace {

std::string acceleratorOf(Widget w) {
    char* accelerator = nullptr;
    XtVaGetValues(w, XmNaccelerator, &accelerator, nullptr);
    return accelerator != nullptr ? accelerator : "";
}

}  // namespace

TEST(WidgetTree, NamesAndClassesTheResourceFileAddresses) {
    guiApp();
    const struct {
        const char* path;
        WidgetClass widgetClass;
    } expected[] = {
        {"mainForm", xmFormWidgetClass},
        {"mainForm.label1", xmLabelWidgetClass},
        {"mainForm.menuBar", xmRowColumnWidgetClass},
        {"mainForm.paneWin", xmPanedWindowWidgetClass},
        {"mainForm.paneWin.rxTextSW.rxText", xmTextWidgetClass},
        {"mainForm.paneWin.txTextSW.txText", xmTextWidgetClass},
        {"mainForm.f4.wfDA", xmDrawingAreaWidgetClass},
        {"mainForm.bottomForm.f1.displayForm.scopeDA", xmDrawingAreaWidgetClass},
        {"mainForm.bottomForm.f1.displayForm.displayRC.displayRB.saTB", xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f1.displayForm.displayRC.displayRB.wfTB", xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f1.displayForm.displayRC.bwRB.M", xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f2.controlsForm.controlsRC.genFrame.rxComboForm.rxFreqText",
         xmTextFieldWidgetClass},
        {"mainForm.bottomForm.f2.controlsForm.controlsRC.genFrame.txComboForm.txFreqText",
         xmTextFieldWidgetClass},
        {"mainForm.bottomForm.f2.controlsForm.controlsRC.genFrame.rxComboForm.AFC",
         xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f2.controlsForm.trRB.Tune", xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f3.modesRC.CW ID", xmToggleButtonWidgetClass},
        {"mainForm.bottomForm.f3.modesRC.imdFrame.imdForm.imdTF", xmTextFieldWidgetClass},
        {"videoDiag_popup.videoDiag.videoFrame.videoForm.brightScale", xmScaleWidgetClass},
        {"videoDiag_popup.videoDiag.videoFrame.videoForm.fftSpeedScale", xmScaleWidgetClass},
        {"videoDiag_popup.videoDiag.Close", xmPushButtonWidgetClass},
        {"*filePulldown.QRT", xmPushButtonWidgetClass},
        {"*controlsPulldown.Local Caps", xmToggleButtonWidgetClass},
        {"*controlsPulldown.Flow Up", xmToggleButtonWidgetClass},
        {"*SeekPulldown.Halt", xmPushButtonWidgetClass},
        {"*helpMenu", xmRowColumnWidgetClass},
        {"*clrRx", xmRowColumnWidgetClass},
        {"*clrTx", xmRowColumnWidgetClass},
    };
    for (const auto& e : expected) {
        Widget w = XtNameToWidget(topLevel, e.path);
        ASSERT_NE(w, nullptr) << e.path;
        EXPECT_EQ(XtClass(w), e.widgetClass) << e.path;
    }

    // Both arrows of a combination carry the up arrow's name; only the direction differs.
    unsigned char up = 0;
    unsigned char down = 0;
    XtVaGetValues(mainWindow.controls.rxFreq.up, XmNarrowDirection, &up, nullptr);
    XtVaGetValues(mainWindow.controls.rxFreq.down, XmNarrowDirection, &down, nullptr);
    EXPECT_STREQ(XtName(mainWindow.controls.rxFreq.down), "rxUpArrow");
    EXPECT_STREQ(XtName(mainWindow.controls.txFreq.down), "txUpArrow");
    EXPECT_EQ(up, XmARROW_UP);
    EXPECT_EQ(down, XmARROW_DOWN);
    // Each combination's record says which receiver or transmitter it tunes.
    EXPECT_EQ(mainWindow.controls.txFreq.channel, SERVER_TX_CHANNEL);
    EXPECT_EQ(mainWindow.controls.rxFreq.channel, SERVER_MAIN_CHANNEL);
    EXPECT_TRUE(mainWindow.controls.rxFreq.parksAfc);
    EXPECT_FALSE(mainWindow.controls.txFreq.parksAfc);
    XtPointer owner = nullptr;
    XtVaGetValues(mainWindow.panes.rx.text, XmNuserData, &owner, nullptr);
    EXPECT_EQ(owner, &mainWindow.panes.rx);
}

TEST(WidgetTree, ResourceFileSettingsReachTheirWidgets) {
    // A window of its own: the shared one carries whatever earlier tests set.
    MainWindow built{};
    AppResources resources{};
    Widget shell = buildSecondWindow({}, &built, &resources);
    EXPECT_EQ(labelOf(built.label1), "VORDA   PSK31 Operating Console");
    EXPECT_EQ(labelOf(built.tuning.broadTB), "Broad");
    EXPECT_EQ(labelOf(built.controls.cwIdTB), "CW ID");
    short rows = 0;
    XtVaGetValues(built.panes.rx.text, XmNrows, &rows, nullptr);
    EXPECT_EQ(rows, 14);
    EXPECT_TRUE(XmToggleButtonGetState(built.tuning.wfTB));
    EXPECT_FALSE(XmToggleButtonGetState(built.tuning.saTB));
    EXPECT_TRUE(XmToggleButtonGetState(built.tuning.broadTB));
    EXPECT_TRUE(XmToggleButtonGetState(built.controls.cwIdTB));
    EXPECT_TRUE(XmToggleButtonGetState(built.controls.recvTB));
    EXPECT_FALSE(XmToggleButtonGetState(built.controls.dcdTB));
    EXPECT_EQ(built.tuning.spanFactor, 2);
    EXPECT_EQ(built.tuning.brightness, 40);
    EXPECT_EQ(built.tuning.displaySpeed, 50);
    EXPECT_EQ(built.panes.look.localCaps, 0);
    EXPECT_EQ(textOf(built.controls.rxFreq.text), "1000.0");
    EXPECT_EQ(textOf(built.controls.imdTF), "---");
    EXPECT_STREQ(resources.call, "N0CALL");
    EXPECT_EQ(resources.sampsize, 8000);

    // The File menu: one button per QSO file, Ctrl-1 upwards, then QRT.
    const char* names[] = {"cq", "station", "closing"};
    for (int i = 0; i < 3; ++i) {
        Widget b = built.fileButtons[i];
        ASSERT_NE(b, nullptr);
        EXPECT_STREQ(XtName(b), names[i]);
        EXPECT_EQ(acceleratorOf(b), "Ctrl<Key>" + std::to_string(i + 1));
        char* userData = nullptr;
        XtVaGetValues(b, XmNuserData, &userData, nullptr);
        EXPECT_STREQ(userData, names[i]);
    }
    EXPECT_EQ(built.fileButtons[3], nullptr);
    EXPECT_EQ(acceleratorOf(built.qrtButton), "Ctrl<Key>Q");
    EXPECT_EQ(acceleratorOf(built.localCapsItem), "Ctrl<Key>L");
    EXPECT_EQ(acceleratorOf(built.logContactItem), "Ctrl<Key>K");
    EXPECT_EQ(acceleratorOf(built.openDecoderItem), "Ctrl<Key>O");
    EXPECT_EQ(acceleratorOf(built.bandItem), "Ctrl<Key>A");
    XtDestroyWidget(shell);  // its handlers hold this record
}

TEST(InitialServerSettings, FromTheResourceFile) {
    guiApp();
    const std::vector<FakeCommand> expected = {
        {2, 8, 100000}, {2, 6, 1},   {255, 8, 100000}, {2, 3, 15},
        {255, 4, 0},    {2, 4, 0},   {255, 5, 0},      {2, 5, 0},
    };
    EXPECT_EQ(buildCommands, expected);
    EXPECT_FLOAT_EQ(builtResources.rxFreq, 1000.0f);
    EXPECT_FLOAT_EQ(builtResources.txFreq, 1000.0f);
}

TEST(InitialServerSettings, UnsetFrequenciesAndModesTakenFromToggles) {
    MainWindow mw{};
    AppResources res{};
    guiApp();
    fakeServer.reset();
    Widget shell =
        buildSecondWindow({"vorda-test.rxFreq: 0", "vorda-test.txFreq: 0", "vorda-test.afc: 0",
                           "vorda-test*QPSK.set: True", "vorda-test*LSB.set: True"},
                          &mw, &res);
    const std::vector<FakeCommand> expected = {
        {2, 8, 100000}, {2, 6, 0},   {255, 8, 100000}, {2, 3, 15},
        {255, 4, 1},    {2, 4, 1},   {255, 5, 1},      {2, 5, 1},
    };
    EXPECT_EQ(fakeServer.commands, expected);
    EXPECT_FLOAT_EQ(res.rxFreq, 1000.0f);
    EXPECT_FLOAT_EQ(res.txFreq, 1000.0f);
    EXPECT_EQ(textOf(mw.controls.rxFreq.text), "1000.0");
    EXPECT_EQ(textOf(mw.controls.txFreq.text), "1000.0");
    EXPECT_EQ(mw.controls.qpsk, 1);
    EXPECT_EQ(mw.controls.lsb, 1);
    XtDestroyWidget(shell);  // its handlers hold this record
}

TEST(InitialServerSettings, GivenFrequenciesInHundredthsOfAHertz) {
    MainWindow mw{};
    AppResources res{};
    guiApp();
    fakeServer.reset();
    Widget shell = buildSecondWindow({"vorda-test.rxFreq: 1012.5", "vorda-test.txFreq: 2125.37",
                       "vorda-test*B.set: False"},
                      &mw, &res);
    EXPECT_EQ(fakeServer.last(2, 8), 101250);
    EXPECT_EQ(fakeServer.last(255, 8), 212537);
    EXPECT_EQ(textOf(mw.controls.rxFreq.text), "1012.5");
    EXPECT_EQ(textOf(mw.controls.txFreq.text), "2125.4");
    // No span chosen: the broad view is taken rather than none.
    EXPECT_EQ(mw.tuning.spanFactor, 2);
    EXPECT_TRUE(XmToggleButtonGetState(mw.tuning.broadTB));
    XtDestroyWidget(shell);
}

// Resource frequencies are limited as typed ones are: 1e9 once showed -21474836.5 Hz
// (a float-to-int overflow) and nan showed "nan".
TEST(InitialServerSettings, FrequencyResourcesAreLimitedToTheBand) {
    struct Case {
        std::string rx, tx;              // resource values
        std::string rxShown, txShown;    // the fields
        int32_t rxSent, txSent;          // hundredths of a hertz to the server
        std::string warning;             // on standard error
    };
    const Case cases[] = {
        {"1e9", "nan", "4000.0", "1000.0", 400000, 100000,
         "vorda: resource rxFreq 1e+09 Hz is outside 0 to 4000 Hz; 4000.0 Hz is used\n"
         "vorda: resource txFreq is not a frequency; 1000.0 Hz is used\n"},
        {"-3", "inf", "1000.0", "1000.0", 100000, 100000,
         "vorda: resource rxFreq -3 Hz is outside 0 to 4000 Hz; 1000.0 Hz is used\n"
         "vorda: resource txFreq is not a frequency; 1000.0 Hz is used\n"},
        {"4000", "-inf", "4000.0", "1000.0", 400000, 100000,
         "vorda: resource txFreq is not a frequency; 1000.0 Hz is used\n"},
        // Xt refuses a word with a warning of its own; the default is kept.
        {"abc", "0.5", "1000.0", " 0.5", 100000, 50, "\"abc\" to type Float"},
    };
    for (const Case& c : cases) {
        MainWindow mw{};
        AppResources res{};
        guiApp();
        fakeServer.reset();
        testing::internal::CaptureStderr();
        Widget shell = buildSecondWindow(
            {"vorda-test.rxFreq: " + c.rx, "vorda-test.txFreq: " + c.tx}, &mw, &res);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(textOf(mw.controls.rxFreq.text), c.rxShown) << c.rx;
        EXPECT_EQ(textOf(mw.controls.txFreq.text), c.txShown) << c.tx;
        EXPECT_EQ(fakeServer.last(2, 8), c.rxSent) << c.rx;
        EXPECT_EQ(fakeServer.last(255, 8), c.txSent) << c.tx;
        EXPECT_NE(err.find(c.warning), std::string::npos) << err;
        XtDestroyWidget(shell);  // before its record goes
    }
}

TEST(FileMenuDeathTest, TenNamesEndTheProcessWithStatusOne) {
    guiApp();
    char n[10][3] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    char* names[11];
    for (int i = 0; i < 10; ++i) names[i] = n[i];
    names[10] = nullptr;
    MainWindow mw{};
    EXPECT_EXIT(createFileButtons(&mw, names), testing::ExitedWithCode(1),
                "^Too many file names defined in Vorda\n$");
}

// QRT and the File buttons reach the program only through the services the
// window was built with, each for the window it belongs to.
TEST(FileMenu, QrtAndQsoFilesUseTheServicesOfTheirWindow) {
    // Static for the capture-free services; reset for repeated runs.
    static const MainWindow* quitWith;
    static int directoryAsked;
    quitWith = nullptr;
    directoryAsked = 0;
    ConsoleServices services = consoleServices();
    services.quit = [](const MainWindow* mw) { quitWith = mw; };
    services.qsoDirectory = [] {
        ++directoryAsked;
        return std::string("/nonexistent");
    };
    MainWindow mw{};
    AppResources resources{};
    Widget shell = buildSecondWindow({}, &mw, &resources, services);
    XmPushButtonCallbackStruct call{};
    call.reason = XmCR_ACTIVATE;
    XtCallCallbacks(mw.qrtButton, XmNactivateCallback, &call);
    EXPECT_EQ(quitWith, &mw);
    testing::internal::CaptureStderr();  // the unreadable file's cause
    XtCallCallbacks(mw.fileButtons[0], XmNactivateCallback, &call);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(directoryAsked, 1);
    Widget warning = XtNameToWidget(shell, "*fileDiag");
    ASSERT_NE(warning, nullptr);
    const std::string message = labelOf(warning, XmNmessageString);
    EXPECT_NE(message.find("/nonexistent/cq"), std::string::npos) << message;
    XtDestroyWidget(shell);  // its handlers hold this record

    // The warning went with that shell: a window built later gets one of its own
    // instead of the destroyed one.
    MainWindow later{};
    Widget laterShell = buildSecondWindow({}, &later, &resources, services);
    testing::internal::CaptureStderr();
    XtCallCallbacks(later.fileButtons[0], XmNactivateCallback, &call);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(XtNameToWidget(laterShell, "*fileDiag"), nullptr);
    XtDestroyWidget(laterShell);
}

TEST(Layout, DisplayFrameCentredAndRecvMarked) {
    guiApp();
    Dimension formWidth = 0;
    Dimension frameWidth = 0;
    Position frameX = 0;
    int offset = 0;
    XtVaGetValues(mainWindow.mainForm, XmNwidth, &formWidth, nullptr);
    XtVaGetValues(mainWindow.tuning.f4, XmNwidth, &frameWidth, XmNx, &frameX, XmNleftOffset,
                  &offset, nullptr);
    EXPECT_EQ(offset, (formWidth - frameWidth) / 2);
    EXPECT_LE(std::abs(2 * frameX + frameWidth - formWidth), 1);

    Pixel recv = 0;
    XtVaGetValues(mainWindow.controls.recvTB, XmNbackground, &recv, nullptr);
    EXPECT_EQ(recv, mainWindow.panes.look.markColor);
    EXPECT_NE(mainWindow.panes.look.markColor, mainWindow.panes.look.plainColor);
    EXPECT_EQ(mainWindow.controls.trToggles[0], mainWindow.controls.recvTB);
    EXPECT_EQ(mainWindow.controls.trToggles[2], mainWindow.controls.tuneTB);

    // The panes end above the frame of the spectrum display, 8 pixels apart.
    Position paneY = 0;
    Dimension paneHeight = 0;
    Position f4Y = 0;
    XtVaGetValues(mainWindow.panes.paneWin, XmNy, &paneY, XmNheight, &paneHeight, nullptr);
    XtVaGetValues(mainWindow.tuning.f4, XmNy, &f4Y, nullptr);
    EXPECT_EQ(paneY + paneHeight + 8, f4Y);

    // The bottom form spans the window, 8 pixels in from either side.
    Position bottomX = 0;
    Dimension bottomWidth = 0;
    XtVaGetValues(mainWindow.bottomForm, XmNx, &bottomX, XmNwidth, &bottomWidth, nullptr);
    EXPECT_EQ(bottomX, 8);
    EXPECT_EQ(bottomX + bottomWidth + 8, formWidth);
}

// On a shared 8-bit colormap the icon must leave room for the waterfall's 100
// greys: its shades are merged into a few colours near the originals.
TEST(Icon, SharedColormapPictureUsesFewColoursNearTheOriginal) {
    const std::vector<std::string> coarse = coarseIconXpm();
    ASSERT_EQ(coarse.size(), std::size(vordaIconXpm));
    EXPECT_EQ(coarse[0], vordaIconXpm[0]);
    std::set<std::string> distinct;
    int colours = 0;
    for (size_t i = 1; i < coarse.size(); ++i) {
        const std::string original = vordaIconXpm[i];
        const size_t value = original.find(" c #");
        if (value == std::string::npos) {
            EXPECT_EQ(coarse[i], original);  // the pixels themselves
            continue;
        }
        ++colours;
        ASSERT_EQ(coarse[i].substr(0, value + 4), original.substr(0, value + 4));
        distinct.insert(coarse[i].substr(value + 4, 6));
        for (size_t c = 0; c < 3; ++c) {
            const size_t at = value + 4 + 2 * c;
            const long was = std::strtol(original.substr(at, 2).c_str(), nullptr, 16);
            const long now = std::strtol(coarse[i].substr(at, 2).c_str(), nullptr, 16);
            EXPECT_LE(std::labs(now - was), 255 / (2 * (ICON_LEVELS - 1)) + 1) << original;
        }
    }
    EXPECT_EQ(colours, 223);
    EXPECT_LE(distinct.size(), 32u);
}
