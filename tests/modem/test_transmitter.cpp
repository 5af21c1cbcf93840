// The transmitter's command queue: what put_command queues and what next_pattern hands out.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "modem/transmitter.h"
#include "modem/varicode.h"

namespace {

using Words = std::vector<int32_t>;

Words queued_words(const psk31_transmitter& tx) {
    Words words;
    for (int32_t i = tx.head; i != tx.tail; i = (i + 1) % psk31_transmitter::kQueueSize) {
        words.push_back(tx.queue[i]);
    }
    return words;
}

void send_text(psk31_transmitter& tx, const std::string& text) {
    for (unsigned char c : text) tx.put_command(c);
}

int32_t psk_char(char c) {
    return 0x80000 + static_cast<unsigned char>(c);
}

const Words kPreamble = {0x22000, 0x22000, 0x20040};
const Words kSteadyAndEnd = {0x23FFF, 0x23FFF, 0x2007F, 0x00001, 0x100002};

Words concat(Words a, const Words& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Words kBpskPostamble = concat({0x20004}, kSteadyAndEnd);

class Transmitter : public testing::Test {
  protected:
    // Other tests load other tables into the process-wide tables.
    void SetUp() override { load_code_table(VORDA_SOURCE_DATA_DIR); }
    psk31_transmitter tx;
};

}  // namespace

TEST_F(Transmitter, BeginPutsPreambleAheadOfTextAndAppliesLeadingSettings) {
    tx.put_command(TX_MODE_PSK + 3);  // QPSK, lower sideband
    tx.put_command(TX_FREQUENCY + 105000);
    send_text(tx, "hi");
    tx.put_command(TX_MODE_PSK);  // behind the text: waits its turn
    EXPECT_EQ(tx.queued(), 5);
    EXPECT_EQ(tx.qpsk, 0);

    tx.previous_vector = {1.0f, 0.0f};
    EXPECT_EQ(tx.put_command(TX_BEGIN), 0);
    EXPECT_EQ(tx.state, 1);
    EXPECT_EQ(tx.qpsk, 1);
    EXPECT_EQ(tx.lsb, 1);
    EXPECT_FLOAT_EQ(tx.frequency, 1050.0f);
    EXPECT_EQ(tx.phase_step, 8601);
    EXPECT_EQ(queued_words(tx), concat(kPreamble, {psk_char('h'), psk_char('i'), 0x200000}));
    EXPECT_EQ(tx.previous_vector, (std::array<float, 2>{0.0f, 0.0f}));
    EXPECT_EQ(tx.current_vector, (std::array<float, 2>{0.0f, 0.0f}));

    // The preamble is BPSK even in QPSK mode; the text is QPSK until the mode word.
    for (int32_t word : kPreamble) EXPECT_EQ(tx.next_pattern(), word);
    EXPECT_EQ(tx.next_pattern(), varicode_code('h') + 0x30000);
    EXPECT_EQ(tx.echo_pending, psk_char('h'));
    EXPECT_EQ(tx.next_pattern(), varicode_code('i') + 0x30000);
    EXPECT_EQ(tx.next_pattern(), 0x22000);  // mode word applied, then BPSK idle
    EXPECT_EQ(tx.qpsk, 0);
}

TEST_F(Transmitter, BeginWithoutPreambleInMorseAndTuneModes) {
    tx.put_command(TX_MODE_TUNE);
    tx.put_command(TX_BEGIN);
    EXPECT_EQ(tx.tx_mode, 2);
    EXPECT_EQ(tx.queued(), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tx.next_pattern(), 0x2FFFF);

    psk31_transmitter morse;
    morse.put_command(TX_MODE_MORSE);
    morse.put_command(TX_BEGIN);
    EXPECT_EQ(morse.tx_mode, 1);
    EXPECT_EQ(morse.queued(), 0);
    EXPECT_EQ(morse.next_pattern(), 0x00010);
}

TEST_F(Transmitter, NextPatternIdleWordsAndSettingsInStream) {
    EXPECT_EQ(tx.next_pattern(), 0x00002);  // not sending
    tx.put_command(TX_BEGIN);
    for (int i = 0; i < 3; ++i) tx.next_pattern();
    EXPECT_EQ(tx.next_pattern(), 0x22000);

    tx.put_command(TX_FREQUENCY + 300000);
    tx.put_command('e');
    tx.echo_pending = 0;
    EXPECT_EQ(tx.next_pattern(), varicode_code('e') + 0x20000);
    EXPECT_FLOAT_EQ(tx.frequency, 3000.0f);
    EXPECT_EQ(tx.phase_step, 24576);
    EXPECT_EQ(tx.echo_pending, psk_char('e'));

    // A frequency word with character bits in its low 20 bits is still a frequency.
    tx.put_command(TX_FREQUENCY + 0x80000 + 8);
    tx.put_command(8);  // and a backspace does not take it back
    EXPECT_EQ(queued_words(tx), (Words{static_cast<int32_t>(TX_FREQUENCY) + 0x80008, 0x80008}));
    tx.echo_pending = 0;
    EXPECT_EQ(tx.next_pattern(), varicode_code(8) + 0x20000);
    EXPECT_FLOAT_EQ(tx.frequency, 5242.96f);

    tx.put_command(TX_MODE_PSK + 2);
    EXPECT_EQ(tx.next_pattern(), 0x32000);
}

TEST_F(Transmitter, CapacityAndFullRing) {
    tx.put_command(TX_BEGIN);  // 3 preamble words
    for (int i = 0; i < 1916; ++i) ASSERT_EQ(tx.put_command('x'), 0);
    ASSERT_EQ(tx.queued(), 1919);
    EXPECT_EQ(tx.put_command('y'), 0);
    EXPECT_EQ(tx.put_command('z'), -1);
    EXPECT_EQ(tx.put_command(TX_FREQUENCY + 100000), -1);
    EXPECT_EQ(tx.queued(), 1920);

    // A refused mode word leaves the queue mode alone: characters that are queued once
    // there is room again are coded for the mode the modulator will actually be in.
    EXPECT_EQ(tx.put_command(TX_MODE_MORSE), -1);
    EXPECT_EQ(tx.queue_mode, 0);
    EXPECT_EQ(tx.put_command('a'), -1);

    // Begin words are not refused; on a full ring the preamble pushes out the newest words.
    for (int i = 0; i < 50; ++i) EXPECT_EQ(tx.put_command(TX_BEGIN), 0);
    EXPECT_EQ(tx.queued(), 2047);
    const Words words = queued_words(tx);
    EXPECT_EQ(words.front(), 0x22000);
    EXPECT_EQ(words[149], 0x20040);
    EXPECT_EQ(words[152], 0x20040);  // the first begin's preamble
    EXPECT_EQ(words[153], psk_char('x'));
    EXPECT_EQ(words.back(), psk_char('x'));  // 'y' and some of the x's are gone
}

TEST_F(Transmitter, MorseExpansionMayExceedCapacity) {
    tx.put_command(TX_MODE_MORSE);
    for (int i = 0; i < 1919; ++i) tx.queue[i] = 0x00004;
    tx.tail = 1919;
    EXPECT_EQ(tx.put_command('0'), 0);
    EXPECT_EQ(tx.queued(), 1919 + 1 + 1 + 10 + 1);
}

TEST_F(Transmitter, WithdrawingTakesBackOnlyWhatNoTransmissionCarries) {
    // Idle: text, Morse and settings queued for a transmission that never began.
    tx.put_command(TX_FREQUENCY + 150000);
    tx.put_command('a');
    tx.put_command(TX_MODE_MORSE);
    tx.put_command('e');
    tx.put_command(TX_MODE_PSK);
    tx.withdraw_unsent();
    EXPECT_EQ(queued_words(tx), (Words{0x400000 + 150000, 0x200004, 0x200000}));

    // Sending: everything stays, it is on its way.
    tx.put_command(TX_BEGIN);
    tx.put_command('b');
    const Words sending = queued_words(tx);
    tx.withdraw_unsent();
    EXPECT_EQ(queued_words(tx), sending);

    // Ending: what was queued behind the end belongs to a later transmission.
    tx.put_command(TX_END);
    const Words ending = queued_words(tx);
    tx.put_command(TX_MODE_PSK + 2);
    tx.put_command('c');
    tx.withdraw_unsent();
    EXPECT_EQ(queued_words(tx), concat(ending, {0x200002}));
}

TEST_F(Transmitter, BackspaceCancelsUnsentCharacters) {
    send_text(tx, "ab\b");
    EXPECT_EQ(queued_words(tx), Words{psk_char('a')});
    tx.put_command(8);
    EXPECT_EQ(tx.queued(), 0);
    tx.put_command(8);  // nothing to take back: the backspace itself is sent
    EXPECT_EQ(queued_words(tx), Words{psk_char('\b')});
    tx.put_command(8);  // never cancels a backspace
    EXPECT_EQ(queued_words(tx), (Words{psk_char('\b'), psk_char('\b')}));

    psk31_transmitter modes;
    modes.put_command('a');
    modes.put_command(TX_MODE_PSK + 2);
    modes.put_command(8);  // the newest word is a mode word, not a character
    EXPECT_EQ(queued_words(modes), (Words{psk_char('a'), 0x200002, psk_char('\b')}));

    // In Morse identification mode a backspace is only a leading gap.
    psk31_transmitter morse;
    morse.put_command(TX_MODE_MORSE);
    morse.put_command('e');
    morse.put_command(8);
    EXPECT_EQ(queued_words(morse),
              (Words{0x200004, 0x40065, 0x00008, 0x20003, 0x00004, 0x00004, 0x40008, 0x00008}));
}

// Clearing the transmit pane hands over one backspace per character: those of a
// line still queued take its characters back, the rest go out after the sent ones.
TEST_F(Transmitter, ClearingAPartlySentLineCancelsTheRestAndBackspacesTheSent) {
    tx.put_command(TX_BEGIN);
    for (size_t i = 0; i < kPreamble.size(); ++i) tx.next_pattern();
    send_text(tx, "hello world");
    for (char c : std::string("hello")) EXPECT_EQ(tx.next_pattern(), varicode_code(c) + 0x20000);
    send_text(tx, std::string(11, '\b'));
    EXPECT_EQ(queued_words(tx), Words(5, psk_char('\b')));
}

TEST_F(Transmitter, MorseExpansions) {
    auto expand = [](int byte) {
        psk31_transmitter t;
        t.put_morse(byte);
        return queued_words(t);
    };
    EXPECT_EQ(expand('e'), (Words{0x00008, 0x20003, 0x00004, 0x00004}));
    EXPECT_EQ(expand('E'), expand('e'));
    Words zero = {0x00008};
    for (int i = 0; i < 5; ++i) {
        zero.push_back(0x2000F);
        zero.push_back(0x00004);
    }
    zero.push_back(0x00004);
    EXPECT_EQ(expand('0'), zero);
    EXPECT_EQ(expand(' '), (Words{0x00008, 0x00008}));
    const std::initializer_list<int> no_code = {'#', '$', '%', '&',  '*', ';', '<',
                                                '=', '>', '@', '\n', '[', 0xE9};
    for (int byte : no_code) {
        EXPECT_EQ(expand(byte), Words{0x00008}) << byte;
    }

    // Elements read back as dots and dashes.
    auto elements = [&](int byte) {
        std::string s;
        for (int32_t w : expand(byte)) {
            if (w == 0x20003) s += '.';
            if (w == 0x2000F) s += '-';
        }
        return s;
    };
    EXPECT_EQ(elements('!'), "...-.");
    EXPECT_EQ(elements('5'), ".....");
    EXPECT_EQ(elements('a'), ".-");
    EXPECT_EQ(elements('?'), "..--..");
    EXPECT_EQ(elements(')'), "-.--.-");
    EXPECT_EQ(elements('"'), ".-..-.");
    EXPECT_EQ(elements('q'), "--.-");
    EXPECT_EQ(elements('z'), "--..");
}

TEST_F(Transmitter, EndQueuesPostambleByMode) {
    tx.put_command(TX_BEGIN);
    tx.head = tx.tail;
    tx.put_command(TX_END);
    EXPECT_EQ(tx.state, 2);
    EXPECT_EQ(queued_words(tx), kBpskPostamble);
    tx.put_command(TX_END);  // a second end is ignored
    EXPECT_EQ(queued_words(tx), kBpskPostamble);

    psk31_transmitter q;
    q.put_command(TX_MODE_PSK + 2);
    q.put_command(TX_BEGIN);
    q.head = q.tail;
    q.put_command(TX_END);
    EXPECT_EQ(queued_words(q), concat({0x32000, 0x32000, 0x32000, 0x30200}, kSteadyAndEnd));

    for (uint32_t mode : {TX_MODE_MORSE, TX_MODE_TUNE}) {
        psk31_transmitter m;
        m.put_command(mode);
        m.put_command(TX_BEGIN);
        m.put_command(TX_END);
        EXPECT_EQ(queued_words(m), Words{0x100002});
    }
}

TEST_F(Transmitter, EndWhileIdleIsDroppedAndBeginCancelsPendingEnd) {
    tx.put_command('a');
    tx.put_command(TX_END);
    EXPECT_EQ(tx.state, 0);
    EXPECT_EQ(queued_words(tx), Words{psk_char('a')});
    tx.put_command(TX_BEGIN);
    for (int i = 0; i < 4; ++i) tx.next_pattern();
    for (int i = 0; i < 5; ++i) EXPECT_EQ(tx.next_pattern(), 0x22000);  // idles until an end

    tx.put_command(TX_END);
    testing::internal::CaptureStderr();
    tx.put_command(TX_BEGIN);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "removing TX_END!\n");
    EXPECT_EQ(tx.state, 1);
    const Words words = queued_words(tx);
    EXPECT_EQ(words.back(), 0x1FFFFF);
    // The cancelled end is skipped: after preamble and postamble the idle goes on.
    for (size_t i = 0; i + 1 < words.size(); ++i) tx.next_pattern();
    EXPECT_EQ(tx.next_pattern(), 0x22000);
    EXPECT_EQ(tx.state, 1);
}

