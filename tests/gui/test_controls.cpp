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
        trState = 0;
        XmToggleButtonSetState(mainWindow.cwIdTB, True, False);
        XmToggleButtonSetState(mainWindow.netTB, False, False);
        XmToggleButtonSetState(mainWindow.afcTB, True, False);
        setFrequencyText(mainWindow.rxFreqText, "1000.0");
        setFrequencyText(mainWindow.txFreqText, "1000.0");
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
    setFrequencyText(mainWindow.rxFreqText, "1012.5");
    XmToggleButtonSetState(mainWindow.cwIdTB, c.cwId ? True : False, False);
    activate(mainWindow.*c.from);
    settle();
    XmToggleButtonSetState(mainWindow.netTB, c.net ? True : False, False);
    fakeServer.reset();

    activate(mainWindow.*c.to);
    settle();
    EXPECT_EQ(fakeServer.commands, c.commands);
    EXPECT_EQ(fakeServer.sent, c.sent);
    if (!c.sent.empty()) {
        EXPECT_EQ(fakeServer.sentAfter, std::vector<size_t>{c.sentAfter});
    }
    EXPECT_EQ(trState, c.trStateAfter);
    if (c.net && !c.commands.empty()) {
        EXPECT_EQ(textOf(mainWindow.txFreqText), "1012.5");
    }

    // Only the button of the state asked for is set, and marked once the state changed.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(XmToggleButtonGetState(mainWindow.trToggles[i]), i == c.trStateAfter) << i;
        if (c.commands.empty() && i != c.trStateAfter) continue;
        EXPECT_EQ(backgroundOf(mainWindow.trToggles[i]), i == c.trStateAfter
                                                             ? markColor
                                                             : mainWindow.trPlainColor)
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
    clickToggle(mainWindow.xmitTB);
    settle();
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{pskMode, whenClear}));
    fakeServer.reset();
    clickToggle(mainWindow.xmitTB);
    settle();
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.xmitTB));
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
    clickToggle(mainWindow.recvTB);
    settle();
    EXPECT_EQ(fakeServer.sent, " de N0CALL");
    EXPECT_EQ(trState, 0);
}

TEST_F(Controls, RadioGroupUnsetsTheOldToggleBeforeSettingTheNewOne) {
    std::vector<std::pair<std::string, int>> order;
    auto record = [](Widget w, XtPointer log, XtPointer call) {
        static_cast<std::vector<std::pair<std::string, int>>*>(log)->emplace_back(
            XtName(w), static_cast<XmToggleButtonCallbackStruct*>(call)->set);
    };
    XtCallbackProc recorder = record;
    for (Widget w : {mainWindow.saTB, mainWindow.wfTB, mainWindow.recvTB, mainWindow.tuneTB}) {
        XtAddCallback(w, XmNvalueChangedCallback, recorder, &order);
    }

    activate(mainWindow.spectrumItem);
    EXPECT_EQ(vordaDisplay.mode, 0);
    activate(mainWindow.waterfallItem);
    EXPECT_EQ(vordaDisplay.mode, 1);
    activate(mainWindow.tuneItem);
    const std::vector<std::pair<std::string, int>> expected = {
        {"wfTB", 0}, {"saTB", 1}, {"saTB", 0}, {"wfTB", 1}, {"Recv", 0}, {"Tune", 1}};
    EXPECT_EQ(order, expected);
    // Recv's notification came first, while the state was still 0: no end of transmission.
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{tuneMode, atOnce}));

    for (Widget w : {mainWindow.saTB, mainWindow.wfTB, mainWindow.recvTB, mainWindow.tuneTB}) {
        XtRemoveCallback(w, XmNvalueChangedCallback, recorder, &order);
    }
}

