// The operating controls: what Recv, Xmit and Tune send from each state, the
// radio groups' notification order, frequency fields typed, entered and stepped
// by the arrows, focus turning AFC off and back, and the mode toggles.
#include <gtest/gtest.h>

#include <Xm/ArrowB.h>
#include <Xm/PushB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <optional>
#include <string>
#include <vector>

#include "app/resources.h"
#include "fakes/server_fake.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui_app.h"
#include "window_state.h"

namespace {

void activate(Widget item) {
    XmPushButtonCallbackStruct call{};
    call.reason = XmCR_ACTIVATE;
    call.click_count = 1;
    XtCallCallbacks(item, XmNactivateCallback, &call);
}

// The toggle's own actions, as a click with button 1 at its middle runs them.
void clickToggle(Widget toggle) {
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(toggle, XmNwidth, &width, XmNheight, &height, nullptr);
    XEvent e{};
    e.xbutton.type = ButtonPress;
    e.xbutton.display = XtDisplay(toggle);
    e.xbutton.window = XtWindow(toggle);
    e.xbutton.button = Button1;
    e.xbutton.x = width / 2;
    e.xbutton.y = height / 2;
    e.xbutton.time = CurrentTime;
    XtCallActionProc(toggle, "Arm", &e, nullptr, 0);
    e.xbutton.type = ButtonRelease;
    XtCallActionProc(toggle, "Select", &e, nullptr, 0);
    XtCallActionProc(toggle, "Disarm", &e, nullptr, 0);
}

void arrowClick(Widget arrow, unsigned state, int clickCount) {
    XEvent e{};
    e.xbutton.type = ButtonRelease;
    e.xbutton.display = XtDisplay(arrow);
    e.xbutton.window = XtWindow(arrow);
    e.xbutton.button = Button1;
    e.xbutton.state = state;
    XmArrowButtonCallbackStruct call{};
    call.reason = XmCR_ACTIVATE;
    call.event = &e;
    call.click_count = clickCount;
    XtCallCallbacks(arrow, XmNactivateCallback, &call);
}

void pressEnter(Widget field) { callAction(field, "activate", XK_Return); }

std::vector<FakeCommand> commandsOn(int32_t channel, int32_t spec) {
    std::vector<FakeCommand> result;
    for (const FakeCommand& c : fakeServer.commands) {
        if (c.channel == channel && c.spec == spec) result.push_back(c);
    }
    return result;
}

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        resetPanes();
        state.emplace();
        // Back to receiving, quietly, with the resource file's toggles.
        activate(mainWindow.recvItem);
        mainWindow.controls.trState = 0;
        XmToggleButtonSetState(mainWindow.controls.cwIdTB, True, False);
        XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, False, False);
        XmToggleButtonSetState(mainWindow.controls.rxFreq.toggle, True, False);
        setFrequencyText(mainWindow.controls.rxFreq.text, "1000.0");
        setFrequencyText(mainWindow.controls.txFreq.text, "1000.0");
        settle();
        fakeServer.reset();
    }
    void TearDown() override { state.reset(); }

    std::optional<WindowState> state;
};

struct TrCase {
    const char* name;
    Widget MainWindow::*from;  // menu item that sets the state first
    Widget MainWindow::*to;
    bool cwId;
    bool net;
    std::vector<FakeCommand> commands;
    std::string sent;         // handed to the transmitter as text
    size_t sentAfter;         // commands before the text
    int trStateAfter;
};

class TrTransitions : public Controls, public ::testing::WithParamInterface<TrCase> {};

using MW = MainWindow;
const FakeCommand pskMode{255, 7, 1};
const FakeCommand tuneMode{255, 7, 4};
const FakeCommand morseMode{255, 7, 2};
const FakeCommand whenClear{255, 1, 1};
const FakeCommand atOnce{255, 1, 17};
const FakeCommand endAfterQueue{255, 1, 0};
const FakeCommand netFrequency{255, 8, 101250};

