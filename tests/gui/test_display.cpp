// The tuning display on a real X server: set-up, waterfall and spectrum frames
// as pixels, the IMD field, what fft_setup sends, and the poll loop's blocks.
#include <gtest/gtest.h>

#include <X11/Xutil.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "app/poll.h"
#include "fakes/server_fake.h"
#include "gui/display.h"
#include "gui_app.h"
#include "window_state.h"

namespace {

// A display record set up on wfDA whose frames land in a pixmap of the test's,
// so that no other window on the shared screen can hide them.
class TuningDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        resetPanes();
        state.emplace();
        XmToggleButtonSetState(mainWindow.controls.dcdTB, False, False);
        d = VordaDisplay{};
        d.mode = 1;
        d.brightness = 40;
        // The IMD reading goes where the main window's goes.
        d.dcdToggle = mainWindow.controls.dcdTB;
        d.imdField = mainWindow.controls.imdTF;
        testing::internal::CaptureStderr();
        display_init(&d, mainWindow.tuning.wfDA, mainWindow.tuning.spanFactor,
                     mainWindow.tuning.displaySpeed);
        initMessages = testing::internal::GetCapturedStderr();
        initCommands = fakeServer.commands;
        fakeServer.reset();
        x = d.display;
        frame = XCreatePixmap(x, d.window, kDisplayColumns, kDisplayRows,
                              DefaultDepth(x, d.screen));
        d.window = frame;
        fill(frame, 0x123456);
    }
    void TearDown() override {
        XFreePixmap(x, frame);
        XFreePixmap(x, d.pixmap);
        state.reset();
    }

    void fill(Drawable target, unsigned long pixel) {
        GC gc = XCreateGC(x, target, 0, nullptr);
        XSetForeground(x, gc, pixel);
        XFillRectangle(x, target, gc, 0, 0, kDisplayColumns, kDisplayRows);
        XFreeGC(x, gc);
    }

    // Pixels of a 384 x 75 drawable.
    std::vector<unsigned long> pixels(Drawable source) {
        XImage* image =
            XGetImage(x, source, 0, 0, kDisplayColumns, kDisplayRows, AllPlanes, ZPixmap);
        std::vector<unsigned long> p(kDisplayColumns * kDisplayRows);
        for (int row = 0; row < kDisplayRows; ++row) {
            for (int c = 0; c < kDisplayColumns; ++c) {
                p[row * kDisplayColumns + c] = XGetPixel(image, c, row);
            }
        }
        XDestroyImage(image);
        return p;
    }
    static unsigned long at(const std::vector<unsigned long>& p, int c, int row) {
        return p[row * kDisplayColumns + c];
    }

    VordaDisplay d{};
    ::Display* x = nullptr;
    Pixmap frame = 0;
    std::string initMessages;
    std::vector<FakeCommand> initCommands;
    std::optional<WindowState> state;
};

std::vector<float> block(int length, float value) { return std::vector<float>(length, value); }

}  // namespace

TEST_F(TuningDisplay, SetUpChoosesTheVisualAndSendsLengthAndSpeed) {
    // The harness's Xvfb is a 24-bit TrueColor screen.
    EXPECT_EQ(initMessages, "find_visual_info: Using 24 bpp True Color\n");
    EXPECT_EQ(d.grey[0].pixel, 0x373737ul);
    EXPECT_EQ(d.grey[99].pixel, 0xFDFDFDul);
    EXPECT_EQ(d.red[0].pixel, 0xFF0000ul);
    EXPECT_NE(d.cursor, 0u);
    // The resource file sets "B" and speed 50.
    EXPECT_EQ(initCommands, (std::vector<FakeCommand>{{1, 32, 1024}, {1, 33, 731}}));
    EXPECT_FLOAT_EQ(d.geometry.bin_width, 7.8125f);
    for (unsigned long p : pixels(d.pixmap)) ASSERT_EQ(p, BlackPixel(x, d.screen));
}

