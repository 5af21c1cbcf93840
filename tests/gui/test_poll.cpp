// The poll loop: channels drained into the panes in order, the main status
// into DCD, the frequency field and the phase scope, and the open secondary
// decoders served.
#include <gtest/gtest.h>

#include <Xm/DrawingA.h>
#include <Xm/Form.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <string>

#include "app/poll.h"
#include "app/resources.h"
#include "fakes/server_fake.h"
#include "gui/display.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui_app.h"

namespace {

ServerStatus receiving(int32_t freq, int32_t dcd, int32_t phase, int32_t strength) {
    ServerStatus s{};
    s.freq = freq;
    s.dcd = dcd;
    s.phase = phase;
    s.strength = strength;
    return s;
}

class Poll : public ::testing::Test {
protected:
    void SetUp() override {
        resetPanes();
        mainWindow.controls.rxFreq.shownFrequency = 0.0f;
        unkeyedTold = 0;
        unkeyFailedTold = 0;
        appResources.keying = PttMethod::cat;
        resetSecondaryDecoders();
        // No spectrum display set up (a display test may have left one): the
        // channels read are the text channels alone.
        mainWindow.tuning.view.geometry.fft_length = 0;
        fakeServer.status[2] = receiving(100000, 0, 0, 0);
    }
};

}  // namespace

TEST_F(Poll, EchoComesBeforeReceivedTextOfTheSameCycle) {
    fakeServer.queue(2, "cd");
    fakeServer.queue(0, "ab");
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "abcd");
    EXPECT_EQ(fakeServer.reads, (std::vector<int32_t>{0, 2}));
    // Echo in the resource file's xmitHighlight mode, received text plain.
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 0), appResources.xmitHighlight);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 1), appResources.xmitHighlight);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 2), XmHIGHLIGHT_NORMAL);
    EXPECT_NE(appResources.xmitHighlight, XmHIGHLIGHT_NORMAL);
}

// Never transmitting unkeyed in silence, and never once per cycle of one transmission.
TEST_F(Poll, EachUnkeyedTransmissionAndRefusedUnkeyIsToldOnceOnALineOfItsOwn) {
    const std::string unkeyed =
        "PTT by CAT is not working: this transmission does not key the radio\n";
    const std::string refused =
        "PTT by CAT: the radio refused to unkey and may still be transmitting\n";
    fakeServer.queue(0, "cq de");
    fakeServer.status[2].unkeyed = 1;
    pollProc(&mainWindow);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text), "cq de\n" + unkeyed);
    fakeServer.queue(0, "k");
    fakeServer.status[2].unkeyed = 3;
    fakeServer.status[2].unkey_failed = 1;
    pollProc(&mainWindow);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text),
              "cq de\n" + unkeyed + "k\n" + unkeyed + unkeyed + refused);
    EXPECT_EQ(highlightAt(mainWindow.panes.rx.text, 7), XmHIGHLIGHT_NORMAL) << "not marked as sent";
}

TEST_F(Poll, DrainsAtMost256BytesPerChannelAndCycle) {
    fakeServer.queue(2, std::string(300, 'x'));
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text).size(), 256u);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.panes.rx.text).size(), 300u);
}

TEST_F(Poll, StatusReachesDcdFrequencyFieldAndScope) {
    fakeServer.status[2] = receiving(123456, 1, 64, 20);
    pollProc(&mainWindow);
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.controls.dcdTB));
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1234.6");
    EXPECT_FLOAT_EQ(appResources.rxFreq, 1234.56f);
    EXPECT_EQ(mainWindow.scope.previousX, mainWindow.scope.centreX - 20);  // phase 64 points left
    EXPECT_EQ(mainWindow.scope.previousY, mainWindow.scope.centreY);

    fakeServer.status[2] = receiving(123456, 0, 0, 0);
    pollProc(&mainWindow);
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.controls.dcdTB));
}

TEST_F(Poll, FrequencyFieldMovesOnlyBeyondFiveHundredthsOfAHertz) {
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1000.0");
    fakeServer.status[2] = receiving(100005, 0, 0, 0);  // 0.05 Hz: not shown
    pollProc(&mainWindow);
    EXPECT_FLOAT_EQ(mainWindow.controls.rxFreq.shownFrequency, 1000.0f);
    fakeServer.status[2] = receiving(100008, 0, 0, 0);
    pollProc(&mainWindow);
    EXPECT_FLOAT_EQ(mainWindow.controls.rxFreq.shownFrequency, 1000.08f);
    fakeServer.status[2] = receiving(100100, 0, 0, 0);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1001.0");
}

