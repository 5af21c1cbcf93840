// Secondary decoder windows: which slot opens, what the server is told when a
// window opens, closes and swaps with the main window, the frequency arrows and
// field, the shared pane handlers, and where the windows are kept across runs.
#include <gtest/gtest.h>

#include <Xm/ArrowB.h>
#include <Xm/DrawingA.h>
#include <Xm/PushB.h>
#include <Xm/ScrollBar.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/poll.h"
#include "app/shutdown.h"
#include "app/state_file.h"
#include "fakes/server_fake.h"
#include "gui/display.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"
#include "gui_app.h"

namespace fs = std::filesystem;

namespace {

std::string titleOf(Widget shell) {
    char* title = nullptr;
    XtVaGetValues(shell, XmNtitle, &title, nullptr);
    return title != nullptr ? title : "";
}

bool viewable(Widget shell) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(XtDisplay(shell), XtWindow(shell), &attributes);
    return attributes.map_state == IsViewable;
}

// Where the window really is on the screen.
WindowPosition screenPosition(Widget shell) {
    int x = 0;
    int y = 0;
    Window child = 0;
    Display* display = XtDisplay(shell);
    XTranslateCoordinates(display, XtWindow(shell), DefaultRootWindow(display), 0, 0, &x, &y,
                          &child);
    return {static_cast<int16_t>(x), static_cast<int16_t>(y)};
}

void pressAndSettle(Widget button) {
    press(button);
    settle();
}

// An arrow activation with the click count and modifiers of the operator's click.
void clickArrow(Widget arrow, int clickCount, unsigned int state = 0) {
    XEvent event = buttonEvent(arrow, state);
    XmArrowButtonCallbackStruct call{};
    call.reason = XmCR_ACTIVATE;
    call.event = &event;
    call.click_count = clickCount;
    XtCallCallbacks(arrow, XmNactivateCallback, &call);
}

// Types into a frequency field as the operator does: the text is verified by
// the field's handler, then Enter.
void typeAndEnter(Widget field, const char* text) {
    XmTextFieldSetString(field, const_cast<char*>(""));
    XmTextFieldInsert(field, 0, const_cast<char*>(text));
    callAction(field, "activate", XK_Return);
    settle();
}

ServerStatus receiving(int32_t freq, int32_t dcd) {
    ServerStatus s{};
    s.freq = freq;
    s.dcd = dcd;
    return s;
}

// Broad span (7.8125 Hz a column) around `centre`, with an empty spectrum:
// nothing to snap to, so a click opens exactly on its column.
void quietDisplay(float centre) {
    set_fft_length(mainWindow.tuning.view.geometry, 1024);
    display_set_rx_freq(&mainWindow.tuning.view, centre);
    mainWindow.tuning.view.columns.fill(0.0f);
}

class Secondary : public ::testing::Test {
protected:
    void SetUp() override {
        resetPanes();
        // Every case starts from windows never built, as after start-up.
        resetSecondaryDecoders();
        // Right of where the black-box tests show the program, which share the screen.
        stateValues = StateValues{};
        for (WindowPosition& p : stateValues.decoderPos) p = {700, 400};
        XmToggleButtonSetState(mainWindow.controls.qpskTB, False, False);
        XmToggleButtonSetState(mainWindow.controls.rxFreq.toggle, True, False);
        XmTextFieldSetString(mainWindow.controls.rxFreq.text, const_cast<char*>("1000.0"));
        mainWindow.controls.rxFreq.shownFrequency = 1000.0f;
        quietDisplay(1000.0f);
        settle();
        fakeServer.reset();
    }
};

}  // namespace