TEST_F(Controls, FrequencyFieldsTakeOnlyDigitsAndPoints) {
    Widget field = mainWindow.rxFreqText;
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
    setFrequencyText(mainWindow.rxFreqText, "5000");
    pressEnter(mainWindow.rxFreqText);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), "MAXFREQ");
    EXPECT_EQ(commandsOn(2, 8), (std::vector<FakeCommand>{{2, 8, 400000}}));
    // "MAXFREQ" stands for 4000 Hz wherever the field is read: by an arrow, by
    // NET at Xmit and by Enter.
    arrowClick(mainWindow.rxUpArrow, 0, 1);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), "4000.0");
    EXPECT_EQ(fakeServer.last(2, 8), 400000);
    setFrequencyText(mainWindow.rxFreqText, "MAXFREQ");
    arrowClick(mainWindow.rxDownArrow, 0, 1);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), "3999.0");
    setFrequencyText(mainWindow.rxFreqText, "MAXFREQ");
    XmToggleButtonSetState(mainWindow.netTB, True, False);
    activate(mainWindow.xmitItem);
    activate(mainWindow.recvItem);
    XmToggleButtonSetState(mainWindow.netTB, False, False);
    EXPECT_EQ(textOf(mainWindow.txFreqText), "MAXFREQ");
    EXPECT_EQ(fakeServer.last(255, 8), 400000);
    pressEnter(mainWindow.rxFreqText);
    EXPECT_EQ(fakeServer.last(2, 8), 400000);

    setFrequencyText(mainWindow.txFreqText, "2125.5");
    pressEnter(mainWindow.txFreqText);
    EXPECT_EQ(fakeServer.last(255, 8), 212550);
    EXPECT_EQ(textOf(mainWindow.txFreqText), "2125.5");
    EXPECT_EQ(commandsOn(2, 8).size(), 4u);
}

TEST_F(Controls, FieldsWithoutAnOwnerOrForAnotherReasonSayWhy) {
    Widget shell = testShell("freqTextOwnerless");
    Widget field = XtVaCreateManagedWidget("loneField", xmTextFieldWidgetClass, shell,
                                           XmNuserData, reinterpret_cast<XtPointer>('X'),
                                           nullptr);
    XtAddCallback(field, XmNactivateCallback, freqTextCB, nullptr);
    XtRealizeWidget(shell);
    setFrequencyText(field, "1500");
    testing::internal::CaptureStderr();
    pressEnter(field);
    XmAnyCallbackStruct other{};
    other.reason = XmCR_VALUE_CHANGED;
    freqTextCB(field, nullptr, &other);
    rxFreqFocusCB(mainWindow.rxFreqText, &mainWindow, &other);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "callback with cdata==NULL and userData=0x58 (X)\n"
              "freqTextCB - unexpected callback type\n"
              "rxFreqFocusCB: gain/losing focus error\n");
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
    XtDestroyWidget(shell);
}

TEST_F(Controls, ArrowsStepWithinZeroToFourKilohertz) {
    setFrequencyText(mainWindow.rxFreqText, "3999.5");
    arrowClick(mainWindow.rxUpArrow, 0, 1);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), "4000.0");
    arrowClick(mainWindow.rxUpArrow, 0, 1);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), "4000.0");
    setFrequencyText(mainWindow.rxFreqText, "0.5");
    arrowClick(mainWindow.rxDownArrow, 0, 1);
    EXPECT_EQ(textOf(mainWindow.rxFreqText), " 0.0");
    EXPECT_EQ(commandsOn(2, 8),
              (std::vector<FakeCommand>{{2, 8, 400000}, {2, 8, 400000}, {2, 8, 0}}));

    // Shift moves 8 Hz; a double click's second activation 7 Hz (8 in all).
    setFrequencyText(mainWindow.txFreqText, "1000.0");
    arrowClick(mainWindow.txUpArrow, ShiftMask, 1);
    EXPECT_EQ(textOf(mainWindow.txFreqText), "1008.0");
    arrowClick(mainWindow.txDownArrow, 0, 1);
    arrowClick(mainWindow.txDownArrow, 0, 2);
    EXPECT_EQ(textOf(mainWindow.txFreqText), "1000.0");
    arrowClick(mainWindow.txDownArrow, ShiftMask, 2);
    EXPECT_EQ(textOf(mainWindow.txFreqText), "992.0");
    EXPECT_EQ(commandsOn(255, 8), (std::vector<FakeCommand>{
                                      {255, 8, 100800}, {255, 8, 100700}, {255, 8, 100000},
                                      {255, 8, 99200}}));
}

