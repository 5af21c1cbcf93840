#include "gui/display_controls.h"

#include <Xm/DrawingA.h>
#include <Xm/Scale.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "gui/controls.h"
#include "gui/frequency_field.h"
#include "gui/secondary.h"
#include "server/server.h"

namespace {

constexpr unsigned long SEEK_INTERVAL_MS = 5;

void tuneMain(float frequency) {
    server_set_frequency(SERVER_MAIN_CHANNEL, frequencyHundredths(frequency));
}

TuningPanel* tuningOf(XtPointer clientData) { return static_cast<TuningPanel*>(clientData); }

void setFieldForeground(TuningPanel* t, Pixel pixel) {
    XtVaSetValues(t->rxFreq->text, XmNforeground, pixel, nullptr);
}

// The digits' colour while a seek runs, "rxFreqText.seek.foreground" in the
// resource file: a mark that stays readable on the field's background.
Pixel seekForeground(TuningPanel* t) {
    Pixel pixel = t->fieldForeground;
    XtResource resource = {const_cast<char*>(XmNforeground), const_cast<char*>(XmCForeground),
                           const_cast<char*>(XmRPixel), sizeof(Pixel), 0,
                           const_cast<char*>(XmRImmediate), reinterpret_cast<XtPointer>(pixel)};
    XtGetSubresources(t->rxFreq->text, &pixel, "seek", "Seek", &resource, 1, nullptr, 0);
    return pixel;
}

void endSeek(TuningPanel* t) {
    t->seekFirstStep = 1;
    t->seeking = 0;
    setFieldForeground(t, t->fieldForeground);
}

void seekStep(XtPointer clientData, XtIntervalId*);

void nextSeekStep(TuningPanel* t) {
    XtAppAddTimeOut(XtWidgetToApplicationContext(t->rxFreq->text), SEEK_INTERVAL_MS, seekStep,
                    t);
}

// The span toggles: the factor of each is 2, 4 or 8.
void spanTo(TuningPanel* t, XtPointer callData, int factor) {
    if (static_cast<XmToggleButtonCallbackStruct*>(callData)->set == 0) return;
    fft_setup(&t->view, 512 * factor, -1);
}
void broadCB(Widget, XtPointer t, XtPointer callData) { spanTo(tuningOf(t), callData, 2); }
void mediumCB(Widget, XtPointer t, XtPointer callData) { spanTo(tuningOf(t), callData, 4); }
void narrowCB(Widget, XtPointer t, XtPointer callData) { spanTo(tuningOf(t), callData, 8); }

// Run for the toggle that is unset and then for the one that is set, so the
// second call leaves the mode of the chosen toggle.
void spectrumCB(Widget, XtPointer t, XtPointer) { tuningOf(t)->view.mode = 0; }
void waterfallCB(Widget, XtPointer t, XtPointer) { tuningOf(t)->view.mode = 1; }

void brightCB(Widget, XtPointer t, XtPointer callData) {
    tuningOf(t)->view.brightness = static_cast<XmScaleCallbackStruct*>(callData)->value;
}

void speedCB(Widget, XtPointer t, XtPointer callData) {
    fft_setup(&tuningOf(t)->view, -1, static_cast<XmScaleCallbackStruct*>(callData)->value);
}

void wfInputCB(Widget, XtPointer clientData, XtPointer callData) {
    TuningPanel* t = tuningOf(clientData);
    const XEvent* event = static_cast<XmDrawingAreaCallbackStruct*>(callData)->event;
    if (event == nullptr || event->type != ButtonPress) return;
    // Button 3 opens a secondary decoder window on the column.
    if (event->xbutton.button == Button3) {
        decoder_open(t->window, event->xbutton.x);
        return;
    }
    if (event->xbutton.button != Button1) return;
    const float f = display_click_freq(&t->view, event->xbutton.x);
    char text[16];
    std::snprintf(text, sizeof text, "%4.1f", f);
    setFrequencyText(t->rxFreq->text, text);
    tuneMain(f);
}

// One step of a seek, every 5 ms until a signal sits at the receive frequency.
void seekStep(XtPointer clientData, XtIntervalId*) {
    TuningPanel* t = tuningOf(clientData);
    float step = 50.0f;  // the first step leaves the signal the receiver sits on
    if (t->seekFirstStep == 0) {
        const int r = display_find_signal(&t->view, kCentreColumn);
        if (r != -1) {
            // The poll loop writes the new frequency into the field.
            tuneMain(display_click_freq(&t->view, r));
            endSeek(t);
            return;
        }
        step = 5.0f;
    }
    t->seekFirstStep = 0;

    float f = frequency_field_value(t->rxFreq);
    f += t->seekDirection == 'U' ? step : -step;
    if (f > 4000.0f || t->seekStopRequest != 0 || f < 0.0f) {
        t->seekStopRequest = 0;
        endSeek(t);
        return;
    }
    char shown[16];
    std::snprintf(shown, sizeof shown, "%4.1f", f);
    setFrequencyText(t->rxFreq->text, shown);
    tuneMain(f);
    nextSeekStep(t);
}

// The form dialog unmanages itself when one of its buttons is activated.
void videoCloseCB(Widget, XtPointer, XtPointer) {}

}  // namespace

void tuning_attach(TuningPanel* t) {
    XtAddCallback(t->videoClose, XmNactivateCallback, videoCloseCB, nullptr);
    for (Widget toggle : {t->broadTB, t->mediumTB, t->narrowTB, t->saTB, t->wfTB}) {
        // Clicking the set toggle of a radio group leaves it set.
        XtAddCallback(toggle, XmNdisarmCallback, setToggleCB, toggle);
    }
    XtAddCallback(t->saTB, XmNvalueChangedCallback, spectrumCB, t);
    XtAddCallback(t->wfTB, XmNvalueChangedCallback, waterfallCB, t);
    XtAddCallback(t->broadTB, XmNvalueChangedCallback, broadCB, t);
    XtAddCallback(t->mediumTB, XmNvalueChangedCallback, mediumCB, t);
    XtAddCallback(t->narrowTB, XmNvalueChangedCallback, narrowCB, t);
    XtAddCallback(t->brightScale, XmNvalueChangedCallback, brightCB, t);
    XtAddCallback(t->brightScale, XmNdragCallback, brightCB, t);
    XtAddCallback(t->fftSpeedScale, XmNvalueChangedCallback, speedCB, t);
    XtAddCallback(t->fftSpeedScale, XmNdragCallback, speedCB, t);
    XtAddCallback(t->wfDA, XmNinputCallback, wfInputCB, t);
}

void seek_start(TuningPanel* t, char direction) {
    if (t->seeking != 0) {
        // Up and Down both stop a running seek; neither reverses it.
        t->seekStopRequest = 1;
        return;
    }
    t->seekFirstStep = 1;
    t->seeking = 1;
    t->seekDirection = direction;
    XtVaGetValues(t->rxFreq->text, XmNforeground, &t->fieldForeground, nullptr);
    setFieldForeground(t, seekForeground(t));
    nextSeekStep(t);
}

void seek_halt(TuningPanel* t) {
    if (t->seeking != 0) t->seekStopRequest = 1;
}