TEST_F(TuningDisplay, FftSetupSendsBothValuesOnEveryCall) {
    fft_setup(&d, 2048, -1);
    fft_setup(&d, -1, 100);
    testing::internal::CaptureStderr();
    fft_setup(&d, 4096, 101);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "fft_setup: invalid speed speed=101\n");
    fft_setup(&d, -1, 0);
    const std::vector<FakeCommand> expected = {{1, 32, 2048}, {1, 33, 731},  {1, 32, 2048},
                                               {1, 33, 256},  {1, 32, 4096}, {1, 33, 256},
                                               {1, 32, 4096}, {1, 33, 2091}};
    EXPECT_EQ(fakeServer.commands, expected);
    EXPECT_EQ(d.geometry.imd_bins, (std::array<int, 4>{200, 184, 216, 168}));

    // Without any length the analyzer is never told to use 0 points.
    VordaDisplay none{};
    fakeServer.reset();
    fft_setup(&none, -1, 50);
    EXPECT_EQ(fakeServer.commands, (std::vector<FakeCommand>{{1, 33, 731}}));
}

TEST_F(TuningDisplay, WaterfallAddsOneRowPerBlockInEitherDirection) {
    fft_setup(&d, 1024, -1);
    display_set_rx_freq(&d, 100.0f);  // start bin -179: columns below 181 have no data
    ASSERT_EQ(d.geometry.start_bin, -179);
    std::vector<float> values = block(1024, 0.0f);
    values[20] = 0.8f;  // column 199: 2.0, level 40 * log10(10) = 40
    values[50] = 1e6f;  // column 229: level 99
    display_new_data(&d, values.data(), 1024);
    auto p = pixels(frame);
    EXPECT_EQ(at(p, 0, 0), d.grey[0].pixel);  // column 0 is never filled
    EXPECT_EQ(at(p, 100, 0), d.grey[50].pixel);
    EXPECT_EQ(at(p, 181, 0), d.grey[0].pixel);
    EXPECT_EQ(at(p, 199, 0), d.grey[40].pixel);
    EXPECT_EQ(at(p, 229, 0), d.grey[99].pixel);
    for (int c = 191; c <= 193; ++c) {
        for (int row = 0; row < kDisplayRows; ++row) ASSERT_EQ(at(p, c, row), d.red[0].pixel);
    }
    EXPECT_EQ(at(p, 199, 1), BlackPixel(x, d.screen));

    // The next block scrolls the picture down by one row.
    display_new_data(&d, block(1024, 0.0f).data(), 1024);
    p = pixels(frame);
    EXPECT_EQ(at(p, 199, 0), d.grey[0].pixel);
    EXPECT_EQ(at(p, 199, 1), d.grey[40].pixel);
    EXPECT_EQ(at(p, 229, 1), d.grey[99].pixel);

    // Flowing up: new rows at the bottom, the old ones move up.
    d.flowUp = 1;
    display_new_data(&d, values.data(), 1024);
    display_new_data(&d, block(1024, 0.0f).data(), 1024);
    p = pixels(frame);
    EXPECT_EQ(at(p, 199, 74), d.grey[0].pixel);
    EXPECT_EQ(at(p, 199, 73), d.grey[40].pixel);
    EXPECT_EQ(at(p, 199, 0), BlackPixel(x, d.screen));  // the first rows left at the top
}