TEST_F(Secondary, SlotsOpenInOrderAndAFifthIsRefused) {
    for (int slot = 0; slot < DECODER_SLOTS; ++slot) {
        EXPECT_EQ(decoder_open(&mainWindow, 200 + slot), slot);
        const SecondaryDecoder& d = mainWindow.decoders[slot];
        EXPECT_EQ(d.freq.channel, slot + 3);
        EXPECT_EQ(d.state, 1);
        EXPECT_EQ(titleOf(d.secondaryDiag), "VORDA Secondary RX " + std::to_string(slot + 1));
    }
    settle();
    for (const SecondaryDecoder& d : mainWindow.decoders) EXPECT_TRUE(viewable(d.secondaryDiag));

    const std::size_t before = fakeServer.commands.size();
    testing::internal::CaptureStderr();
    EXPECT_EQ(decoder_open(&mainWindow, 300), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "error: no free decoder channel!\n");
    EXPECT_EQ(fakeServer.commands.size(), before);

    // Closing window 2 frees slot 1: the next click reopens it, not a new window,
    // emptied, with AFC on and the main window's QPSK mode.
    SecondaryDecoder& second = mainWindow.decoders[1];
    const Widget shell = second.secondaryDiag;
    putRxChar(second.pane.text, 'x', 0, XmHIGHLIGHT_NORMAL);
    XmToggleButtonSetState(second.freq.toggle, False, True);
    pressAndSettle(second.closeButton);
    EXPECT_EQ(second.state, 0);
    XmToggleButtonSetState(mainWindow.controls.qpskTB, True, False);
    EXPECT_EQ(decoder_open(&mainWindow, 210), 1);
    EXPECT_EQ(second.secondaryDiag, shell);
    EXPECT_EQ(second.freq.channel, 4);
    EXPECT_EQ(textOf(second.pane.text), "");
    EXPECT_TRUE(XmToggleButtonGetState(second.freq.toggle));
    EXPECT_TRUE(XmToggleButtonGetState(second.qpskTB));
}

TEST_F(Secondary, OpeningAndClosingCommandTheChannel) {
    XmToggleButtonSetState(mainWindow.controls.qpskTB, True, False);
    // Column 230 is 38 columns above the centre: 1000 + 38 x 7.8125 Hz.
    ASSERT_EQ(decoder_open(&mainWindow, 230), 0);
    const SecondaryDecoder& d = mainWindow.decoders[0];
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{3, 7, 1},
                                                             {3, 3, 15},
                                                             {3, 4, 1},
                                                             {3, 5, 0},
                                                             {3, 6, 1},
                                                             {3, 8, 129687}}));
    EXPECT_EQ(textOf(d.freq.text), "1296.9");
    EXPECT_FLOAT_EQ(d.freq.shownFrequency, 1296.875f);
    EXPECT_TRUE(XmToggleButtonGetState(d.freq.toggle));
    EXPECT_TRUE(XmToggleButtonGetState(d.qpskTB));
    EXPECT_FALSE(XmToggleButtonGetState(d.dcdTB));

    // The window's own toggles command its channel only.
    fakeServer.reset();
    XmToggleButtonSetState(d.qpskTB, False, True);
    XmToggleButtonSetState(d.freq.toggle, False, True);
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{3, 4, 0}, {3, 6, 0}}));

    fakeServer.reset();
    pressAndSettle(d.closeButton);
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{3, 7, 128}}));
    EXPECT_EQ(d.state, 0);
    EXPECT_FALSE(viewable(d.secondaryDiag));
}

TEST_F(Secondary, StatusMovesTheFieldBeyondFiveHundredthsOfAHertz) {
    ASSERT_EQ(decoder_open(&mainWindow, 192), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    fakeServer.status[3] = receiving(100005, 1);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(d.freq.text), "1000.0");
    EXPECT_FLOAT_EQ(d.freq.shownFrequency, 1000.0f);
    EXPECT_TRUE(XmToggleButtonGetState(d.dcdTB));
    fakeServer.status[3] = receiving(101260, 0);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(d.freq.text), "1012.6");
    EXPECT_FALSE(XmToggleButtonGetState(d.dcdTB));
}