TEST_F(Transmitter, EndReachedHandsOverToTheEcho) {
    tx.put_command(TX_MODE_TUNE);
    tx.put_command(TX_BEGIN);
    tx.put_command(TX_END);
    EXPECT_EQ(tx.next_pattern(), 0x00000);
    EXPECT_EQ(tx.echo_pending, 0x100002);
}

TEST_F(Transmitter, AbortWhileSendingAndWhileEnding) {
    tx.put_command(TX_BEGIN);
    send_text(tx, "abc");
    tx.put_command(TX_ABORT);
    EXPECT_EQ(tx.state, 2);
    EXPECT_EQ(queued_words(tx), kBpskPostamble);

    // Ending already: the queued end was discarded with the queue, so it is queued again.
    send_text(tx, "late");
    tx.put_command(TX_ABORT);
    EXPECT_EQ(tx.state, 2);
    EXPECT_EQ(queued_words(tx), kBpskPostamble);
    for (int i = 0; i < 5; ++i) tx.next_pattern();
    EXPECT_EQ(tx.next_pattern(), 0x00000);
    EXPECT_EQ(tx.echo_pending, 0x100002);

    psk31_transmitter morse;
    morse.put_command(TX_MODE_MORSE);
    morse.put_command(TX_BEGIN);
    morse.put_command(TX_END);
    morse.put_command(TX_ABORT);
    EXPECT_EQ(queued_words(morse), Words{0x100002});

    psk31_transmitter idle;
    send_text(idle, "xyz");
    idle.put_command(TX_ABORT);
    EXPECT_EQ(idle.state, 0);
    EXPECT_EQ(idle.queued(), 0);
}

