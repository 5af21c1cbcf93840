// A frequency combination: a text field in hertz, up and down arrows and the
// toggle beside them (AFC for a receiver, NET for the transmitter). The main
// window's two fields and every secondary decoder window's field are one kind
// of record; its handlers get the record as client data.
#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

struct PaneLook;

// Which step wins when an arrow's activation is both a Shift-click and the
// second click of a double click: the main window's arrows take Shift's 8 Hz,
// a secondary window's arrows the double click's 7 Hz.
enum class ArrowRule { shiftFirst, doubleClickFirst };

struct FrequencyField {
    Widget text;
    Widget up;
    Widget down;              // named after the up arrow
    Widget toggle;            // "AFC" or "NET"
    Widget radio;             // "radioFreqText": the radio frequency, read only
    char radioText[24];       // what it shows
    int channel;              // server channel the field tunes
    int focused;              // 1 while the field has the keyboard focus
    char shownText[16];       // "%4.1f" of the last frequency written
    float shownFrequency;     // hertz, last shown by follow or show; starts at 0
    unsigned char savedAfc;   // AFC put aside while the operator types
    bool parksAfc;            // a receive field: AFC is off while it has the focus
    bool notifyAfc;           // the AFC toggle's own handler runs when focus moves it
    ArrowRule arrowRule;
    Widget focusAfterEnter;   // where the keyboard goes after Enter
    Widget focusAfterLeave;   // and after the field loses the focus (receive fields)
    const PaneLook* look;     // marked and plain colours
};

// Creates the field, the two arrows and the toggle in `comboForm`.
void frequency_field_create(FrequencyField* field, Widget comboForm, const char* textName,
                            const char* arrowName, const char* toggleName, const char* value,
                            bool set);
// Adds the arrows', typing, Enter and (for a receive field) focus handlers.
void frequency_field_attach(FrequencyField* field);

// The frequency a field's text stands for: "MAXFREQ" is the top of the band,
// anything else is read as a decimal number (0 when it is none).
float frequencyFieldValue(const char* text);
// Hundredths of a hertz for the server, truncated in single precision.
int32_t frequencyHundredths(float frequency);
// Shows the radio frequency beside the field ("14070.950", or "---" while the
// dial is unknown); written only when it changed.
void frequency_field_show_radio(FrequencyField* field, const char* text);

// Writes a frequency field from the program ("%4.1f", "MAXFREQ"): the typing rule
// applies to the operator only.
void setFrequencyText(Widget field, const char* text);

// What the field's text stands for now.
float frequency_field_value(const FrequencyField* field);
// Writes "%4.1f" of `frequency` into the field.
void frequency_field_write(FrequencyField* field, float frequency);
// Writes it and remembers it as shown.
void frequency_field_show(FrequencyField* field, float frequency);
// Shows the channel's frequency unless the operator is typing into the field or it
// moved 0.05 Hz or less since last shown; true when it was written.
bool frequency_field_follow(FrequencyField* field, float frequency);

// The frequency an arrow moves a field to: 1 Hz a click, 8 Hz with Shift, 7 Hz
// more on the second click of a double click, limited to 0 to 4000 Hz.
float arrow_frequency(const char* fieldText, bool up, int clickCount, bool shift, ArrowRule rule);
