// Radio frequencies from the dial and an audio offset, as the windows show them.
#include <gtest/gtest.h>

#include "modem/radio_frequency.h"

namespace {

TEST(RadioFrequency, DialPlusOffsetOnUsbTypeModesMinusOnLsbTypeInKilohertz) {
    struct shown_case {
        int64_t dial_hz;
        const char* mode;
        double audio_hz;
        const char* text;
    } cases[] = {
        {14070000, "PKTUSB", 1000.0, "14071.000"},
        {14070000, "USB", 950.0, "14070.950"},
        {14070000, "LSB", 1000.0, "14069.000"},
        {14070000, "PKTLSB", 1234.5, "14068.766"},  // 14068765.5 Hz rounds up
        {7035000, "RTTY", 800.0, "7034.200"},
        {7035000, "CWR", 800.0, "7034.200"},
        {7035000, "CW", 800.0, "7035.800"},
        {50290000, "FM", 0.0, "50290.000"},
        {0, "USB", 1000.0, "---"},  // dial unknown
    };
    for (const shown_case& c : cases) {
        const radio_dial dial{c.dial_hz, mode_is_lsb_type(c.mode)};
        EXPECT_EQ(radio_khz_text(dial, c.audio_hz), c.text) << c.dial_hz << " " << c.mode;
    }
}

}  // namespace