// The field starts as "1000.0" and the shown frequency as 0: a window opened on
// 0 Hz must say so at once, not when the receiver first moves.
TEST_F(Secondary, AWindowOpenedOnZeroHertzShowsIt) {
    quietDisplay(100.0f);  // column 0 lies below 0 Hz and is limited to it
    ASSERT_EQ(decoder_open(&mainWindow, 0), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    EXPECT_EQ(fakeServer.last(3, 8), 0);
    EXPECT_EQ(textOf(d.freq.text), " 0.0");
    fakeServer.status[3] = receiving(0, 0);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(d.freq.text), " 0.0");

    // A reopened window shows its new frequency even when it equals the old one.
    XmTextFieldSetString(d.freq.text, const_cast<char*>("12"));
    pressAndSettle(d.closeButton);
    ASSERT_EQ(decoder_open(&mainWindow, 0), 0);
    EXPECT_EQ(textOf(d.freq.text), " 0.0");
}

TEST_F(Secondary, RightClickOnTheDisplayOpensAWindowAndLeavesTheMainReceiver) {
    XEvent event = buttonEvent(mainWindow.tuning.wfDA, 0);
    event.xbutton.button = Button3;
    event.xbutton.x = 166;  // 26 columns below the centre
    XmDrawingAreaCallbackStruct call{};
    call.reason = XmCR_INPUT;
    call.event = &event;
    call.window = XtWindow(mainWindow.tuning.wfDA);
    XtCallCallbacks(mainWindow.tuning.wfDA, XmNinputCallback, &call);
    ASSERT_EQ(mainWindow.decoders[0].state, 1);
    EXPECT_EQ(fakeServer.last(3, 8), 79687);  // 1000 - 26 x 7.8125 Hz
    EXPECT_EQ(fakeServer.last(2, 8), -1000);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1000.0");
}

TEST_F(Secondary, OpenDecoderCopiesTheMainTextOnTheMainSignal) {
    // A signal five columns wide centred two columns above the receive frequency.
    for (int column = 192; column <= 196; ++column) mainWindow.tuning.view.columns[column] = 10.0f;
    XmTextSetString(mainWindow.panes.rx.text, const_cast<char*>("cq cq de n0call\nn0call de"));
    XtCallCallbacks(mainWindow.openDecoderItem, XmNactivateCallback, nullptr);
    settle();
    const SecondaryDecoder& d = mainWindow.decoders[0];
    ASSERT_EQ(d.state, 1);
    EXPECT_EQ(textOf(d.pane.text), "cq cq de n0call\nn0call de");
    EXPECT_EQ(textOf(d.freq.text), "1015.6");
    EXPECT_EQ(fakeServer.last(3, 8), 101562);
    // The main window keeps its text and its receiver.
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "cq cq de n0call\nn0call de");
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1000.0");
    EXPECT_EQ(fakeServer.last(2, 8), -1000);
}