TEST_F(Poll, FocusedFieldKeepsWhatTheOperatorTypes) {
    pollProc(&mainWindow);
    mainWindow.controls.rxFreq.focused = 1;
    XmTextFieldSetString(mainWindow.controls.rxFreq.text, const_cast<char*>("12"));
    fakeServer.status[2] = receiving(150000, 0, 0, 0);
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "12");
    EXPECT_FLOAT_EQ(appResources.rxFreq, 1500.0f);
    mainWindow.controls.rxFreq.focused = 0;
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1500.0");
}

TEST_F(Poll, TransmittingVectorUpWhileEchoingDownOtherwise) {
    pollProc(&mainWindow);
    ServerStatus tx = receiving(200000, 0, 64, 20);
    tx.transmitting = 1;
    fakeServer.status[2] = tx;
    fakeServer.queue(0, "k");
    pollProc(&mainWindow);
    EXPECT_EQ(mainWindow.scope.previousX, mainWindow.scope.centreX);
    EXPECT_EQ(mainWindow.scope.previousY, mainWindow.scope.centreY - 35);
    pollProc(&mainWindow);
    EXPECT_EQ(mainWindow.scope.previousY, mainWindow.scope.centreY + 35);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1000.0");  // left alone while transmitting
}

TEST_F(Poll, OpenSecondaryDecodersAreFed) {
    guiApp();
    Widget shell = testShell("secondary");
    Widget form = XtVaCreateManagedWidget("mainForm", xmFormWidgetClass, shell, nullptr);
    SecondaryDecoder& open = mainWindow.decoders[1];
    open.pane.text = XtVaCreateManagedWidget("rxText", xmTextWidgetClass, form, XmNeditMode,
                                          XmMULTI_LINE_EDIT, XmNuserData, &open, nullptr);
    open.freq.text = XtVaCreateManagedWidget("rx2FreqText", xmTextFieldWidgetClass, form,
                                               XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                                               open.pane.text, nullptr);
    open.dcdTB = XtVaCreateManagedWidget("DCD", xmToggleButtonWidgetClass, form,
                                         XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                                         open.freq.text, nullptr);
    open.scopeDA = XtVaCreateManagedWidget("scopeDA", xmDrawingAreaWidgetClass, form, XmNwidth,
                                           80, XmNheight, 80, XmNtopAttachment, XmATTACH_WIDGET,
                                           XmNtopWidget, open.dcdTB, nullptr);
    open.freq.radio = XtVaCreateManagedWidget("radioFreqText", xmTextFieldWidgetClass, form,
                                              XmNtopAttachment, XmATTACH_WIDGET, XmNtopWidget,
                                              open.scopeDA, nullptr);
    XtRealizeWidget(shell);
    scope_init(&open.scope, topLevel, open.scopeDA);
    scope_clear(&open.scope);
    open.state = 1;
    open.freq.channel = 4;
    open.freq.shownFrequency = 0.0f;
    mainWindow.decoders[0].state = 0;  // closed: not read

    fakeServer.queue(4, "hi");
    fakeServer.queue(3, "unread");
    fakeServer.status[4] = receiving(150025, 1, 128, 30);
    fakeServer.dial = {14070000, 1};  // LSB
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(open.pane.text), "hi");
    EXPECT_EQ(textOf(open.freq.text), "1500.2");
    EXPECT_EQ(textOf(open.freq.radio), "14068.500");
    EXPECT_TRUE(XmToggleButtonGetState(open.dcdTB));
    EXPECT_EQ(open.scope.previousY, open.scope.centreY + 30);
    EXPECT_EQ(fakeServer.reads, (std::vector<int32_t>{0, 2, 4}));

    // No receiver behind the channel: the text still comes, the status stays.
    fakeServer.status.erase(4);
    fakeServer.queue(4, "!");
    pollProc(&mainWindow);
    EXPECT_EQ(textOf(open.pane.text), "hi!");
    EXPECT_TRUE(XmToggleButtonGetState(open.dcdTB));
    open.state = -1;
    XtDestroyWidget(shell);
}
