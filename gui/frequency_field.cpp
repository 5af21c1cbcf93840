#include "gui/frequency_field.h"

#include <Xm/ArrowB.h>
#include <Xm/TextF.h>
#include <Xm/ToggleB.h>
#include <Xm/Xm.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gui/text_panes.h"
#include "server/server.h"

namespace {

constexpr float MAX_FREQUENCY = 4000.0f;

// True while the program itself writes a frequency field.
bool programWrite = false;

FrequencyField* fieldOf(XtPointer clientData) { return static_cast<FrequencyField*>(clientData); }

bool shiftHeld(const XEvent* event) {
    if (event == nullptr) return false;
    switch (event->type) {
        case ButtonPress:
        case ButtonRelease: return (event->xbutton.state & ShiftMask) != 0;
        case KeyPress:
        case KeyRelease: return (event->xkey.state & ShiftMask) != 0;
        default: return false;
    }
}

bool frequencyCharacter(char c) { return (c >= '0' && c <= '9') || c == '.'; }

void focusTo(Widget w) { XmProcessTraversal(w, XmTRAVERSE_CURRENT); }

void freqArrowCB(Widget arrow, XtPointer clientData, XtPointer callData) {
    FrequencyField* field = fieldOf(clientData);
    const auto* call = static_cast<XmArrowButtonCallbackStruct*>(callData);
    unsigned char direction = XmARROW_UP;
    XtVaGetValues(arrow, XmNarrowDirection, &direction, nullptr);
    char* text = XmTextFieldGetString(field->text);
    const float f = arrow_frequency(text, direction == XmARROW_UP, call->click_count,
                                    shiftHeld(call->event), field->arrowRule);
    XtFree(text);
    frequency_field_write(field, f);
    server_set_frequency(field->channel, frequencyHundredths(f));
}

void freqTextCB(Widget, XtPointer clientData, XtPointer callData) {
    FrequencyField* field = fieldOf(clientData);
    switch (static_cast<XmAnyCallbackStruct*>(callData)->reason) {
        case XmCR_MODIFYING_TEXT_VALUE: {
            auto* verify = static_cast<XmTextVerifyCallbackStruct*>(callData);
            if (programWrite || verify->text == nullptr) return;
            // Typed or pasted: digits and points only, a mixed paste is refused whole.
            for (int i = 0; i < verify->text->length; ++i) {
                if (!frequencyCharacter(verify->text->ptr[i])) {
                    verify->doit = False;
                    return;
                }
            }
            return;
        }
        case XmCR_ACTIVATE: {
            float f = frequency_field_value(field);
            if (f < 0.0f) {
                setFrequencyText(field->text, "0.0");
                f = 0.0f;
            }
            if (f > MAX_FREQUENCY) {
                setFrequencyText(field->text, "MAXFREQ");
                f = MAX_FREQUENCY;
            }
            server_set_frequency(field->channel, frequencyHundredths(f));
            focusTo(field->focusAfterEnter);
            return;
        }
        default:
            std::fputs("freqTextCB - unexpected callback type\n", stderr);
            return;
    }
}

void rxFreqFocusCB(Widget, XtPointer clientData, XtPointer callData) {
    FrequencyField* field = fieldOf(clientData);
    const Boolean notify = field->notifyAfc ? True : False;
    const int reason = static_cast<XmAnyCallbackStruct*>(callData)->reason;
    if (reason == XmCR_FOCUS) {
        XtVaSetValues(field->text, XmNbackground, field->look->markColor, nullptr);
        // AFC must not pull the receiver away while the operator types.
        field->savedAfc = XmToggleButtonGetState(field->toggle) ? 1 : 0;
        XmToggleButtonSetState(field->toggle, False, notify);
        field->focused = 1;
    } else if (reason == XmCR_LOSING_FOCUS) {
        XtVaSetValues(field->text, XmNbackground, field->look->plainColor, nullptr);
        XmToggleButtonSetState(field->toggle, field->savedAfc != 0 ? True : False, notify);
        field->focused = 0;
        focusTo(field->focusAfterLeave);
    } else {
        std::fputs("rxFreqFocusCB: gain/losing focus error\n", stderr);
    }
}

}  // namespace

