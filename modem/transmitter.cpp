// The transmitter's command queue: characters and command words in, pattern words out.
#include "modem/transmitter.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "modem/oscillator.h"
#include "modem/varicode.h"

namespace {

// Queued words besides characters and command words.
constexpr int32_t kPskChar = 0x80000;     // + byte: sent in Varicode and echoed
constexpr int32_t kEchoMarker = 0x40000;  // + byte: echo of a Morse character
constexpr int32_t kCancelledEnd = 0x1FFFFF;
constexpr int32_t kModeBit = 0x200000;
constexpr int32_t kFrequencyBit = 0x400000;

// Pattern words: bits 0-15 with end marker, bit 16 QPSK, bit 17 carrier on.
constexpr int32_t kQpskFlag = 0x10000;
constexpr int32_t kCarrierFlag = 0x20000;
constexpr int32_t kIdleBpsk = 0x22000;  // 13 reversals
constexpr int32_t kIdleQpsk = 0x32000;
constexpr int32_t kPreambleTail = 0x20040;  // 6 reversals, with 2 x 13 makes 32
constexpr int32_t kPostambleBpsk = 0x20004;
constexpr int32_t kPostambleQpsk = 0x30200;  // 9 zeros: 48 with three idle words
constexpr int32_t kSteady13 = 0x23FFF;
constexpr int32_t kSteady6 = 0x2007F;
constexpr int32_t kFadeOut = 0x00001;
constexpr int32_t kTuneIdle = 0x2FFFF;
constexpr int32_t kMorseIdle = 0x00010;
constexpr int32_t kNotSending = 0x00002;
constexpr int32_t kEndReached = 0x00000;
constexpr int32_t kDot = 0x20003;
constexpr int32_t kDash = 0x2000F;
constexpr int32_t kElementGap = 0x00004;
constexpr int32_t kLetterGap = 0x00008;

constexpr int kModePsk = 0;
constexpr int kModeMorse = 1;
constexpr int kModeTune = 2;

// One Morse byte from dots and dashes: elements from the top bit down (0 dot,
// 1 dash), then a single 1 as end marker.
constexpr uint8_t morse(const char* elements) {
    unsigned byte = 0;
    int n = 0;
    for (; elements[n] != '\0'; ++n) byte = (byte << 1) | (elements[n] == '-' ? 1u : 0u);
    byte = (byte << 1) | 1u;
    return static_cast<uint8_t>(byte << (7 - n));
}

constexpr char kMorseFirst = '!';
constexpr char kMorseLast = 'Z';

// '!' to 'Z'; 0 where a character has no code.
constexpr std::array<uint8_t, kMorseLast - kMorseFirst + 1> kMorseTable = [] {
    std::array<uint8_t, kMorseLast - kMorseFirst + 1> t{};
    auto set = [&t](char c, const char* elements) { t[c - kMorseFirst] = morse(elements); };
    set('!', "...-.");
    set('"', ".-..-.");
    set('\'', ".----.");
    set('(', "-.--.");
    set(')', "-.--.-");
    set('+', ".-.-.");
    set(',', "--..--");
    set('-', "-....-");
    set('.', ".-.-.-");
    set('/', "-..-.");
    set('0', "-----");
    set('1', ".----");
    set('2', "..---");
    set('3', "...--");
    set('4', "....-");
    set('5', ".....");
    set('6', "-....");
    set('7', "--...");
    set('8', "---..");
    set('9', "----.");
    set(':', "---...");
    set('?', "..--..");
    set('A', ".-");
    set('B', "-...");
    set('C', "-.-.");
    set('D', "-..");
    set('E', ".");
    set('F', "..-.");
    set('G', "--.");
    set('H', "....");
    set('I', "..");
    set('J', ".---");
    set('K', "-.-");
    set('L', ".-..");
    set('M', "--");
    set('N', "-.");
    set('O', "---");
    set('P', ".--.");
    set('Q', "--.-");
    set('R', ".-.");
    set('S', "...");
    set('T', "-");
    set('U', "..-");
    set('V', "...-");
    set('W', ".--");
    set('X', "-..-");
    set('Y', "-.--");
    set('Z', "--..");
    return t;
}();
static_assert(kMorseTable['A' - kMorseFirst] == 0x60);
static_assert(kMorseTable['5' - kMorseFirst] == 0x04);
static_assert(kMorseTable['!' - kMorseFirst] == 0x14);

constexpr int32_t kQueueMask = psk31_transmitter::kQueueSize - 1;

bool is_setting(int32_t word) {
    return (word & (kModeBit | kFrequencyBit)) != 0;
}

// Mode and frequency words take effect here, at their place in the stream. The phase
// is left alone, so a frequency change is phase-continuous.
void apply_setting(psk31_transmitter& tx, int32_t word) {
    if (word & kFrequencyBit) {
        const int32_t hundredths = word & 0xFFFFF;
        tx.frequency = frequency_of_hundredths(hundredths);
        tx.phase_step = oscillator_step(tx.frequency);
    } else if (word & 8) {
        tx.tx_mode = kModeTune;
    } else if (word & 4) {
        tx.tx_mode = kModeMorse;
    } else {
        tx.qpsk = (word >> 1) & 1;
        tx.lsb = word & 1;
        tx.tx_mode = kModePsk;
    }
}

void append(psk31_transmitter& tx, int32_t word) {
    tx.queue[tx.tail] = word;
    tx.tail = (tx.tail + 1) & kQueueMask;
    if (tx.tail == tx.head) tx.head = (tx.head + 1) & kQueueMask;  // full: drop the oldest
}

void prepend(psk31_transmitter& tx, int32_t word) {
    tx.head = (tx.head - 1) & kQueueMask;
    tx.queue[tx.head] = word;
    if (tx.head == tx.tail) tx.tail = (tx.tail - 1) & kQueueMask;  // full: drop the newest
}

void begin_transmission(psk31_transmitter& tx) {
    // A pending end belongs to the transmission being replaced.
    for (int32_t i = tx.head; i != tx.tail; i = (i + 1) & kQueueMask) {
        if (tx.queue[i] == static_cast<int32_t>(TX_END)) {
            tx.queue[i] = kCancelledEnd;
            std::fputs("removing TX_END!\n", stderr);
        }
    }
    if (tx.state == 0 || tx.state == 2) tx.state = 1;
    // Settings chosen while idle hold from the first symbol on.
    while (tx.head != tx.tail && is_setting(tx.queue[tx.head])) {
        apply_setting(tx, tx.queue[tx.head]);
        tx.head = (tx.head + 1) & kQueueMask;
    }
    if (tx.tx_mode == kModePsk) {
        // One second of reversals for the receiver to lock on, always BPSK.
        prepend(tx, kPreambleTail);
        prepend(tx, kIdleBpsk);
        prepend(tx, kIdleBpsk);
    }
    tx.previous_vector = {0.0f, 0.0f};
    tx.current_vector = {0.0f, 0.0f};
}

void end_transmission(psk31_transmitter& tx, bool abort) {
    if (abort) {
        tx.head = 0;
        tx.tail = 0;
    }
    // An abort while ending has just discarded the queued end; queue it again so that
    // the transmission still ends.
    if (tx.state == 1 || (abort && tx.state == 2)) {
        if (tx.queue_mode == kModePsk) tx.put_postamble();
        append(tx, static_cast<int32_t>(TX_END));
        tx.state = 2;
    }
}

}  // namespace