INSTANTIATE_TEST_SUITE_P(
    FromEachState, TrTransitions,
    ::testing::Values(
        TrCase{"RecvToXmit", &MW::recvItem, &MW::xmitItem, true, false, {pskMode, whenClear}, "",
               0, 1},
        TrCase{"RecvToXmitWithNet", &MW::recvItem, &MW::xmitItem, true, true,
               {netFrequency, pskMode, whenClear}, "", 0, 1},
        TrCase{"RecvToTune", &MW::recvItem, &MW::tuneItem, true, false, {tuneMode, atOnce}, "", 0,
               2},
        TrCase{"RecvToTuneWithNet", &MW::recvItem, &MW::tuneItem, false, true,
               {netFrequency, tuneMode, atOnce}, "", 0, 2},
        TrCase{"RecvToRecv", &MW::recvItem, &MW::recvItem, true, true, {}, "", 0, 0},
        TrCase{"XmitToRecvWithCwId", &MW::xmitItem, &MW::recvItem, true, false,
               {morseMode, endAfterQueue, pskMode}, " de N0CALL", 1, 0},
        TrCase{"XmitToRecv", &MW::xmitItem, &MW::recvItem, false, false,
               {endAfterQueue, pskMode}, "", 0, 0},
        TrCase{"XmitToTune", &MW::xmitItem, &MW::tuneItem, true, false, {tuneMode}, "", 0, 2},
        TrCase{"XmitToTuneWithNet", &MW::xmitItem, &MW::tuneItem, true, true,
               {netFrequency, tuneMode}, "", 0, 2},
        TrCase{"XmitToXmit", &MW::xmitItem, &MW::xmitItem, true, true, {}, "", 0, 1},
        TrCase{"TuneToRecvNeverIdentifies", &MW::tuneItem, &MW::recvItem, true, false,
               {endAfterQueue, pskMode}, "", 0, 0},
        TrCase{"TuneToXmit", &MW::tuneItem, &MW::xmitItem, true, false, {pskMode}, "", 0, 1},
        TrCase{"TuneToTune", &MW::tuneItem, &MW::tuneItem, true, false, {}, "", 0, 2}),
    [](const ::testing::TestParamInfo<TrCase>& info) { return std::string(info.param.name); });

}  // namespace

TEST_P(TrTransitions, SendExactlyThisSequence) {
    const TrCase& c = GetParam();
    setFrequencyText(mainWindow.controls.rxFreq.text, "1012.5");
    XmToggleButtonSetState(mainWindow.controls.cwIdTB, c.cwId ? True : False, False);
    activate(mainWindow.*c.from);
    settle();
    XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, c.net ? True : False, False);
    fakeServer.reset();

    activate(mainWindow.*c.to);
    settle();
    EXPECT_EQ(fakeServer.commands, c.commands);
    EXPECT_EQ(fakeServer.sent, c.sent);
    if (!c.sent.empty()) {
        EXPECT_EQ(fakeServer.sentAfter, std::vector<size_t>{c.sentAfter});
    }
    EXPECT_EQ(mainWindow.controls.trState, c.trStateAfter);
    if (c.net && !c.commands.empty()) {
        EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "1012.5");
    }

    // Only the button of the state asked for is set, and marked once the state changed.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(XmToggleButtonGetState(mainWindow.controls.trToggles[i]), i == c.trStateAfter)
            << i;
        if (c.commands.empty() && i != c.trStateAfter) continue;
        EXPECT_EQ(backgroundOf(mainWindow.controls.trToggles[i]), i == c.trStateAfter
                                                             ? mainWindow.panes.look.markColor
                                                             : mainWindow.controls.trPlainColor)
            << i;
    }
}

TEST_F(Controls, IdentificationSendsAtMostFifteenCharactersOfTheCall) {
    char longCall[] = "ABCDEFGHIJKLMNOPQRS";
    appResources.call = longCall;
    activate(mainWindow.xmitItem);
    fakeServer.reset();
    activate(mainWindow.recvItem);
    EXPECT_EQ(fakeServer.sent, " de ABCDEFGHIJKLMNO");
}

TEST_F(Controls, ClickingTheButtonsRunsTheSameHandlers) {
    // Xmit clicked, then Xmit clicked again (a radio box keeps its set toggle set).
    clickToggle(mainWindow.controls.xmitTB);
    settle();
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{pskMode, whenClear}));
    fakeServer.reset();
    clickToggle(mainWindow.controls.xmitTB);
    settle();
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.controls.xmitTB));
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
    clickToggle(mainWindow.controls.recvTB);
    settle();
    EXPECT_EQ(fakeServer.sent, " de N0CALL");
    EXPECT_EQ(mainWindow.controls.trState, 0);
}

TEST_F(Controls, RadioGroupUnsetsTheOldToggleBeforeSettingTheNewOne) {
    std::vector<std::pair<std::string, int>> order;
    auto record = [](Widget w, XtPointer log, XtPointer call) {
        static_cast<std::vector<std::pair<std::string, int>>*>(log)->emplace_back(
            XtName(w), static_cast<XmToggleButtonCallbackStruct*>(call)->set);
    };
    XtCallbackProc recorder = record;
    for (Widget w : {mainWindow.tuning.saTB, mainWindow.tuning.wfTB, mainWindow.controls.recvTB,
                     mainWindow.controls.tuneTB}) {
        XtAddCallback(w, XmNvalueChangedCallback, recorder, &order);
    }

    activate(mainWindow.spectrumItem);
    EXPECT_EQ(mainWindow.tuning.view.mode, 0);
    activate(mainWindow.waterfallItem);
    EXPECT_EQ(mainWindow.tuning.view.mode, 1);
    activate(mainWindow.tuneItem);
    const std::vector<std::pair<std::string, int>> expected = {
        {"wfTB", 0}, {"saTB", 1}, {"saTB", 0}, {"wfTB", 1}, {"Recv", 0}, {"Tune", 1}};
    EXPECT_EQ(order, expected);
    // Recv's notification came first, while the state was still 0: no end of transmission.
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{tuneMode, atOnce}));

    for (Widget w : {mainWindow.tuning.saTB, mainWindow.tuning.wfTB, mainWindow.controls.recvTB,
                     mainWindow.controls.tuneTB}) {
        XtRemoveCallback(w, XmNvalueChangedCallback, recorder, &order);
    }
}

