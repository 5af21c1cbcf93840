// The display controls: span, mode, flow and scales reach the display and the
// spectrum analyzer; a click on the display tunes; Seek walks the receiver.
#include <gtest/gtest.h>

#include <Xm/DrawingA.h>
#include <Xm/PushB.h>
#include <Xm/Scale.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "fakes/server_fake.h"
#include "gui/controls.h"
#include "gui/display.h"
#include "gui/display_controls.h"
#include "gui_app.h"
#include "window_state.h"

namespace {

void activate(Widget item) {
    XmPushButtonCallbackStruct call{};
    call.reason = XmCR_ACTIVATE;
    XtCallCallbacks(item, XmNactivateCallback, &call);
}

void moveScale(Widget scale, const char* list, int value) {
    XmScaleCallbackStruct call{};
    call.reason = list == XmNdragCallback ? XmCR_DRAG : XmCR_VALUE_CHANGED;
    call.value = value;
    XtCallCallbacks(scale, list, &call);
}

void buttonOnDisplay(int type, unsigned button, int column) {
    XEvent e{};
    e.xbutton.type = type;
    e.xbutton.display = XtDisplay(mainWindow.tuning.wfDA);
    e.xbutton.window = XtWindow(mainWindow.tuning.wfDA);
    e.xbutton.button = button;
    e.xbutton.x = column;
    e.xbutton.y = 30;
    XmDrawingAreaCallbackStruct call{};
    call.reason = XmCR_INPUT;
    call.event = &e;
    call.window = e.xbutton.window;
    XtCallCallbacks(mainWindow.tuning.wfDA, XmNinputCallback, &call);
}

void wakeUp(XtPointer, XtIntervalId*) {}

// Runs the toolkit's loop (timers included) until `done` or 10 s.
template <typename Done>
bool runUntil(Done done) {
    XtAppContext app = XtWidgetToApplicationContext(topLevel);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        XtAppAddTimeOut(app, 20, wakeUp, nullptr);
        XtAppProcessEvent(app, XtIMAll);
    }
    return true;
}

std::vector<int32_t> receiverFrequencies() {
    std::vector<int32_t> result;
    for (const FakeCommand& c : fakeServer.commands) {
        if (c.channel == 2 && c.spec == 8) result.push_back(c.value);
    }
    return result;
}

// Contrast ratio of two colours by their relative luminance, 1 (none) to 21.
double contrast(Pixel a, Pixel b) {
    auto luminance = [](Pixel p) {
        XColor c{};
        c.pixel = p;
        XQueryColor(XtDisplay(topLevel), DefaultColormapOfScreen(XtScreen(topLevel)), &c);
        auto linear = [](unsigned short v) {
            const double s = v / 65535.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class DisplayControls : public ::testing::Test {
protected:
    void SetUp() override {
        resetPanes();
        state.emplace();
        mainWindow.tuning.seeking = 0;
        mainWindow.tuning.seekStopRequest = 0;
        mainWindow.tuning.seekFirstStep = 1;
        fft_setup(&mainWindow.tuning.view, 1024, 50);
        display_set_rx_freq(&mainWindow.tuning.view, 1000.0f);
        mainWindow.tuning.view.columns.fill(0.0f);
        setFrequencyText(mainWindow.controls.rxFreq.text, "1000.0");
        fakeServer.reset();
    }
    void TearDown() override {
        runUntil([] { return mainWindow.tuning.seeking == 0; });
        state.reset();
    }

    std::optional<WindowState> state;
};

}  // namespace

TEST_F(DisplayControls, SpanAndSpeedReachTheAnalyzer) {
    activate(mainWindow.mediumItem);
    EXPECT_EQ(mainWindow.tuning.view.geometry.fft_length, 2048);
    // Choosing the span that is set already changes nothing.
    activate(mainWindow.mediumItem);
    activate(mainWindow.narrowItem);
    moveScale(mainWindow.tuning.fftSpeedScale, XmNdragCallback, 100);
    moveScale(mainWindow.tuning.fftSpeedScale, XmNvalueChangedCallback, 1);
    activate(mainWindow.broadItem);
    const std::vector<FakeCommand> expected = {{1, 32, 2048}, {1, 33, 731},  {1, 32, 4096},
                                               {1, 33, 731},  {1, 32, 4096}, {1, 33, 256},
                                               {1, 32, 4096}, {1, 33, 2048}, {1, 32, 1024},
                                               {1, 33, 2048}};
    EXPECT_EQ(fakeServer.commands, expected);
    EXPECT_TRUE(XmToggleButtonGetState(mainWindow.tuning.broadTB));
    EXPECT_FALSE(XmToggleButtonGetState(mainWindow.tuning.narrowTB));
}

TEST_F(DisplayControls, ModeFlowAndBrightnessReachTheDisplay) {
    activate(mainWindow.spectrumItem);
    EXPECT_EQ(mainWindow.tuning.view.mode, 0);
    activate(mainWindow.waterfallItem);
    EXPECT_EQ(mainWindow.tuning.view.mode, 1);
    XmToggleButtonSetState(mainWindow.flowUpItem, True, True);
    EXPECT_EQ(mainWindow.tuning.view.flowUp, 1);
    XmToggleButtonSetState(mainWindow.flowUpItem, False, True);
    EXPECT_EQ(mainWindow.tuning.view.flowUp, 0);
    moveScale(mainWindow.tuning.brightScale, XmNdragCallback, 77);
    EXPECT_EQ(mainWindow.tuning.view.brightness, 77);
    moveScale(mainWindow.tuning.brightScale, XmNvalueChangedCallback, 12);
    EXPECT_EQ(mainWindow.tuning.view.brightness, 12);
    EXPECT_EQ(fakeServer.commands, std::vector<FakeCommand>{});
}

TEST_F(DisplayControls, ButtonOneTunesToTheClickedColumnOrTheSignalNearIt) {
    fft_setup(&mainWindow.tuning.view, 2048, -1);  // 3.90625 Hz per column, start bin 64
    fakeServer.reset();
    buttonOnDisplay(ButtonPress, Button1, 0);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "250.0");
    // A signal 31.25 Hz wide (8 columns) centred on column 300 catches a click at 295.
    for (int c = 296; c <= 304; ++c) mainWindow.tuning.view.columns[c] = 5.0f;
    buttonOnDisplay(ButtonPress, Button1, 295);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1421.9");
    // Releases and other buttons leave the receiver alone.
    buttonOnDisplay(ButtonRelease, Button1, 10);
    buttonOnDisplay(ButtonPress, Button3, 10);
    buttonOnDisplay(ButtonPress, Button2, 10);
    EXPECT_EQ(receiverFrequencies(), (std::vector<int32_t>{25000, 142187}));
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "1421.9");
}

