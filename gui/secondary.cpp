#include "gui/secondary.h"

#include <Xm/TextF.h>

#include <cmath>
#include <cstdio>

SecondaryDecoder secondaryDecoders[DECODER_SLOTS];

void decoder_show_status(SecondaryDecoder* decoder, int dcd, float frequency) {
    if (decoder->focused == 0 &&
        std::fabs(static_cast<double>(frequency - decoder->shownFrequency)) > 0.05) {
        decoder->shownFrequency = frequency;
        std::snprintf(decoder->freqText, sizeof decoder->freqText, "%4.1f", frequency);
        XmTextFieldSetString(decoder->rx2FreqText, decoder->freqText);
    }
    XtVaSetValues(decoder->dcdTB, XmNset, dcd != 0 ? True : False, nullptr);
}