TEST_F(Controls, FrequencyFieldsTakeOnlyDigitsAndPoints) {
    Widget field = mainWindow.controls.rxFreq.text;
    setFrequencyText(field, "");
    for (KeySym k : {XK_1, XK_a, XK_2, XK_space, XK_minus, XK_period, XK_5, XK_plus}) {
        callAction(field, "self-insert", k);
    }
    EXPECT_EQ(textOf(field), "12.5");

    // A paste comes as one insertion: refused as a whole when anything is not a digit.
    XmTextFieldInsert(field, 4, const_cast<char*>("3x"));
    EXPECT_EQ(textOf(field), "12.5");
    XmTextFieldInsert(field, 0, const_cast<char*>("10"));
    EXPECT_EQ(textOf(field), "1012.5");
    XmTextFieldReplace(field, 0, 2, const_cast<char*>(""));
    EXPECT_EQ(textOf(field), "12.5");
    // The program's own texts are not typing.
    setFrequencyText(field, " 0.5");
    EXPECT_EQ(textOf(field), " 0.5");
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
}

TEST_F(Controls, EnterSendsTheFieldsFrequencyLimitedToFourKilohertz) {
    setFrequencyText(mainWindow.controls.rxFreq.text, "5000");
    pressEnter(mainWindow.controls.rxFreq.text);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "MAXFREQ");
    EXPECT_EQ(commandsOn(2, 8), (std::vector<FakeCommand>{{2, 8, 400000}}));
    // "MAXFREQ" stands for 4000 Hz wherever the field is read: by an arrow, by
    // NET at Xmit and by Enter.
    arrowClick(mainWindow.controls.rxFreq.up, 0, 1);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "4000.0");
    EXPECT_EQ(fakeServer.last(2, 8), 400000);
    setFrequencyText(mainWindow.controls.rxFreq.text, "MAXFREQ");
    arrowClick(mainWindow.controls.rxFreq.down, 0, 1);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "3999.0");
    setFrequencyText(mainWindow.controls.rxFreq.text, "MAXFREQ");
    XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, True, False);
    activate(mainWindow.xmitItem);
    activate(mainWindow.recvItem);
    XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, False, False);
    EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "MAXFREQ");
    EXPECT_EQ(fakeServer.last(255, 8), 400000);
    pressEnter(mainWindow.controls.rxFreq.text);
    EXPECT_EQ(fakeServer.last(2, 8), 400000);

    setFrequencyText(mainWindow.controls.txFreq.text, "2125.5");
    pressEnter(mainWindow.controls.txFreq.text);
    EXPECT_EQ(fakeServer.last(255, 8), 212550);
    EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "2125.5");
    EXPECT_EQ(commandsOn(2, 8).size(), 4u);
}

// Every field's handlers carry its record, so only a call for a reason they do not
// serve is left to report.
TEST_F(Controls, FieldHandlersCalledForAnotherReasonSayWhy) {
    Widget field = mainWindow.controls.rxFreq.text;
    testing::internal::CaptureStderr();
    XmAnyCallbackStruct other{};
    other.reason = XmCR_VALUE_CHANGED;
    XtCallCallbacks(field, XmNactivateCallback, &other);
    XtCallCallbacks(field, XmNfocusCallback, &other);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "freqTextCB - unexpected callback type\n"
              "rxFreqFocusCB: gain/losing focus error\n");
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
    EXPECT_EQ(mainWindow.controls.rxFreq.focused, 0);
}

