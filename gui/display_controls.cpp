#include "gui/display_controls.h"

#include <Xm/DrawingA.h>
#include <Xm/Scale.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <cstdio>
#include <cstdlib>

#include "gui/controls.h"
#include "gui/display.h"
#include "gui/main_window.h"
#include "gui/secondary.h"
#include "server/server.h"

int seeking = 0;
int seekStopRequest = 0;
int seekFirstStep = 1;

namespace {

constexpr unsigned long SEEK_INTERVAL_MS = 5;

void tuneMain(float frequency) {
    server_set_frequency(SERVER_MAIN_CHANNEL, frequencyHundredths(frequency));
}

// The field's own foreground from the resource file, put back when a seek ends.
Pixel fieldForeground = 0;

void setFieldForeground(Pixel pixel) {
    XtVaSetValues(mainWindow.rxFreqText, XmNforeground, pixel, nullptr);
}

// The digits' colour while a seek runs, "rxFreqText.seek.foreground" in the
// resource file: a mark that stays readable on the field's background.
Pixel seekForeground() {
    Pixel pixel = fieldForeground;
    XtResource resource = {const_cast<char*>(XmNforeground), const_cast<char*>(XmCForeground),
                           const_cast<char*>(XmRPixel), sizeof(Pixel), 0,
                           const_cast<char*>(XmRImmediate), reinterpret_cast<XtPointer>(pixel)};
    XtGetSubresources(mainWindow.rxFreqText, &pixel, "seek", "Seek", &resource, 1, nullptr, 0);
    return pixel;
}

void endSeek() {
    seekFirstStep = 1;
    seeking = 0;
    setFieldForeground(fieldForeground);
}

void nextSeekStep(XtPointer direction) {
    XtAppAddTimeOut(XtWidgetToApplicationContext(mainWindow.rxFreqText),
                                SEEK_INTERVAL_MS, seekStep, direction);
}

}  // namespace

void spanCB(Widget, XtPointer factor, XtPointer callData) {
    if (static_cast<XmToggleButtonCallbackStruct*>(callData)->set == 0) return;
    fft_setup(&vordaDisplay, 512 * static_cast<int>(reinterpret_cast<intptr_t>(factor)), -1);
}

// Runs for the toggle that is unset and then for the one that is set, so the
// second call leaves the mode of the chosen toggle.
void modeCB(Widget, XtPointer mode, XtPointer) {
    vordaDisplay.mode = static_cast<int>(reinterpret_cast<intptr_t>(mode));
}

void flowUpCB(Widget, XtPointer, XtPointer callData) {
    vordaDisplay.flowUp = static_cast<XmToggleButtonCallbackStruct*>(callData)->set != 0 ? 1 : 0;
}

void brightCB(Widget, XtPointer, XtPointer callData) {
    vordaDisplay.brightness = static_cast<XmScaleCallbackStruct*>(callData)->value;
}

void speedCB(Widget, XtPointer, XtPointer callData) {
    fft_setup(&vordaDisplay, -1, static_cast<XmScaleCallbackStruct*>(callData)->value);
}

void wfInputCB(Widget, XtPointer, XtPointer callData) {
    const XEvent* event = static_cast<XmDrawingAreaCallbackStruct*>(callData)->event;
    if (event == nullptr || event->type != ButtonPress) return;
    // Button 3 opens a secondary decoder window on the column.
    if (event->xbutton.button == Button3) {
        decoder_open(event->xbutton.x);
        return;
    }
    if (event->xbutton.button != Button1) return;
    const float f = display_click_freq(&vordaDisplay, event->xbutton.x);
    char text[16];
    std::snprintf(text, sizeof text, "%4.1f", f);
    setFrequencyText(mainWindow.rxFreqText, text);
    tuneMain(f);
}

void seekCB(Widget, XtPointer direction, XtPointer) {
    if (seeking != 0) {
        // Up and Down both stop a running seek; neither reverses it.
        seekStopRequest = 1;
        return;
    }
    seekFirstStep = 1;
    seeking = 1;
    XtVaGetValues(mainWindow.rxFreqText, XmNforeground, &fieldForeground, nullptr);
    setFieldForeground(seekForeground());
    nextSeekStep(direction);
}

void haltCB(Widget, XtPointer, XtPointer) {
    if (seeking != 0) seekStopRequest = 1;
}

void seekStep(XtPointer direction, XtIntervalId*) {
    float step = 50.0f;  // the first step leaves the signal the receiver sits on
    if (seekFirstStep == 0) {
        const int r = display_find_signal(&vordaDisplay, kCentreColumn);
        if (r != -1) {
            // The poll loop writes the new frequency into the field.
            tuneMain(display_click_freq(&vordaDisplay, r));
            endSeek();
            return;
        }
        step = 5.0f;
    }
    seekFirstStep = 0;

    char* text = XmTextFieldGetString(mainWindow.rxFreqText);
    float f = frequencyFieldValue(text);
    XtFree(text);
    f += reinterpret_cast<intptr_t>(direction) == 'U' ? step : -step;
    if (f > 4000.0f || seekStopRequest != 0 || f < 0.0f) {
        seekStopRequest = 0;
        endSeek();
        return;
    }
    char shown[16];
    std::snprintf(shown, sizeof shown, "%4.1f", f);
    setFrequencyText(mainWindow.rxFreqText, shown);
    tuneMain(f);
    nextSeekStep(direction);
}