TEST_F(Secondary, SwappingTwiceRestoresBothSides) {
    ASSERT_EQ(decoder_open(&mainWindow, 230), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    XmToggleButtonSetState(d.qpskTB, True, True);
    XmToggleButtonSetState(d.freq.toggle, False, True);
    XmTextSetString(mainWindow.panes.rx.text, const_cast<char*>("main side"));
    XmTextSetString(d.pane.text, const_cast<char*>("second side"));
    putRxChar(mainWindow.panes.rx.text, '\xB0', 0, XmHIGHLIGHT_NORMAL);
    putRxChar(d.pane.text, '\xE9', 0, XmHIGHLIGHT_NORMAL);
    mainWindow.panes.rx.scrolledBack = 1;
    d.pane.scrolledBack = 1;
    XtVaSetValues(d.pane.text, XmNbackground, mainWindow.panes.look.markColor, nullptr);

    fakeServer.reset();
    pressAndSettle(d.swapButton);
    const std::vector<FakeCommand> swap = fakeServer.commands;
    ASSERT_FALSE(swap.empty());
    EXPECT_EQ(swap.front(), (FakeCommand{2, 64, 3}));
    EXPECT_EQ(fakeServer.last(2, 8), 129690);   // "1296.9" to the main receiver
    EXPECT_EQ(fakeServer.last(3, 8), 100000);   // "1000.0" to the window's
    // The main QPSK toggle notifies: the main receiver and the transmitter change mode.
    EXPECT_EQ(fakeServer.last(2, 4), 1);
    EXPECT_EQ(fakeServer.last(255, 4), 1);
    EXPECT_EQ(fakeServer.last(2, 6), 0);
    EXPECT_EQ(fakeServer.last(3, 4), -1000);  // the window's channel already has its mode
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "second side\xE9");
    EXPECT_EQ(textOf(d.pane.text), "main side\xB0");
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.controls.qpskTB));
    EXPECT_FALSE(XmToggleButtonGetState(d.qpskTB));
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.controls.rxFreq.toggle));
    EXPECT_TRUE(XmToggleButtonGetState(d.freq.toggle));
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1296.9");
    EXPECT_EQ(textOf(d.freq.text), "1000.0");
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 0);
    EXPECT_EQ(d.pane.scrolledBack, 0);
    EXPECT_EQ(backgroundOf(d.pane.text), mainWindow.panes.look.plainColor);
    EXPECT_EQ(XmTextGetInsertionPosition(d.pane.text), XmTextGetLastPosition(d.pane.text));

    fakeServer.reset();
    pressAndSettle(d.swapButton);
    EXPECT_EQ(fakeServer.commands.front(), (FakeCommand{2, 64, 3}));
    EXPECT_EQ(fakeServer.last(2, 8), 100000);
    EXPECT_EQ(fakeServer.last(3, 8), 129690);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "main side\xB0");
    EXPECT_EQ(textOf(d.pane.text), "second side\xE9");
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.controls.qpskTB));
    EXPECT_TRUE(XmToggleButtonGetState(d.qpskTB));
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.controls.rxFreq.toggle));
    EXPECT_FALSE(XmToggleButtonGetState(d.freq.toggle));
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1000.0");
    EXPECT_EQ(textOf(d.freq.text), "1296.9");
}

namespace {
float secondaryStep(const char* text, bool up, int clickCount, bool shift) {
    return arrow_frequency(text, up, clickCount, shift, ArrowRule::doubleClickFirst);
}
}  // namespace

TEST(SecondaryArrowStep, OneHertzShiftEightDoubleClickSevenMore) {
    EXPECT_FLOAT_EQ(secondaryStep("1000.0", true, 1, false), 1001.0f);
    EXPECT_FLOAT_EQ(secondaryStep("1000.0", false, 1, true), 992.0f);
    EXPECT_FLOAT_EQ(secondaryStep("1000.0", true, 2, false), 1007.0f);
    EXPECT_FLOAT_EQ(secondaryStep("1000.0", true, 2, true), 1007.0f);
    // Limited to 0 to 4000 Hz; "MAXFREQ" is the top, text that is no number counts as 0.
    EXPECT_FLOAT_EQ(secondaryStep("3999.5", true, 1, true), 4000.0f);
    EXPECT_FLOAT_EQ(secondaryStep(" 0.5", false, 1, false), 0.0f);
    EXPECT_FLOAT_EQ(secondaryStep("MAXFREQ", true, 1, false), 4000.0f);
    EXPECT_FLOAT_EQ(secondaryStep("MAXFREQ", false, 1, false), 3999.0f);
    EXPECT_FLOAT_EQ(secondaryStep("-", true, 1, false), 1.0f);
    // The main window's arrows let Shift win over the double click.
    EXPECT_FLOAT_EQ(arrow_frequency("1000.0", true, 2, true, ArrowRule::shiftFirst), 1008.0f);
    EXPECT_FLOAT_EQ(arrow_frequency("1000.0", true, 2, false, ArrowRule::shiftFirst), 1007.0f);
}