TEST_F(Controls, ArrowsStepWithinZeroToFourKilohertz) {
    setFrequencyText(mainWindow.controls.rxFreq.text, "3999.5");
    arrowClick(mainWindow.controls.rxFreq.up, 0, 1);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "4000.0");
    arrowClick(mainWindow.controls.rxFreq.up, 0, 1);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "4000.0");
    setFrequencyText(mainWindow.controls.rxFreq.text, "0.5");
    arrowClick(mainWindow.controls.rxFreq.down, 0, 1);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), " 0.0");
    EXPECT_EQ(commandsOn(2, 8),
              (std::vector<FakeCommand>{{2, 8, 400000}, {2, 8, 400000}, {2, 8, 0}}));

    // Shift moves 8 Hz; a double click's second activation 7 Hz (8 in all).
    setFrequencyText(mainWindow.controls.txFreq.text, "1000.0");
    arrowClick(mainWindow.controls.txFreq.up, ShiftMask, 1);
    EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "1008.0");
    arrowClick(mainWindow.controls.txFreq.down, 0, 1);
    arrowClick(mainWindow.controls.txFreq.down, 0, 2);
    EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "1000.0");
    arrowClick(mainWindow.controls.txFreq.down, ShiftMask, 2);
    EXPECT_EQ(textOf(mainWindow.controls.txFreq.text), "992.0");
    EXPECT_EQ(commandsOn(255, 8), (std::vector<FakeCommand>{
                                      {255, 8, 100800}, {255, 8, 100700}, {255, 8, 100000},
                                      {255, 8, 99200}}));
}

// Marked controls come back to the colours the resource file gives them, as a
// window that was never touched shows them.
TEST_F(Controls, UnmarkedControlsShowTheirResourceColoursAfterEachChange) {
    MainWindow fresh{};
    AppResources resources{};
    Widget shell = buildSecondWindow({}, &fresh, &resources);
    const Pixel button = backgroundOf(fresh.controls.xmitTB);
    for (Widget MainWindow::*item : {&MW::xmitItem, &MW::tuneItem, &MW::xmitItem, &MW::recvItem}) {
        activate(mainWindow.*item);
        settle();
        for (Widget toggle : mainWindow.controls.trToggles) {
            EXPECT_EQ(backgroundOf(toggle),
                      XmToggleButtonGetState(toggle) ? mainWindow.panes.look.markColor : button)
                << XtName(mainWindow.*item) << ": " << XtName(toggle);
        }
    }
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_FOCUS);
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_LOSING_FOCUS);
    EXPECT_EQ(backgroundOf(mainWindow.controls.rxFreq.text),
              backgroundOf(fresh.controls.rxFreq.text));
    // A receive pane back at its end.
    EXPECT_EQ(mainWindow.panes.look.plainColor, backgroundOf(fresh.panes.rx.text));
    XtDestroyWidget(shell);  // its handlers hold this record
}

TEST_F(Controls, FocusOnTheReceiveFieldHoldsAfcOff) {
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_FOCUS);
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.controls.rxFreq.toggle));
    EXPECT_EQ(mainWindow.controls.rxFreq.focused, 1);
    EXPECT_EQ(backgroundOf(mainWindow.controls.rxFreq.text), mainWindow.panes.look.markColor);
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_LOSING_FOCUS);
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.controls.rxFreq.toggle));
    EXPECT_EQ(mainWindow.controls.rxFreq.focused, 0);
    EXPECT_EQ(backgroundOf(mainWindow.controls.rxFreq.text), mainWindow.panes.look.plainColor);
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{2, 6, 0}, {2, 6, 1}}));

    // With AFC off it stays off, and nothing is sent.
    XmToggleButtonSetState(mainWindow.controls.rxFreq.toggle, False, False);
    fakeServer.reset();
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_FOCUS);
    callFocusCallbacks(mainWindow.controls.rxFreq.text, XmCR_LOSING_FOCUS);
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.controls.rxFreq.toggle));
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
}

TEST_F(Controls, ModeTogglesCommandReceiverAndTransmitter) {
    XmToggleButtonSetState(mainWindow.controls.qpskTB, True, True);
    XmToggleButtonSetState(mainWindow.controls.lsbTB, True, True);
    XmToggleButtonSetState(mainWindow.controls.qpskTB, False, True);
    XmToggleButtonSetState(mainWindow.controls.rxFreq.toggle, False, True);
    // DCD writes the inverse of its new state: the receiver's flag takes the old one.
    XmToggleButtonSetState(mainWindow.controls.dcdTB, True, True);
    XmToggleButtonSetState(mainWindow.controls.dcdTB, False, True);
    const std::vector<FakeCommand> expected = {{2, 4, 1}, {255, 4, 1}, {2, 5, 1}, {255, 5, 1},
                                               {2, 4, 0}, {255, 4, 0}, {2, 6, 0}, {2, 2, 0},
                                               {2, 2, 1}};
    EXPECT_EQ(fakeServer.commands, expected);

    XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, True, True);
    EXPECT_EQ(mainWindow.controls.net, 1);
    XmToggleButtonSetState(mainWindow.controls.txFreq.toggle, False, True);
    EXPECT_EQ(mainWindow.controls.net, 0);
    EXPECT_EQ(fakeServer.commands.size(), expected.size());
    XmToggleButtonSetState(mainWindow.controls.lsbTB, False, False);
}
