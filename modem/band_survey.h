// Every PSK31 signal in a recording at once: a signal finder on the averaged spectrum
// and one receiver per signal it finds, each receiver's text cut into whole lines.
//
//     band_survey s;
//     survey_init(s, qpsk, lsb, squelch, afc);
//     survey_feed(s, samples, count);   // as often as audio comes; lines appear in s.lines,
//                                       // each character as it comes in s.live
//     survey_finish(s);                 // the lines still open
#pragma once

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
    int32_t qpsk = 0;          // the mode it was read in
};

// One decoded character, for a live view of the band.
struct survey_char {
    int32_t channel = 0;       // the station's receiver, numbered from 1 as they start
    double frequency = 0;      // that receiver's frequency now, Hz
    int32_t qpsk = 0;
    char character = 0;        // a newline ends a line
};

struct survey_channel {
    psk31_receiver receiver;
    int32_t id = 0;            // numbered from 1 in the order receivers start
    int32_t qpsk = 0;          // the mode this receiver decodes
    std::string line;          // the line being received
    int64_t line_start = 0;    // sample of its first character
    int64_t last_char = 0;     // sample of the newest character
    int64_t last_found = 0;    // sample of the newest finder pass that saw energy here
    int64_t last_heard = 0;    // end of the newest spectrum with the signal in it
};

struct band_survey {
    int32_t qpsk = 0;
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

// qpsk: -1 finds each station's mode, 0 BPSK, 1 QPSK.
void survey_init(band_survey& survey, int32_t qpsk, int32_t lsb, int32_t squelch, int32_t afc);

// Feeds audio at 8000 samples per second.
void survey_feed(band_survey& survey, const int16_t* samples, size_t count);

// Ends every open line: the recording is over.
void survey_finish(band_survey& survey);

// The noise floor of an averaged power spectrum of bins bin_hz wide, per bin: a low
// quantile of the bins within 300 Hz, so that the signals among them do not raise it.
std::vector<double> noise_floor(const std::vector<double>& power, double bin_hz);

// Centres (Hz) of the signals in an averaged power spectrum with that floor: places
// between low_hz and high_hz where the power within 20 Hz stands well above the floor
// and is the highest within 30 Hz, and weaker ones on a strong signal's skirt.
std::vector<double> find_signals(const std::vector<double>& power, const std::vector<double>& floor,
                                 double bin_hz, double low_hz, double high_hz);