TEST_F(Secondary, ArrowsAndTypedValuesAreLimitedToTheBand) {
    ASSERT_EQ(decoder_open(&mainWindow, 192), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    XmTextFieldSetString(d.freq.text, const_cast<char*>("3999.5"));
    fakeServer.reset();
    clickArrow(d.freq.up, 1);
    EXPECT_EQ(textOf(d.freq.text), "4000.0");
    clickArrow(d.freq.up, 1, ShiftMask);
    EXPECT_EQ(textOf(d.freq.text), "4000.0");
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{3, 8, 400000}, {3, 8, 400000}}));

    XmTextFieldSetString(d.freq.text, const_cast<char*>("3.5"));
    clickArrow(d.freq.down, 1);
    clickArrow(d.freq.down, 2);  // the second click of a double click
    EXPECT_EQ(textOf(d.freq.text), " 0.0");
    EXPECT_EQ(fakeServer.last(3, 8), 0);

    // Typed and entered, the value is limited, and the focus goes to "<-> Main".
    fakeServer.reset();
    typeAndEnter(d.freq.text, "5000");
    EXPECT_EQ(textOf(d.freq.text), "MAXFREQ");
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{3, 8, 400000}}));
    clickArrow(d.freq.down, 1);  // "MAXFREQ" is the top of the band
    EXPECT_EQ(textOf(d.freq.text), "3999.0");
    EXPECT_EQ(XmGetFocusWidget(d.secondaryDiag), d.swapButton);
    typeAndEnter(d.freq.text, "1234.5");
    EXPECT_EQ(fakeServer.last(3, 8), 123450);
    // Only digits and the point can be typed.
    XmTextFieldSetString(d.freq.text, const_cast<char*>("12"));
    XmTextFieldInsert(d.freq.text, 2, const_cast<char*>("a-"));
    EXPECT_EQ(textOf(d.freq.text), "12");
}

TEST_F(Secondary, FocusedFieldStaysStillWhileTheReceiverMoves) {
    ASSERT_EQ(decoder_open(&mainWindow, 192), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    fakeServer.reset();
    callFocusCallbacks(d.freq.text, XmCR_FOCUS);
    EXPECT_EQ(d.freq.focused, 1);
    EXPECT_FALSE(XmToggleButtonGetState(d.freq.toggle));  // shown off while typing
    EXPECT_EQ(fakeServer.last(3, 6), -1000);        // the channel's AFC is left alone
    XmTextFieldSetString(d.freq.text, const_cast<char*>("15"));
    fakeServer.status[3] = receiving(150000, 1);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(d.freq.text), "15");
    EXPECT_TRUE(XmToggleButtonGetState(d.dcdTB));

    callFocusCallbacks(d.freq.text, XmCR_LOSING_FOCUS);
    EXPECT_EQ(d.freq.focused, 0);
    EXPECT_TRUE(XmToggleButtonGetState(d.freq.toggle));
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(d.freq.text), "1500.0");
}

TEST_F(Secondary, PaneHoldsAndClearsWithTheSharedHandlers) {
    ASSERT_EQ(decoder_open(&mainWindow, 192), 0);
    SecondaryDecoder& d = mainWindow.decoders[0];
    for (int i = 0; i < 40; ++i) putRxChar(d.pane.text, '\n', 0, XmHIGHLIGHT_NORMAL);
    settle();
    int value = 0;
    int slider = 0;
    int increment = 0;
    int page = 0;
    XmScrollBarGetValues(d.pane.scrollBar, &value, &slider, &increment, &page);
    XmScrollBarSetValues(d.pane.scrollBar, 0, slider, increment, page, True);
    EXPECT_EQ(d.pane.scrolledBack, 1);
    EXPECT_EQ(mainWindow.panes.rx.scrolledBack, 0);
    EXPECT_EQ(backgroundOf(d.pane.text), mainWindow.panes.look.markColor);
    const XmTextPosition top = XmTextGetTopCharacter(d.pane.text);
    putRxChar(d.pane.text, 'k', 0, XmHIGHLIGHT_NORMAL);
    EXPECT_EQ(XmTextGetTopCharacter(d.pane.text), top);

    Widget clear = XtNameToWidget(d.pane.clear.menu, "button_0");
    ASSERT_NE(clear, nullptr);
    XtCallCallbacks(clear, XmNactivateCallback, nullptr);
    EXPECT_EQ(textOf(d.pane.text), "");
    EXPECT_EQ(d.pane.scrolledBack, 0);
}