TEST_F(DisplayControls, SeekUpWithoutSignalStopsAtTheTopOfTheBand) {
    setFrequencyText(mainWindow.controls.rxFreq.text, "3900.0");
    const Pixel own = foregroundOf(mainWindow.controls.rxFreq.text);
    activate(mainWindow.seekUpItem);
    EXPECT_EQ(mainWindow.tuning.seeking, 1);
    // The digits change colour while the seek runs, and stay readable.
    EXPECT_NE(foregroundOf(mainWindow.controls.rxFreq.text), own);
    EXPECT_GE(contrast(foregroundOf(mainWindow.controls.rxFreq.text),
                       backgroundOf(mainWindow.controls.rxFreq.text)),
              3.0);
    ASSERT_TRUE(runUntil([] { return mainWindow.tuning.seeking == 0; }));
    std::vector<int32_t> expected = {395000};
    for (int32_t f = 395500; f <= 400000; f += 500) expected.push_back(f);
    EXPECT_EQ(receiverFrequencies(), expected);
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), "4000.0");
    EXPECT_EQ(foregroundOf(mainWindow.controls.rxFreq.text), own);
    EXPECT_NE(own, BlackPixelOfScreen(XtScreen(topLevel)));  // the resource file's colour
}

TEST_F(DisplayControls, SeekDownStopsAtZero) {
    setFrequencyText(mainWindow.controls.rxFreq.text, "60.0");
    activate(mainWindow.seekDownItem);
    ASSERT_TRUE(runUntil([] { return mainWindow.tuning.seeking == 0; }));
    EXPECT_EQ(receiverFrequencies(), (std::vector<int32_t>{1000, 500, 0}));
    EXPECT_EQ(textOf(mainWindow.controls.rxFreq.text), " 0.0");
}

TEST_F(DisplayControls, SeekStopsOnASignalAtTheCentre) {
    // The first step leaves the signal the receiver sits on; the next finds it
    // (the display's centre does not follow here, no poll loop runs).
    for (int c = 190; c <= 194; ++c) mainWindow.tuning.view.columns[c] = 8.0f;
    activate(mainWindow.seekUpItem);
    ASSERT_TRUE(runUntil([] { return mainWindow.tuning.seeking == 0; }));
    EXPECT_EQ(receiverFrequencies(), (std::vector<int32_t>{105000, 100000}));
    EXPECT_EQ(mainWindow.tuning.seekFirstStep, 1);
}

TEST_F(DisplayControls, HaltUpOrDownStopASeekWithoutMovingFurther) {
    for (Widget stop : {mainWindow.haltItem, mainWindow.seekUpItem, mainWindow.seekDownItem}) {
        setFrequencyText(mainWindow.controls.rxFreq.text, "1000.0");
        fakeServer.reset();
        activate(mainWindow.seekUpItem);
        ASSERT_TRUE(runUntil([] { return receiverFrequencies().size() >= 3; }));
        activate(stop);
        const size_t sent = receiverFrequencies().size();
        ASSERT_TRUE(runUntil([] { return mainWindow.tuning.seeking == 0; }));
        EXPECT_EQ(receiverFrequencies().size(), sent) << XtName(stop);
        EXPECT_EQ(mainWindow.tuning.seekStopRequest, 0);
    }
    // Halt without a seek does nothing.
    activate(mainWindow.haltItem);
    EXPECT_EQ(mainWindow.tuning.seekStopRequest, 0);
}
