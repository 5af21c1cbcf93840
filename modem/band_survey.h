// Every PSK31 signal in a recording at once: a signal finder on the averaged spectrum
// and one receiver per signal it finds, each receiver's text cut into whole lines.
// Each receiver tells BPSK from QPSK by itself from the phase changes it sees, unless
// the mode is fixed.
//
//     band_survey s;
//     survey_init(s, mode, lsb, squelch, afc);   // mode -1 automatic, 0 BPSK, 1 QPSK
//     survey_feed(s, samples, count);   // as often as audio comes; lines appear in s.lines,
//                                       // each character as it comes in s.live
//     survey_finish(s);                 // the lines still open
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modem/receiver.h"
#include "spectrum/fft.h"

struct survey_line {
    double start_seconds = 0;  // when its first character was decoded
    double frequency = 0;      // its receiver's frequency when the line ended, Hz
    std::string text;          // without the newline
    int32_t qpsk = 0;          // 1: decoded as QPSK, 0: as BPSK
};

// One decoded character, for a live view of the band.
struct survey_char {
    int32_t channel = 0;       // the station's receiver, numbered from 1 as they start
    double frequency = 0;      // that receiver's frequency now, Hz
    int32_t qpsk = 0;
    char character = 0;        // a newline ends a line
    // The station's open line is read again from its start in the other mode: what it
    // showed since its last newline was read wrongly. No character comes with it.
    bool restart = false;
};

// What a channel has seen of its signal's phase changes, one block of symbols at a
// time: two phases or four.
struct mode_evidence {
    std::array<uint8_t, 32> changes{};  // phase change per symbol of the block, 1/256 turn
    int32_t count = 0;                  // symbols in the block so far
    int32_t votes = 0;                  // blocks that spoke for the other mode since one
                                        // spoke for this one
    int64_t counts_from = -1;           // symbols before this sample are not evidence
};

// A channel's newest symbols: when each was taken and its phase change, so that a
// copy of another station (a harmonic, an image) can be told by its changes.
struct symbol_ring {
    std::array<int64_t, 64> at{};      // sample of the symbol, -1 none
    std::array<uint8_t, 64> change{};  // phase change, 1/256 turn
    int32_t next = 0;                  // slot of the next symbol
};

struct survey_channel {
    psk31_receiver receiver;
    int32_t id = 0;            // numbered from 1 in the order receivers start
    int32_t qpsk = 0;          // the mode it decodes in: 1 QPSK, 0 BPSK
    mode_evidence evidence;
    std::string line;          // the line being received
    int64_t line_start = 0;    // sample of its first character
    int64_t last_char = 0;     // sample of the newest character
    int64_t last_found = 0;    // sample of the newest finder pass that saw energy here
    int64_t last_heard = 0;    // end of the newest spectrum with the signal in it
    int64_t line_end = 0;      // sample at which its newest line was handed over
    int32_t switch_to = -1;    // the mode its evidence asks for, -1 none
    int64_t quiet_until = 0;   // QPSK: characters before this sample come from before
                               // the signal or after it
    symbol_ring symbols;
    const survey_channel* copy_of = nullptr;  // the stronger channel its phase changes
                                              // follow; only compared, never followed
};

struct band_survey {
    int32_t qpsk = -1;              // -1 automatic per station, 0 BPSK, 1 QPSK
    int32_t lsb = 0;
    int32_t squelch = 15;
    int32_t afc = 1;
    split_radix_fft fft;
    std::vector<double> window;     // Hann, one FFT length
    std::vector<double> frame;      // FFT input
    std::vector<int16_t> history;   // the newest samples, a ring indexed by sample number
    std::vector<double> power;      // power per bin summed since the last finder pass
    std::vector<double> frame_power;  // power per bin of the newest spectrum
    std::vector<float> past_frames;   // the spectra of the history, a ring of frames
    std::vector<int64_t> past_ends;   // the sample each of those spectra ends at
    std::vector<double> floor;      // noise floor per bin from the last finder pass
    int32_t frames = 0;             // spectra in `power`
    int64_t samples = 0;            // samples fed so far
    std::vector<std::unique_ptr<survey_channel>> channels;
    std::vector<survey_line> lines;  // finished lines, oldest first; the caller empties it
    std::vector<survey_char> live;   // every character as decoded, oldest first; the caller
                                     // empties it
    int32_t next_id = 1;
};

// qpsk: -1 tells each station's mode by itself, 0 decodes all as BPSK, 1 as QPSK.
void survey_init(band_survey& survey, int32_t qpsk, int32_t lsb, int32_t squelch, int32_t afc);

// Feeds audio at 8000 samples per second.
void survey_feed(band_survey& survey, const int16_t* samples, size_t count);

// Ends every open line: the recording is over.
void survey_finish(band_survey& survey);

// The mode a block of phase changes (1/256 turn each) speaks for: 1 when it holds
// quarter turns (QPSK), 0 when only no change and reversals, both often (BPSK), -1
// when it cannot tell: noise, idle or a steady carrier, which both modes send alike.
int32_t mode_of_changes(const uint8_t* changes, int32_t count);

// Whether the phase changes b follow the changes a, symbol for symbol, times one of
// the factors a harmonic or a mirrored image gives (1, 2, 3 and their negatives):
// 1 when they do, 0 when they clearly do not, -1 when a's changes are too plain
// (idle, a steady carrier) to tell.
int32_t changes_follow(const uint8_t* a, const uint8_t* b, int32_t count);

// The noise floor of an averaged power spectrum of bins bin_hz wide, per bin: a low
// quantile of the bins within 300 Hz below it and of those within 300 Hz above it,
// the higher of the two, so that neither the signals among them nor the slope of a
// receiver's filter pass for the floor.
std::vector<double> noise_floor(const std::vector<double>& power, double bin_hz);

// Centres (Hz) of the signals in an averaged power spectrum with that floor: places
// between low_hz and high_hz where the power within 20 Hz stands well above the floor
// and is the highest within 30 Hz, and weaker ones on a strong signal's skirt; not
// the products (skirt regrowth, second and third harmonics) of a signal 30 dB above.
std::vector<double> find_signals(const std::vector<double>& power, const std::vector<double>& floor,
                                 double bin_hz, double low_hz, double high_hz);