class SecondaryPositions : public Secondary {
protected:
    void SetUp() override {
        Secondary::SetUp();
        char templ[] = "/tmp/vorda-home-XXXXXX";
        home = mkdtemp(templ);
        saved = std::getenv("HOME") ? std::getenv("HOME") : "";
        setenv("HOME", home.c_str(), 1);
        fs::create_directories(home / ".vordaDir");
    }
    void TearDown() override {
        setenv("HOME", saved.c_str(), 1);
        fs::remove_all(home);
    }
    fs::path home;
    std::string saved;
};

TEST_F(SecondaryPositions, WindowsOpenWhereSavedAndQuitSavesClosedOnesOnly) {
    stateValues.decoderPos[0] = {701, 102};
    stateValues.decoderPos[1] = {702, 202};
    stateValues.decoderPos[2] = {703, 302};
    stateValues.decoderPos[3] = {704, 402};
    stateValues.reserved = 7;
    for (int slot = 0; slot < 3; ++slot) ASSERT_EQ(decoder_open(&mainWindow, 192), slot);
    settle();
    for (int slot = 0; slot < 3; ++slot) {
        const WindowPosition p = screenPosition(mainWindow.decoders[slot].secondaryDiag);
        EXPECT_EQ(p.x, stateValues.decoderPos[slot].x);
        EXPECT_EQ(p.y, stateValues.decoderPos[slot].y);
    }

    // The operator moves windows 1 and 2 (as a window manager would) and
    // closes 1 and 3; a window reopened in the same run stays where it was moved.
    Display* display = XtDisplay(topLevel);
    XMoveWindow(display, XtWindow(mainWindow.decoders[0].secondaryDiag), 750, 160);
    XMoveWindow(display, XtWindow(mainWindow.decoders[1].secondaryDiag), 760, 260);
    settle();
    pressAndSettle(mainWindow.decoders[0].closeButton);
    pressAndSettle(mainWindow.decoders[2].closeButton);
    ASSERT_EQ(decoder_open(&mainWindow, 192), 0);
    settle();
    EXPECT_EQ(screenPosition(mainWindow.decoders[0].secondaryDiag).x, 750);
    pressAndSettle(mainWindow.decoders[0].closeButton);

    EXPECT_EXIT(quitCB(nullptr, &mainWindow, nullptr), testing::ExitedWithCode(0), "^Writing .*");
    std::ifstream in(home / ".vordaDir" / ".vorda.dat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Window 2 is open: its start-up position is kept; window 4 was never opened.
    EXPECT_EQ(text, "750\n160\n702\n202\n703\n302\n704\n402\n7\n");
}

TEST_F(SecondaryPositions, SavedPositionsOffTheScreenOpenOnIt) {
    // 32767, -32768 from an edited or foreign state file once opened the window
    // where nobody could see it.
    stateValues.decoderPos[0] = {32767, -32768};
    stateValues.decoderPos[1] = {-5, 30000};
    for (int slot = 0; slot < 2; ++slot) ASSERT_EQ(decoder_open(&mainWindow, 192), slot);
    settle();
    Screen* screen = XtScreen(topLevel);
    for (int slot = 0; slot < 2; ++slot) {
        Widget shell = mainWindow.decoders[slot].secondaryDiag;
        Dimension width = 0;
        Dimension height = 0;
        XtVaGetValues(shell, XmNwidth, &width, XmNheight, &height, nullptr);
        const WindowPosition p = screenPosition(shell);
        EXPECT_GE(p.x, 0) << slot;
        EXPECT_GE(p.y, 0) << slot;
        EXPECT_LE(p.x + std::min<int>(width, 64), WidthOfScreen(screen)) << slot;
        EXPECT_LE(p.y + std::min<int>(height, 64), HeightOfScreen(screen)) << slot;
    }
    EXPECT_EQ(screenPosition(mainWindow.decoders[0].secondaryDiag).y, 0);
    EXPECT_EQ(screenPosition(mainWindow.decoders[1].secondaryDiag).x, 0);
}
