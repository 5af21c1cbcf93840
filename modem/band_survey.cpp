#include "modem/band_survey.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "modem/varicode.h"

namespace {

constexpr int kRate = 8000;
constexpr int kFftLength = 2048;                 // 3.9 Hz bins
constexpr int kHop = kFftLength / 2;
constexpr int kFramesPerPass = 16;               // a finder pass every 2 s
constexpr int kHistory = 8 * kRate;              // a new receiver starts at most this far back
constexpr int kPastFrames = kHistory / kHop;     // the spectra of that stretch
constexpr double kBinHz = static_cast<double>(kRate) / kFftLength;
constexpr double kLowHz = 100.0;
constexpr double kHighHz = 3900.0;
constexpr double kSignalHalfWidth = 20.0;        // Hz each side of a centre
constexpr double kPeakReach = 30.0;              // no stronger centre this near
constexpr double kSkirtHz = 100.0;               // how far a strong signal's skirt hides others
constexpr double kSkirtMargin = 2.0;
constexpr double kProductBelow = 1000.0;         // 30 dB
constexpr double kBesideHz = 45.0;               // nearest a weak signal is looked for
constexpr double kFloorHalfSpan = 300.0;         // the noise floor is taken this wide
constexpr double kFloorQuantile = 0.25;
constexpr double kStandOut = 2.0;                // signal + noise against noise, in 40 Hz
constexpr double kSameSignalHz = 25.0;           // a centre this near a receiver is its own
constexpr double kDuplicateHz = 10.0;            // two receivers this near share a signal
// Unseen and silent this long: gone. A station in a fade keeps its receiver as long
// as the band window keeps its line.
constexpr int64_t kRetireSamples = 60 * kRate;
constexpr int64_t kLineIdleSamples = 3 * kRate;  // an open line with no character this long ends
constexpr size_t kMaxLine = 200;
constexpr int64_t kQpskDelaySamples = 20 * 256;  // the Viterbi decoder's delay
constexpr int64_t kHeardGrace = kRate / 2;       // a character this late after its signal is noise
// One spectrum is far less steady than the finder's average: noise alone would pass
// for a signal twice the floor in 40 Hz every few seconds, three times hardly ever.
constexpr double kHeardOverNoise = 3.0;
// White noise of one least bit rms through the Hann window, per bin: 2048 x 0.375.
constexpr double kLeastFloor = kFftLength * 0.375;
constexpr double kDynamicRange = 3e-8;           // -75 dB
constexpr double kBelowBandFloor = 1e-3;         // -30 dB
constexpr size_t kMaxChannels = 64;
// Mode evidence: the quadrupled phase changes of a block must hold together this well
// (1 for a clean signal, about 0.16 for noise over 32 symbols) before their quarter
// turns are counted, and two blocks must agree before a receiver changes its mode.
constexpr double kModeConcentration = 0.45;
constexpr int32_t kModeVotes = 2;
// A copy of a station: its changes follow the station's this closely, and the station
// is this much stronger (10 dB).
constexpr double kFollowConcentration = 0.8;
constexpr double kPlainConcentration = 0.6;
constexpr double kCopyBelow = 10.0;
constexpr int64_t kSameSymbol = 32;  // a copy's symbols are taken this near the station's

bool copy_of_another(band_survey& s, survey_channel& ch);

void end_line(band_survey& s, survey_channel& ch, int64_t n) {
    if (ch.line.empty()) return;
    if (copy_of_another(s, ch)) {
        ch.line.clear();
        return;
    }
    s.lines.push_back(
        {static_cast<double>(ch.line_start) / kRate, ch.receiver.freq, ch.line, ch.qpsk});
    ch.line.clear();
    ch.line_end = n;
}

// One symbol's phase change as evidence of the channel's mode, at sample n. Only
// while the spectrum shows the signal: noise must not turn a receiver over.
void note_symbol(survey_channel& ch, int64_t n) {
    mode_evidence& e = ch.evidence;
    if (n < e.counts_from || n - ch.last_heard > kHeardGrace) return;
    e.changes[static_cast<size_t>(e.count++)] = static_cast<uint8_t>(ch.receiver.phase);
    if (e.count < static_cast<int32_t>(e.changes.size())) return;
    const int32_t mode = mode_of_changes(e.changes.data(), e.count);
    e.count = 0;
    if (mode == ch.qpsk) {
        e.votes = 0;
    } else if (mode >= 0 && ++e.votes >= kModeVotes) {
        ch.switch_to = mode;
    }
}

// A symbol the channel's receiver has just taken, at sample n; `dcd` is its carrier
// detect before it.
void symbol_taken(band_survey& s, survey_channel& ch, int64_t n, int32_t dcd) {
    symbol_ring& ring = ch.symbols;
    ring.at[static_cast<size_t>(ring.next)] = n;
    ring.change[static_cast<size_t>(ring.next)] = static_cast<uint8_t>(ch.receiver.phase);
    ring.next = (ring.next + 1) & 63;
    if (s.qpsk < 0) note_symbol(ch, n);
    // QPSK's characters come 20 symbols late: those completed just after carrier
    // detect comes on are made of the noise before it. Once the carrier stands still
    // (the end of a transmission) the next are made of that carrier and the noise
    // after it; a new transmission starts with far more idle than this.
    if (ch.qpsk == 0) return;
    if (dcd == 0 && ch.receiver.dcd != 0) ch.quiet_until = n + kQpskDelaySamples;
    if ((ch.receiver.dcd_register & 0xFFFFFFFFu) == 0) {
        ch.quiet_until = n + kQpskDelaySamples + 8 * 256;
    }
}

// One input sample of one channel, at sample number n.
void channel_sample(band_survey& s, survey_channel& ch, int16_t sample, int64_t n) {
    const int32_t clock = ch.receiver.symbol_clock, dcd = ch.receiver.dcd;
    const int c = receive_sample(ch.receiver, sample);
    // The symbol clock wraps when a symbol is taken.
    if (ch.receiver.symbol_clock < clock) symbol_taken(s, ch, n, dcd);
    if (c == NO_CHAR) return;
    if (ch.receiver.dcd == 0 && s.squelch != -1) return;
    if (n < ch.quiet_until) return;
    // Carrier detect outlasts a signal by a little; what it lets through once the
    // spectrum no longer shows the signal is noise. QPSK's characters come 20 symbols late.
    const int64_t grace = ch.qpsk != 0 ? kHeardGrace + kQpskDelaySamples : kHeardGrace;
    if (s.squelch != -1 && n - ch.last_heard > grace) return;
    if (c == '\r') return;
    // A copy of a stronger station shows nothing live, as it gives no line.
    if (ch.copy_of == nullptr) {
        s.live.push_back({ch.id, ch.receiver.freq, ch.qpsk, static_cast<char>(c)});
    }
    if (c == '\n') {
        end_line(s, ch, n);
        return;
    }
    if (ch.line.empty()) ch.line_start = n;
    ch.line.push_back(static_cast<char>(c));
    ch.last_char = n;
    if (ch.line.size() >= kMaxLine) end_line(s, ch, n);
}

// Whether the signal centred on bin `centre` shows in a spectrum: its power within
// half a signal width well above the floor there.
bool heard_in(const band_survey& s, const auto* frame_power, int centre) {
    const int half = static_cast<int>(std::lround(kSignalHalfWidth / kBinHz));
    const int bins = static_cast<int>(s.power.size());
    if (s.floor.empty() || centre - half < 0 || centre + half >= bins) return false;
    double signal = 0.0, noise = 0.0;
    for (int k = centre - half; k <= centre + half; ++k) {
        signal += frame_power[k];
        noise += s.floor[k];
    }
    return signal > kHeardOverNoise * noise;
}

// Power within half a signal width of a channel's frequency in the newest spectrum.
double power_at(const band_survey& s, const survey_channel& ch) {
    const int half = static_cast<int>(std::lround(kSignalHalfWidth / kBinHz));
    const int centre = static_cast<int>(std::lround(ch.receiver.freq / kBinHz));
    double sum = 0.0;
    const int last = std::min(centre + half, static_cast<int>(s.frame_power.size()) - 1);
    for (int k = std::max(0, centre - half); k <= last; ++k) {
        sum += s.frame_power[static_cast<size_t>(k)];
    }
    return sum;
}

// Whether the channel's newest symbols follow those of a stronger channel: a harmonic
// or an image of it, whose text is that station's. Decided while the stronger one
// sends text, and kept through its idle.
bool copy_of_another(band_survey& s, survey_channel& ch) {
    const double mine = power_at(s, ch);
    std::array<uint8_t, 64> a{}, b{};
    for (const auto& other : s.channels) {
        if (other.get() == &ch || !(power_at(s, *other) > kCopyBelow * mine)) continue;
        // Both rings hold their symbols oldest first from `next` on: one merge pairs them.
        int32_t pairs = 0;
        for (int i = 0, j = 0; i < 64 && j < 64;) {
            const size_t mine_slot = static_cast<size_t>((ch.symbols.next + i) & 63);
            const size_t their_slot = static_cast<size_t>((other->symbols.next + j) & 63);
            const int64_t at = ch.symbols.at[mine_slot], their_at = other->symbols.at[their_slot];
            if (at <= 0 || their_at - at >= kSameSymbol) {
                ++i;
            } else if (their_at <= 0 || at - their_at >= kSameSymbol) {
                ++j;
            } else {
                a[static_cast<size_t>(pairs)] = other->symbols.change[their_slot];
                b[static_cast<size_t>(pairs++)] = ch.symbols.change[mine_slot];
                ++i, ++j;
            }
        }
        const int32_t follows = changes_follow(a.data(), b.data(), pairs);
        if (follows == 1) ch.copy_of = other.get();
        if (follows == 0 && ch.copy_of == other.get()) ch.copy_of = nullptr;
        if (follows == 1) return true;
    }
    // The station it copies may be idle now, or gone.
    for (const auto& other : s.channels) {
        if (other.get() == ch.copy_of) return true;
    }
    ch.copy_of = nullptr;
    return false;
}

// Starts the channel's receiver afresh at hz in the channel's mode and runs it over
// the history from `earliest` on. The finder needs a while to see a signal: the
// receiver starts a second before the first spectrum there that shows the signal, so
// the first characters are not lost, and hears the history as it would have live.
void replay(band_survey& s, survey_channel& ch, double hz, int64_t earliest) {
    init_receiver(ch.receiver);
    set_receiver_frequency(ch.receiver, static_cast<int32_t>(std::lround(hz * 100)));
    set_receiver_mode(ch.receiver, ch.qpsk, s.lsb);
    ch.receiver.afc = s.afc;
    ch.receiver.squelch = s.squelch;
    ch.line.clear();
    ch.quiet_until = 0;
    ch.symbols = {};  // heard again from further back: the ring must stay in time order
    ch.evidence.count = 0;
    ch.evidence.votes = 0;
    ch.switch_to = -1;
    const int bins = static_cast<int>(s.power.size());
    const int centre = static_cast<int>(std::lround(hz / kBinHz));
    const int64_t oldest = std::max<int64_t>(0, s.samples - kHistory + kFftLength);
    std::vector<int64_t> heard_ends;
    for (int f = 0; f < kPastFrames; ++f) {
        const int64_t end = s.past_ends[static_cast<size_t>(f)];
        if (end >= oldest && heard_in(s, s.past_frames.data() + static_cast<size_t>(f) * bins, centre)) {
            heard_ends.push_back(end);
        }
    }
    std::sort(heard_ends.begin(), heard_ends.end());
    int64_t from = std::max<int64_t>(0, s.samples - kHistory);
    if (!heard_ends.empty()) from = std::max(from, heard_ends.front() - kFftLength - kRate);
    from = std::max(from, earliest);
    ch.last_heard = heard_ends.empty() ? s.samples : from - kRate;
    size_t next = 0;
    for (int64_t n = from; n < s.samples; ++n) {
        while (next < heard_ends.size() && heard_ends[next] <= n) ch.last_heard = heard_ends[next++];
        channel_sample(s, ch, s.history[static_cast<size_t>(n % kHistory)], n);
    }
}

// The channel's evidence asks for the other mode: what it heard since its last
// finished line is heard again in that mode, and only later symbols count as evidence.
void switch_mode(band_survey& s, survey_channel& ch) {
    ch.qpsk = ch.switch_to;
    ch.evidence.counts_from = s.samples;
    s.live.push_back({ch.id, ch.receiver.freq, ch.qpsk, 0, true});
    replay(s, ch, ch.receiver.freq, ch.line_end);
}

void start_channel(band_survey& s, double hz) {
    auto ch = std::make_unique<survey_channel>();
    ch->id = s.next_id++;
    ch->qpsk = s.qpsk == 1 ? 1 : 0;
    ch->last_found = s.samples;
    replay(s, *ch, hz, 0);
    if (ch->switch_to >= 0) switch_mode(s, *ch);
    s.channels.push_back(std::move(ch));
}

void finder_pass(band_survey& s) {
    for (double& p : s.power) p /= s.frames;
    s.floor = noise_floor(s.power, kBinHz);
    const std::vector<double> centres = find_signals(s.power, s.floor, kBinHz, kLowHz, kHighHz);
    std::fill(s.power.begin(), s.power.end(), 0.0);
    s.frames = 0;

    for (double hz : centres) {
        bool known = false;
        for (auto& ch : s.channels) {
            if (std::fabs(ch->receiver.freq - hz) < kSameSignalHz) {
                ch->last_found = s.samples;
                known = true;
            }
        }
        if (!known && s.channels.size() < kMaxChannels) start_channel(s, hz);
    }

    // Two receivers on one signal (AFC can pull a second one onto it): the younger goes.
    for (size_t i = 0; i < s.channels.size(); ++i) {
        for (size_t j = i + 1; j < s.channels.size();) {
            if (std::fabs(s.channels[i]->receiver.freq - s.channels[j]->receiver.freq) < kDuplicateHz) {
                end_line(s, *s.channels[j], s.samples);
                s.channels.erase(s.channels.begin() + static_cast<long>(j));
            } else {
                ++j;
            }
        }
    }
    for (size_t i = 0; i < s.channels.size();) {
        survey_channel& ch = *s.channels[i];
        if (!ch.line.empty() && s.samples - ch.last_char > kLineIdleSamples) end_line(s, ch, s.samples);
        if (s.samples - ch.last_found > kRetireSamples && ch.receiver.dcd == 0) {
            end_line(s, ch, s.samples);
            s.channels.erase(s.channels.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
}

void spectrum_frame(band_survey& s) {
    for (int k = 0; k < kFftLength; ++k) {
        const int64_t n = s.samples - kFftLength + k;
        s.frame[k] = s.window[k] * s.history[static_cast<size_t>(n % kHistory)];
    }
    const std::unique_ptr<double[]> spectrum = s.fft.forward_real(s.frame.data());
    if (spectrum == nullptr) return;
    for (size_t k = 0; k < s.power.size(); ++k) {
        const double re = spectrum[2 * k], im = spectrum[2 * k + 1];
        s.frame_power[k] = re * re + im * im;
        s.power[k] += s.frame_power[k];
    }
    const size_t bins = s.power.size();
    const int64_t frame_number = s.samples / kHop;
    const size_t slot = static_cast<size_t>(frame_number % kPastFrames);
    std::copy(s.frame_power.begin(), s.frame_power.end(), s.past_frames.begin() + slot * bins);
    s.past_ends[slot] = s.samples;
    for (auto& ch : s.channels) {
        const int centre = static_cast<int>(std::lround(ch->receiver.freq / kBinHz));
        if (heard_in(s, s.frame_power.data(), centre)) ch->last_heard = s.samples;
        // A mode change waits for the next spectrum, an eighth of a second at most: the
        // receiver hears all since its last line again anyway.
        if (ch->switch_to >= 0) switch_mode(s, *ch);
    }
    if (++s.frames == kFramesPerPass) finder_pass(s);
}

}  // namespace

void survey_init(band_survey& s, int32_t qpsk, int32_t lsb, int32_t squelch, int32_t afc) {
    s.qpsk = qpsk;
    s.lsb = lsb;
    s.squelch = squelch;
    s.afc = afc;
    s.fft.setup(kFftLength, 0);
    s.window.resize(kFftLength);
    for (int k = 0; k < kFftLength; ++k) {
        s.window[k] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * k / kFftLength);
    }
    s.frame.assign(kFftLength, 0.0);
    s.history.assign(kHistory, 0);
    s.power.assign(kFftLength / 2 + 1, 0.0);
    s.frame_power.assign(kFftLength / 2 + 1, 0.0);
    s.past_frames.assign(static_cast<size_t>(kPastFrames) * (kFftLength / 2 + 1), 0.0f);
    s.past_ends.assign(kPastFrames, -1);
    s.floor.clear();
    s.frames = 0;
    s.samples = 0;
    s.channels.clear();
    s.lines.clear();
    s.live.clear();
    s.next_id = 1;
}

void survey_feed(band_survey& s, const int16_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const int16_t sample = samples[i];
        s.history[static_cast<size_t>(s.samples % kHistory)] = sample;
        for (auto& ch : s.channels) channel_sample(s, *ch, sample, s.samples);
        ++s.samples;
        if (s.samples % kHop == 0 && s.samples >= kFftLength) spectrum_frame(s);
    }
}

void survey_finish(band_survey& s) {
    for (auto& ch : s.channels) end_line(s, *ch, s.samples);
}

namespace {

// Centres (in bins) where the power within half a signal width stands out against
// the floor and is the highest within the peak reach; the centre of each is the
// power-weighted mean of its bins above `base`.
std::vector<double> peaks(const std::vector<double>& power, const std::vector<double>& floor,
                          double base_of_floor, int first, int last, int half, int reach) {
    std::vector<double> sum(power.size(), 0.0), centres;
    for (int k = first; k <= last; ++k) {
        for (int j = k - half; j <= k + half; ++j) sum[k] += power[j];
    }
    for (int k = first; k <= last; ++k) {
        if (!(sum[k] > kStandOut * floor[k] * (2 * half + 1))) continue;
        bool peak = true;
        for (int j = std::max(first, k - reach); j <= std::min(last, k + reach) && peak; ++j) {
            // Ties go to the lower bin, so a flat top gives one centre.
            if (j < k ? sum[j] >= sum[k] : j > k && sum[j] > sum[k]) peak = false;
        }
        if (!peak) continue;
        double weight = 0.0, moment = 0.0;
        for (int j = k - half; j <= k + half; ++j) {
            const double above = std::max(0.0, power[j] - base_of_floor * floor[k]);
            weight += above;
            moment += above * j;
        }
        centres.push_back(weight > 0 ? moment / weight : k);
    }
    return centres;
}

}  // namespace

int32_t mode_of_changes(const uint8_t* changes, int32_t count) {
    if (count <= 0) return -1;
    // Four times the change removes either modulation; what stays is the drift per
    // symbol, steady on a signal and scattered on noise.
    double re = 0.0, im = 0.0;
    for (int32_t k = 0; k < count; ++k) {
        const double angle = changes[k] * 4 * 2 * std::numbers::pi / 256;
        re += std::cos(angle);
        im += std::sin(angle);
    }
    if (std::hypot(re, im) < kModeConcentration * count) return -1;
    const double drift = std::atan2(im, re) / 4 * 256 / (2 * std::numbers::pi);
    std::array<int32_t, 4> quarters{};
    for (int32_t k = 0; k < count; ++k) {
        ++quarters[static_cast<size_t>(std::lround((changes[k] - drift) / 64) & 3)];
    }
    // QPSK text turns a quarter about every other symbol; BPSK never does, and its
    // text both keeps and reverses the phase often. Idle (all reversals) and a steady
    // carrier look the same in both modes.
    const int32_t odd = quarters[1] + quarters[3];
    if (odd * 4 >= count) return 1;
    if (odd * 16 <= count && quarters[0] * 8 >= count && quarters[2] * 8 >= count) return 0;
    return -1;
}

int32_t changes_follow(const uint8_t* a, const uint8_t* b, int32_t count) {
    if (count < 24) return -1;
    constexpr double kTurn = 2 * std::numbers::pi / 256;
    int32_t told = -1;
    for (int m : {1, 2, 3, -1, -2, -3}) {
        double a_re = 0, a_im = 0, d_re = 0, d_im = 0;
        for (int32_t k = 0; k < count; ++k) {
            const double expected = m * a[k] * kTurn;
            a_re += std::cos(expected);
            a_im += std::sin(expected);
            d_re += std::cos(b[k] * kTurn - expected);
            d_im += std::sin(b[k] * kTurn - expected);
        }
        // Changes that do not vary (idle, a steady carrier) follow anything.
        if (std::hypot(a_re, a_im) > kPlainConcentration * count) continue;
        if (std::hypot(d_re, d_im) > kFollowConcentration * count) return 1;
        told = 0;
    }
    return told;
}

std::vector<double> noise_floor(const std::vector<double>& power, double bin_hz) {
    const int bins = static_cast<int>(power.size());
    const int span = static_cast<int>(std::lround(kFloorHalfSpan / bin_hz));
    std::vector<double> floor(static_cast<size_t>(bins), 0.0);
    std::vector<double> around;
    // A window's sidelobes and 16-bit rounding put faint images of a strong signal all
    // over the spectrum, about 90 dB down: nothing that far below the strongest is a
    // signal.
    const double strongest = power.empty() ? 0.0 : *std::max_element(power.begin(), power.end());
    const double least = std::max(kLeastFloor, strongest * kDynamicRange);
    const auto quantile = [&](int from, int to) {
        around.assign(power.begin() + from, power.begin() + to + 1);
        auto nth = around.begin() + static_cast<long>(kFloorQuantile * (around.size() - 1));
        std::nth_element(around.begin(), nth, around.end());
        return *nth;
    };
    for (int k = 0; k < bins; ++k) {
        // Each side by itself: at the edge of a receiver's filter the side in the
        // stopband would pull a two-sided floor under the noise of the passband.
        const double below = quantile(std::max(0, k - span), k);
        const double above = quantile(k, std::min(bins - 1, k + span));
        // Digital silence is no floor: a signal must stand above a least-bit of noise.
        floor[k] = std::max({below, above, least});
    }
    // Outside a receiver's filter there is only the sound card's own noise and what an
    // overdriven card spatters there, far under the band's noise; its ripples are no
    // stations. A station in the passband never stands this far under the band's floor.
    around = floor;
    auto middle = around.begin() + static_cast<long>(around.size() / 2);
    std::nth_element(around.begin(), middle, around.end());
    const double band_floor = around.empty() ? 0.0 : *middle;
    for (double& f : floor) f = std::max(f, band_floor * kBelowBandFloor);
    return floor;
}

std::vector<double> find_signals(const std::vector<double>& power, const std::vector<double>& floor,
                                 double bin_hz, double low_hz, double high_hz) {
    std::vector<double> centres;
    const int bins = static_cast<int>(power.size());
    const int half = static_cast<int>(std::lround(kSignalHalfWidth / bin_hz));
    const int reach = static_cast<int>(std::lround(kPeakReach / bin_hz));
    const int skirt = static_cast<int>(std::lround(kSkirtHz / bin_hz));
    const int first = std::max(half, static_cast<int>(std::ceil(low_hz / bin_hz)));
    const int last = std::min(bins - 1 - half, static_cast<int>(std::floor(high_hz / bin_hz)));
    if (first > last) return centres;

    const std::vector<double> strong = peaks(power, floor, 1.0, first, last, half, reach);

    // A weak signal beside a strong one stands on the strong one's skirt, which hides
    // it from the peak test. A PSK31 spectrum is symmetric about its centre, so the
    // skirt on one side is taken away by the other side's power, and the rest searched
    // again near each strong signal.
    // Twice the mirrored power is taken away: a skirt is only roughly symmetric within
    // a few seconds of text, and what is left of it must not pass for a signal.
    std::vector<double> rest(power);
    for (double c : strong) {
        const int centre = static_cast<int>(std::lround(c));
        for (int k = std::max(0, centre - skirt); k <= std::min(bins - 1, centre + skirt); ++k) {
            const double mirror = 2 * c - k;
            const int below = static_cast<int>(std::floor(mirror));
            if (std::abs(k - centre) <= half) {
                rest[k] = 0.0;
            } else if (below >= 0 && below + 1 < bins) {
                const double t = mirror - below;
                const double skirt_power = (1 - t) * power[below] + t * power[below + 1];
                rest[k] = std::max(0.0, rest[k] - kSkirtMargin * skirt_power);
            }
        }
    }
    const std::vector<double> weak = peaks(rest, floor, 0.0, first, last, half, reach);
    for (double c : strong) centres.push_back(c * bin_hz);
    for (double w : weak) {
        bool beside = false, apart = true;
        for (double c : strong) {
            beside = beside || std::fabs(w - c) <= skirt;
            apart = apart && std::fabs(w - c) * bin_hz >= kBesideHz;
        }
        if (beside && apart) centres.push_back(w * bin_hz);
    }
    // A station 30 dB or more above its surroundings carries its own faint products: on
    // its skirt the spectral regrowth of a bent amplifier, at two and three times its
    // frequency its harmonics, as wide as they are high. None of them is a station.
    const auto power_at = [&](double hz) {
        const int centre = static_cast<int>(std::lround(hz / bin_hz));
        double sum = 0.0;
        for (int k = std::max(0, centre - half); k <= std::min(bins - 1, centre + half); ++k) {
            sum += power[k];
        }
        return sum;
    };
    std::vector<double> stations;
    for (double c : centres) {
        bool product = false;
        for (double g : centres) {
            if (!(power_at(g) > kProductBelow * power_at(c))) continue;
            product = product || std::fabs(c - g) <= kSkirtHz;
            for (int m = 2; m <= 3; ++m) {
                product = product || std::fabs(c - m * g) <= m * kSignalHalfWidth;
            }
        }
        if (!product) stations.push_back(c);
    }
    std::sort(stations.begin(), stations.end());
    return stations;
}
