#include "app/poll.h"

#include <Xm/ToggleB.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <time.h>

#include <cmath>
#include <cstdio>

#include "app/band_feed.h"
#include "app/ptt_report.h"
#include "app/resources.h"
#include "gui/frequency_field.h"
#include "gui/display.h"
#include "gui/main_window.h"
#include "gui/scope.h"
#include "gui/secondary.h"
#include "gui/text_panes.h"
#include "modem/radio_frequency.h"
#include "server/server.h"

int32_t unkeyedTold = 0;
int32_t unkeyFailedTold = 0;
BandFeed* pollBandFeed = nullptr;

namespace {

constexpr int32_t CHUNK = 256;  // bytes per channel and cycle
constexpr int32_t MAX_FFT_LENGTH = 4096;

// One spectrum block, reused by every cycle.
float spectrumBlock[MAX_FFT_LENGTH];

// Up to CHUNK bytes of one channel into a receive pane; returns the count.
int32_t drainChannel(int32_t channel, Widget pane, int highlightMode) {
    char buffer[CHUNK];
    const int32_t n = server_read(channel, buffer, CHUNK);
    for (int32_t i = 0; i < n; ++i) putRxChar(pane, buffer[i], appResources.zero, highlightMode);
    return n;
}

// The radio frequency of an audio frequency beside its field.
void showRadio(FrequencyField* field, const radio_dial& dial, float audio) {
    frequency_field_show_radio(field, radio_khz_text(dial, static_cast<double>(audio)).c_str());
}

double monotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

// The survey's characters since the last cycle into the band window, which also
// ages its lines while closed.
void serveBand(MainWindow& mw, const radio_dial& dial) {
    if (pollBandFeed == nullptr) return;
    mw.band.dialHz = static_cast<double>(dial.hz);
    mw.band.lsbDial = dial.lsb;
    static std::vector<survey_char> chars;
    pollBandFeed->showing.store(mw.band.state == 1 ? 1 : 0);
    band_feed_take(pollBandFeed, &chars);
    band_window_update(&mw.band, chars, monotonicSeconds());
}

}  // namespace

Boolean pollProc(XtPointer window) {
    MainWindow& mw = *static_cast<MainWindow*>(window);
    VordaDisplay* view = &mw.tuning.view;
    const int32_t n = view->geometry.fft_length;
    if (n > 0 && n <= MAX_FFT_LENGTH) {
        const int32_t l = server_read(SERVER_SPECTRUM_CHANNEL, spectrumBlock,
                                      n * static_cast<int32_t>(sizeof(float)));
        if (l > 0 && l != n) {
            // Right after a length change: the rest of the block is not valid.
            std::fprintf(stderr, "FFT len mismatch: l=%d N=%d\n", l, n);
        } else if (l > 0) {
            display_new_data(view, spectrumBlock, n);
        }
    }

    const int32_t echoed =
        drainChannel(SERVER_ECHO_CHANNEL, mw.panes.rx.text, appResources.xmitHighlight);
    drainChannel(SERVER_MAIN_CHANNEL, mw.panes.rx.text, XmHIGHLIGHT_NORMAL);

    const ServerDial serverDial = server_get_dial();
    const radio_dial dial{serverDial.hz, serverDial.lsb != 0};
    // The transmitter takes a new frequency with its next transmission: the field
    // says where that will be.
    showRadio(&mw.controls.txFreq, dial, frequency_field_value(&mw.controls.txFreq));
    ServerStatus status{};
    server_get_status(SERVER_MAIN_CHANNEL, &status, sizeof status);
    appResources.rxFreq = static_cast<float>(status.freq * 0.01);
    showRadio(&mw.controls.rxFreq, dial, appResources.rxFreq);
    XtVaSetValues(mw.controls.dcdTB, XmNset, status.dcd != 0 ? True : False, nullptr);
    // Never transmitting unkeyed in silence: once for every such transmission.
    for (; unkeyedTold < status.unkeyed; ++unkeyedTold) {
        putRxLine(mw.panes.rx.text, unkeyedNotice(appResources).c_str());
    }
    for (; unkeyFailedTold < status.unkey_failed; ++unkeyFailedTold) {
        putRxLine(mw.panes.rx.text, unkeyFailedNotice(appResources).c_str());
    }

    if (status.transmitting != 0) {
        // Up while characters are being echoed, down between them.
        scope_draw(&mw.scope, echoed > 0 ? 0 : 128, 35, SCOPE_GREEN);
    } else {
        scope_draw(&mw.scope, status.phase, status.strength, status.dcd);
        if (frequency_field_follow(&mw.controls.rxFreq, appResources.rxFreq)) {
            display_set_rx_freq(view, appResources.rxFreq);
        }
    }

    for (int slot = 0; slot < DECODER_SLOTS; ++slot) {
        SecondaryDecoder* decoder = &mw.decoders[slot];
        if (decoder->state != 1) continue;
        drainChannel(SERVER_MAIN_CHANNEL + 1 + slot, decoder->pane.text, XmHIGHLIGHT_NORMAL);
        if (server_get_status(decoder->freq.channel, &status, sizeof status) == 0) {
            decoder_show_status(decoder, status.dcd, static_cast<float>(status.freq * 0.01));
            showRadio(&decoder->freq, dial, static_cast<float>(status.freq * 0.01));
            scope_draw(&decoder->scope, status.phase, status.strength, status.dcd);
        }
    }

    serveBand(mw, dial);

    usleep(10000);
    return False;
}