int32_t psk31_transmitter::put_command(uint32_t word) {
    if (word == TX_BEGIN) {
        begin_transmission(*this);
        return 0;
    }
    if ((word & ~0x40000000u) == TX_END) {
        end_transmission(*this, word == TX_ABORT);
        return 0;
    }
    const bool mode_word = (word & kModeBit) != 0 && (word & kFrequencyBit) == 0;
    // A refused mode word leaves the queue mode alone: the characters queued after it
    // would otherwise be coded for a mode the modulator never switches to.
    if (queued() >= kQueueCapacity) return -1;
    const int32_t previous_mode = queue_mode;
    if (mode_word) queue_mode = (word & 8) ? kModeTune : (word & 4) ? kModeMorse : kModePsk;

    if (word <= 0xFF) {
        const int32_t byte = static_cast<int32_t>(word);
        if (queue_mode != kModePsk) {
            append(*this, kEchoMarker + byte);
            put_morse(byte);
            return 0;
        }
        if (byte == 8 && head != tail) {
            // A backspace takes back the newest character not yet sent.
            const int32_t newest_at = (tail - 1) & kQueueMask;
            const int32_t newest = queue[newest_at];
            if (!is_setting(newest) && (newest & kPskChar) != 0 && (newest & 0xFF) != 8) {
                tail = newest_at;
                return 0;
            }
        }
        append(*this, kPskChar + byte);
        return 0;
    }
    if (is_setting(static_cast<int32_t>(word))) {
        // Leaving PSK text in the middle of a transmission: a symbol's reversal is sent
        // in the symbol after its bit, so without carrier-on zero bits first the Morse
        // gap would swallow the last character's gap (and QPSK's decoder delay), and
        // that character would never reach the other station.
        if (mode_word && previous_mode == kModePsk && queue_mode != kModePsk && state == 1) {
            put_flush();
        }
        append(*this, static_cast<int32_t>(word));
    }
    return 0;
}