void frequency_field_create(FrequencyField* field, Widget comboForm, const char* textName,
                            const char* arrowName, const char* toggleName, const char* value,
                            bool set) {
    field->text = XtVaCreateManagedWidget(
        textName, xmTextFieldWidgetClass, comboForm, XmNshadowThickness, 0, XmNmaxLength, 6,
        XmNcolumns, 6, XmNmarginHeight, 10, XmNvalue, value, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM, nullptr);
    field->up = XtVaCreateManagedWidget(
        arrowName, xmArrowButtonWidgetClass, comboForm, XmNarrowDirection, XmARROW_UP,
        XmNshadowThickness, 0, XmNwidth, 25, XmNtopAttachment, XmATTACH_FORM,
        XmNbottomAttachment, XmATTACH_POSITION, XmNbottomPosition, 50, XmNleftAttachment,
        XmATTACH_WIDGET, XmNleftWidget, field->text, nullptr);
    field->down = XtVaCreateManagedWidget(
        arrowName, xmArrowButtonWidgetClass, comboForm, XmNarrowDirection, XmARROW_DOWN,
        XmNshadowThickness, 0, XmNwidth, 25, XmNtopAttachment, XmATTACH_POSITION,
        XmNtopPosition, 50, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
        XmATTACH_WIDGET, XmNleftWidget, field->text, nullptr);
    field->toggle = XtVaCreateManagedWidget(
        toggleName, xmToggleButtonWidgetClass, comboForm, XmNset, set ? True : False,
        XmNalignment, XmALIGNMENT_BEGINNING, XmNshadowThickness, 0, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
        XmNleftWidget, field->up, nullptr);
    // A text field, not a label, so that the operator can select and paste it.
    std::snprintf(field->radioText, sizeof field->radioText, "---");
    field->radio = XtVaCreateManagedWidget(
        "radioFreqText", xmTextFieldWidgetClass, comboForm, XmNeditable, False,
        XmNcursorPositionVisible, False, XmNtraversalOn, False, XmNshadowThickness, 0,
        XmNcolumns, 9, XmNmarginHeight, 10, XmNvalue, field->radioText, XmNtopAttachment,
        XmATTACH_FORM, XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_WIDGET,
        XmNleftWidget, field->toggle, XmNrightAttachment, XmATTACH_FORM, nullptr);
}

void frequency_field_show_radio(FrequencyField* field, const char* text) {
    if (std::strcmp(field->radioText, text) == 0) return;
    std::snprintf(field->radioText, sizeof field->radioText, "%s", text);
    XmTextFieldSetString(field->radio, field->radioText);
}

void frequency_field_attach(FrequencyField* field) {
    XtAddCallback(field->up, XmNactivateCallback, freqArrowCB, field);
    XtAddCallback(field->down, XmNactivateCallback, freqArrowCB, field);
    if (field->parksAfc) {
        XtAddCallback(field->text, XmNfocusCallback, rxFreqFocusCB, field);
        XtAddCallback(field->text, XmNlosingFocusCallback, rxFreqFocusCB, field);
    }
    XtAddCallback(field->text, XmNmodifyVerifyCallback, freqTextCB, field);
    XtAddCallback(field->text, XmNactivateCallback, freqTextCB, field);
}

float frequencyFieldValue(const char* text) {
    // The field says so when a typed value was limited to the top of the band.
    if (std::strcmp(text, "MAXFREQ") == 0) return MAX_FREQUENCY;
    return static_cast<float>(std::atof(text));
}

int32_t frequencyHundredths(float frequency) {
    return static_cast<int32_t>(frequency * 100.0f);
}

void setFrequencyText(Widget field, const char* text) {
    programWrite = true;
    XmTextFieldSetString(field, const_cast<char*>(text));
    programWrite = false;
}

float frequency_field_value(const FrequencyField* field) {
    char* text = XmTextFieldGetString(field->text);
    const float f = frequencyFieldValue(text);
    XtFree(text);
    return f;
}

void frequency_field_write(FrequencyField* field, float frequency) {
    std::snprintf(field->shownText, sizeof field->shownText, "%4.1f", frequency);
    setFrequencyText(field->text, field->shownText);
}

void frequency_field_show(FrequencyField* field, float frequency) {
    field->shownFrequency = frequency;
    frequency_field_write(field, frequency);
}

bool frequency_field_follow(FrequencyField* field, float frequency) {
    const double moved = std::fabs(static_cast<double>(frequency - field->shownFrequency));
    if (field->focused != 0 || !(moved > 0.05)) return false;
    frequency_field_show(field, frequency);
    return true;
}

float arrow_frequency(const char* fieldText, bool up, int clickCount, bool shift,
                      ArrowRule rule) {
    // The second click of a double click adds 7 Hz to the first click's 1 Hz.
    const bool doubleClick = clickCount == 2;
    float step = 1.0f;
    if (rule == ArrowRule::shiftFirst) {
        if (shift) {
            step = 8.0f;
        } else if (doubleClick) {
            step = 7.0f;
        }
    } else if (doubleClick) {
        step = 7.0f;
    } else if (shift) {
        step = 8.0f;
    }
    const float value = frequencyFieldValue(fieldText) + (up ? step : -step);
    return std::clamp(value, 0.0f, MAX_FREQUENCY);
}