TEST_F(TuningDisplay, SpectrumTraceWithGreyEdgesThenABlackPixmap) {
    d.mode = 0;
    fft_setup(&d, 1024, -1);
    display_set_rx_freq(&d, 100.0f);
    std::vector<float> values = block(1024, 0.0f);
    values[19] = 20.0f;  // column 198: 50, at the top limit h = 65
    values[20] = 3.2f;   // column 199: 8, h = 40
    display_new_data(&d, values.data(), 1024);
    const auto p = pixels(frame);
    const Pixel white = WhitePixel(x, d.screen);
    const Pixel black = BlackPixel(x, d.screen);
    for (int row = 0; row < kDisplayRows - 1; ++row) ASSERT_EQ(at(p, 100, row), d.grey[50].pixel);
    for (int row = 0; row < kDisplayRows; ++row) ASSERT_EQ(at(p, 192, row), d.red[0].pixel);
    // Each column's stroke joins its height to the one before.
    EXPECT_EQ(at(p, 198, 9), black);
    for (int row = 10; row <= kDisplayRows - 1; ++row) ASSERT_EQ(at(p, 198, row), white) << row;
    EXPECT_EQ(at(p, 199, 9), black);
    for (int row = 10; row <= 35; ++row) ASSERT_EQ(at(p, 199, row), white) << row;
    EXPECT_EQ(at(p, 199, 36), black);
    EXPECT_EQ(at(p, 200, 34), black);
    for (int row = 35; row <= 74; ++row) ASSERT_EQ(at(p, 200, row), white) << row;
    for (unsigned long q : pixels(d.pixmap)) ASSERT_EQ(q, black);
}

TEST_F(TuningDisplay, BrokenModeDrawsNothing) {
    d.mode = 2;
    fft_setup(&d, 1024, -1);
    display_set_rx_freq(&d, 1000.0f);
    testing::internal::CaptureStderr();
    display_new_data(&d, block(1024, 1.0f).data(), 1024);
    display_new_data(&d, block(1024, 1.0f).data(), 1024);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vordaDisplay.drawDisplay - Broken WF/SA value\n"
              "vordaDisplay.drawDisplay - Broken WF/SA value\n");
    for (unsigned long q : pixels(frame)) ASSERT_EQ(q, 0x123456ul);
}

TEST_F(TuningDisplay, ImdFieldShowsTheMeanOrDashes) {
    fft_setup(&d, 1024, -1);
    display_set_rx_freq(&d, 1000.0f);
    std::vector<float> values = block(1024, 1.0f);
    const int s = d.geometry.start_bin;
    values[s + 192 - 2] = values[s + 192 + 2] = 100.0f;  // products 40 dB down
    XmToggleButtonSetState(mainWindow.controls.dcdTB, True, False);
    for (int i = 0; i < 20; ++i) display_new_data(&d, values.data(), 1024);
    EXPECT_EQ(textOf(mainWindow.controls.imdTF), "-40 ");
    XmToggleButtonSetState(mainWindow.controls.dcdTB, False, False);
    for (int i = 0; i < 4; ++i) display_new_data(&d, values.data(), 1024);
    EXPECT_EQ(textOf(mainWindow.controls.imdTF), "-40 ");
    display_new_data(&d, values.data(), 1024);
    EXPECT_EQ(textOf(mainWindow.controls.imdTF), "---");
}

TEST_F(TuningDisplay, PollLoopHandsOverFullBlocksAndFollowsTheReceiver) {
    fft_setup(&mainWindow.tuning.view, 1024, -1);
    display_set_rx_freq(&mainWindow.tuning.view, 1000.0f);
    mainWindow.controls.rxFreq.shownFrequency = 0.0f;
    ServerStatus status{};
    status.freq = 150000;
    fakeServer.status[2] = status;
    std::vector<float> values = block(1024, 0.0f);
    values[200] = 2.0f;
    fakeServer.spectra.push_back(values);
    pollProc(&mainWindow);
    EXPECT_FLOAT_EQ(mainWindow.tuning.view.geometry.centre, 1500.0f);
    // The block was taken with the centre of before (1000 Hz, start bin -64).
    EXPECT_FLOAT_EQ(mainWindow.tuning.view.columns[264], 5.0f);

    // A short block right after a length change is reported and not shown.
    fakeServer.spectra.push_back(block(512, 7.0f));
    testing::internal::CaptureStderr();
    pollProc(&mainWindow);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "FFT len mismatch: l=512 N=1024\n");
    EXPECT_FLOAT_EQ(mainWindow.tuning.view.columns[264], 5.0f);
    EXPECT_TRUE(fakeServer.spectra.empty());
}