void psk31_transmitter::withdraw_unsent() {
    if (state == 1) return;
    int32_t from = head;
    if (state == 2) {
        // The end may already have been taken by the modulator: then all that is
        // queued belongs to the next transmission.
        for (int32_t i = head; i != tail; i = (i + 1) & kQueueMask) {
            if (queue[i] == static_cast<int32_t>(TX_END)) from = (i + 1) & kQueueMask;
        }
    }
    int32_t kept = from;
    for (int32_t i = from; i != tail; i = (i + 1) & kQueueMask) {
        if (!is_setting(queue[i])) continue;
        queue[kept] = queue[i];
        kept = (kept + 1) & kQueueMask;
    }
    tail = kept;
}

void psk31_transmitter::put_flush() {
    if (qpsk == 1) {
        // 48 reversals: a Viterbi decoder gives a bit only once the symbols after it
        // have come, and other stations' decoders wait up to 40 symbols (ours 20).
        append(*this, kIdleQpsk);
        append(*this, kIdleQpsk);
        append(*this, kIdleQpsk);
        append(*this, kPostambleQpsk);
    } else {
        append(*this, kPostambleBpsk);
    }
}

void psk31_transmitter::put_morse(int byte) {
    append(*this, kLetterGap);
    int c = byte;
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c < ' ' || c > kMorseLast) return;
    if (c == ' ') {
        append(*this, kLetterGap);
        return;
    }
    uint8_t b = kMorseTable[c - kMorseFirst];
    while (b != 0) {
        if (b == 0x80) {
            append(*this, kElementGap);
            return;
        }
        append(*this, (b & 0x80) ? kDash : kDot);
        append(*this, kElementGap);
        b = static_cast<uint8_t>(b << 1);
    }
}

void psk31_transmitter::put_postamble() {
    put_flush();
    append(*this, kSteady13);
    append(*this, kSteady13);
    append(*this, kSteady6);
    append(*this, kFadeOut);
}

int32_t psk31_transmitter::next_pattern() {
    if (state != 1 && state != 2) return kNotSending;
    for (;;) {
        if (head == tail) {
            if (tx_mode == kModeMorse) return kMorseIdle;
            if (tx_mode == kModeTune) return kTuneIdle;
            return qpsk == 1 ? kIdleQpsk : kIdleBpsk;
        }
        const int32_t w = queue[head];
        head = (head + 1) & kQueueMask;
        if (w == kCancelledEnd) continue;
        if (is_setting(w)) {
            apply_setting(*this, w);
            continue;
        }
        if (w & kEchoMarker) {
            echo_pending = w;
            continue;
        }
        if (w & kPskChar) {
            echo_pending = w;
            return varicode_code(w & 0xFF) + kCarrierFlag + (qpsk == 1 ? kQpskFlag : 0);
        }
        if (w == static_cast<int32_t>(TX_END)) {
            echo_pending = static_cast<int32_t>(TX_END);
            return kEndReached;
        }
        return w;
    }
}