// Marked controls come back to the colours the resource file gives them, as a
// window that was never touched shows them.
TEST_F(Controls, UnmarkedControlsShowTheirResourceColoursAfterEachChange) {
    MainWindow fresh{};
    AppResources resources{};
    buildSecondWindow({}, &fresh, &resources);
    const Pixel button = backgroundOf(fresh.xmitTB);
    for (Widget MainWindow::*item : {&MW::xmitItem, &MW::tuneItem, &MW::xmitItem, &MW::recvItem}) {
        activate(mainWindow.*item);
        settle();
        for (Widget toggle : mainWindow.trToggles) {
            EXPECT_EQ(backgroundOf(toggle),
                      XmToggleButtonGetState(toggle) ? markColor : button)
                << XtName(mainWindow.*item) << ": " << XtName(toggle);
        }
    }
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_FOCUS);
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_LOSING_FOCUS);
    EXPECT_EQ(backgroundOf(mainWindow.rxFreqText), backgroundOf(fresh.rxFreqText));
    EXPECT_EQ(plainColor, backgroundOf(fresh.rxText));  // a receive pane back at its end
}

TEST_F(Controls, FocusOnTheReceiveFieldHoldsAfcOff) {
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_FOCUS);
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.afcTB));
    EXPECT_EQ(mainWindow.rxFreqFocused, 1);
    EXPECT_EQ(backgroundOf(mainWindow.rxFreqText), markColor);
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_LOSING_FOCUS);
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.afcTB));
    EXPECT_EQ(mainWindow.rxFreqFocused, 0);
    EXPECT_EQ(backgroundOf(mainWindow.rxFreqText), plainColor);
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{2, 6, 0}, {2, 6, 1}}));

    // With AFC off it stays off, and nothing is sent.
    XmToggleButtonSetState(mainWindow.afcTB, False, False);
    fakeServer.reset();
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_FOCUS);
    callFocusCallbacks(mainWindow.rxFreqText, XmCR_LOSING_FOCUS);
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.afcTB));
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
}

TEST_F(Controls, ModeTogglesCommandReceiverAndTransmitter) {
    XmToggleButtonSetState(mainWindow.qpskTB, True, True);
    XmToggleButtonSetState(mainWindow.lsbTB, True, True);
    XmToggleButtonSetState(mainWindow.qpskTB, False, True);
    XmToggleButtonSetState(mainWindow.afcTB, False, True);
    // DCD writes the inverse of its new state: the receiver's flag takes the old one.
    XmToggleButtonSetState(mainWindow.dcdTB, True, True);
    XmToggleButtonSetState(mainWindow.dcdTB, False, True);
    const std::vector<FakeCommand> expected = {{2, 4, 1}, {255, 4, 1}, {2, 5, 1}, {255, 5, 1},
                                               {2, 4, 0}, {255, 4, 0}, {2, 6, 0}, {2, 2, 0},
                                               {2, 2, 1}};
    EXPECT_EQ(fakeServer.commands, expected);

    XmToggleButtonSetState(mainWindow.netTB, True, True);
    EXPECT_EQ(mainWindow.net, 1);
    XmToggleButtonSetState(mainWindow.netTB, False, True);
    EXPECT_EQ(mainWindow.net, 0);
    EXPECT_EQ(fakeServer.commands.size(), expected.size());
    XmToggleButtonSetState(mainWindow.lsbTB, False, False);
}