TEST_F(Transmitter, OtherWordsAreIgnored) {
    for (uint32_t word : {0x100u, 0x80041u, 0x40041u, 0x100003u, 0x1FFFFFu, 0x22000u}) {
        EXPECT_EQ(tx.put_command(word), 0);
    }
    EXPECT_EQ(tx.queued(), 0);
}

TEST_F(Transmitter, LeavingTextForMorseOrTuneFirstCompletesTheLastCharacter) {
    // What the Recv control queues with CW ID chosen: the text's last character must
    // still get its gap bits with the carrier on before the Morse keying starts.
    tx.put_command(TX_BEGIN);
    tx.head = tx.tail;
    tx.put_command('a');
    tx.put_command(TX_MODE_MORSE);
    EXPECT_EQ(queued_words(tx), (Words{psk_char('a'), 0x20004, 0x200004}));

    psk31_transmitter q;
    q.put_command(TX_MODE_PSK + 2);
    q.put_command(TX_BEGIN);
    q.head = q.tail;
    q.put_command('a');
    q.put_command(TX_MODE_TUNE);
    EXPECT_EQ(queued_words(q), (Words{psk_char('a'), 0x32000, 0x32000, 0x32000, 0x30200, 0x200008}));

    // Idle, or already in Morse: nothing extra.
    psk31_transmitter idle;
    idle.put_command(TX_MODE_MORSE);
    idle.put_command(TX_MODE_TUNE);
    EXPECT_EQ(queued_words(idle), (Words{0x200004, 0x200008}));
}
