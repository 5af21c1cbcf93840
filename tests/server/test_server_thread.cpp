// The server thread's phases over scripted audio: sample arithmetic, the transmit
// request and carrier-detect rule, echo order, PTT levels and the change-overs.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fake_io.h"
#include "transmission.h"
#include "modem/psk31_signal.h"
#include "modem/receiver.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

constexpr int32_t kChunk = server_state::kCaptureFrames;

// Frames the receive phase has taken from the script so far.
size_t frames_taken(const scripted_audio& audio, const server_state& s) {
    return audio.capture_frame - static_cast<size_t>(s.capture_frames - s.capture_next);
}

// TEXT sent at FREQUENCY after a second of quiet, as the server's input hears it.
std::vector<int16_t> signal_at(double frequency, const std::string& text) {
    psk31_signal::signal_options o;
    o.frequency = frequency;
    o.lead_in = 8000;
    return psk31_signal::make_signal(text, o);
}

void pad_to_chunk(scripted_audio& audio) {
    const size_t frames = audio.capture.size() / 2;
    audio.add_silence((kChunk - frames % kChunk) % kChunk);
}

TEST(ServerThread, InputSampleIsLeftPlusRightHeldTo16Bits) {
    const std::vector<std::pair<int16_t, int16_t>> frames = {
        {20000, 20000}, {-20000, -20000}, {32767, 32767}, {-32768, -32768}, {1000, -3000},
        {-32768, 32767}};
    const std::vector<int16_t> expected = {32767, -32768, 32767, -32768, -2000, -1};
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    for (auto [left, right] : frames) audio.add_frames({left}, right);
    pad_to_chunk(audio);
    for (size_t i = 0; i < expected.size(); ++i) {
        s->transmit_request.store(2);
        ASSERT_EQ(receive_phase(*s), 0);
        // The main receiver hands every sample to the spectrum engine.
        EXPECT_EQ(s->spectrum.ring[i], expected[i]) << "frame " << i;
    }
}

// Radio audio on both channels of the sound card, as a mono source on a stereo input
// gives it: at -3 dBFS and at full scale each channel, the sum leaves 16 bits.
TEST(ServerThread, StrongSignalOnBothChannelsDecodesExactly) {
    const std::string text = "cq cq de n0call strong signal on both channels 73";
    for (bool qpsk : {false, true}) {
        for (double amplitude : {23197.0, 32767.0}) {
            scripted_audio audio;
            recorded_ptt ptt;
            auto s = make_server(audio, ptt);
            psk31_signal::signal_options o;
            o.frequency = 1000.0;
            o.amplitude = amplitude;
            o.qpsk = qpsk;
            o.lead_in = 4000;
            o.lead_out = 4000;
            for (int16_t v : psk31_signal::make_signal(text, o)) audio.add_frames({v}, v);
            pad_to_chunk(audio);
            ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_SQUELCH, 15), 0);
            ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_QPSK, qpsk ? 1 : 0), 0);
            CaptureStderr();
            EXPECT_EQ(receive_phase(*s), -1);  // to the end of the script
            GetCapturedStderr();
            const std::string heard = drain(*s, 2);
            EXPECT_NE(heard.find(text), std::string::npos)
                << (qpsk ? "QPSK" : "BPSK") << " at peak " << amplitude << ": " << heard;
        }
    }
}

TEST(ServerThread, ImmediateRequestEndsAfterOneSampleAndKeepsTheRestForLater) {
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    std::vector<int16_t> ramp(kChunk);
    for (int i = 0; i < kChunk; ++i) ramp[i] = static_cast<int16_t>(i);
    audio.add_frames(ramp);

    s->transmit_request.store(2);
    ASSERT_EQ(receive_phase(*s), 0);
    ASSERT_EQ(receive_phase(*s), 0);
    EXPECT_EQ(audio.reads, 1) << "the second phase starts on the frames already read";
    EXPECT_EQ(frames_taken(audio, *s), 2u);
    EXPECT_EQ(s->spectrum.ring[0], 0);
    EXPECT_EQ(s->spectrum.ring[1], 1);
}

TEST(ServerThread, RequestOneOnSilenceGoesOnceCarrierDetectIsOff) {
    for (int32_t dcd : {0, 1}) {
        scripted_audio audio;
        recorded_ptt ptt;
        auto s = make_server(audio, ptt);
        audio.add_silence(32 * kChunk);
        ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_DCD, dcd), 0);
        s->transmit_request.store(1);
        const int32_t result = receive_phase(*s);
        EXPECT_EQ(result, 0) << "carrier detect " << dcd;
        if (dcd == 0) {
            EXPECT_EQ(frames_taken(audio, *s), 1u);
        } else {
            // Silence completes no character, but the receiver's own carrier detect
            // drops within a few symbols: Xmit once waited for ever here (a muted
            // or squelched radio after a signal).
            EXPECT_GT(frames_taken(audio, *s), 1u);
            EXPECT_LT(frames_taken(audio, *s), 8000u);
        }
    }
}

TEST(ServerThread, RequestOneAfterASignalGoesWhenTheInputFallsSilent) {
    // A radio muted or squelched after the other station's last over: no character
    // completes in digital silence, and Xmit pressed during the over once never went.
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    const std::vector<int16_t> pcm = signal_at(1000.0, "cq cq de k2xyz k");
    audio.add_frames(pcm);
    audio.add_silence(4 * 8000);
    pad_to_chunk(audio);
    ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_SQUELCH, 15), 0);
    audio.request_at_frame = static_cast<int64_t>(pcm.size() / 2 / kChunk * kChunk);
    audio.request_value = 1;
    ASSERT_EQ(receive_phase(*s), 0);
    // After the over, once the receiver's averaged carrier has faded: within 2 s.
    EXPECT_GT(frames_taken(audio, *s), pcm.size() * 3 / 4);
    EXPECT_LT(frames_taken(audio, *s), pcm.size() + 2 * 8000);
    EXPECT_NE(drain(*s, 2).find("cq cq de k2xyz"), std::string::npos);
}

// A station's transmission at 1000 Hz after a second of silence, then band noise.
struct signal_script {
    static constexpr const char* kText = "the quick brown fox jumps";
    size_t signal_end = 0;  // frame where the noise begins
    size_t request_frame = 0;

    void build(scripted_audio& audio) {
        const std::vector<int16_t> pcm = signal_at(1000.0, kText);
        audio.add_frames(pcm);
        signal_end = pcm.size();
        std::vector<double> noise(3 * 8000, 0.0);
        psk31_signal::add_noise(noise, 3000.0, 7);
        audio.add_frames(psk31_signal::to_pcm(noise));
        pad_to_chunk(audio);
        // Midway through the text, well after the preamble has brought carrier detect on.
        request_frame = (8000 + 64 * 256 + signal_end) / 2 / kChunk * kChunk;
    }
};

class TransmitRequestDuringSignal : public ::testing::Test {
protected:
    scripted_audio audio;
    recorded_ptt ptt;
    std::unique_ptr<server_state> s = make_server(audio, ptt);
    signal_script script;

    void SetUp() override {
        script.build(audio);
        ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_SQUELCH, 15), 0);
    }
};

TEST_F(TransmitRequestDuringSignal, RequestOneWaitsUntilACharacterArrivesWithCarrierDetectOff) {
    audio.request_at_frame = static_cast<int64_t>(script.request_frame);
    audio.request_value = 1;
    ASSERT_EQ(receive_phase(*s), 0);
    EXPECT_GT(frames_taken(audio, *s), script.signal_end);
    EXPECT_NE(drain(*s, 2).find(signal_script::kText), std::string::npos);
    EXPECT_EQ(s->channels[2].decoder->dcd, 0);
}

TEST_F(TransmitRequestDuringSignal, RequestTwoCutsTheTextShort) {
    audio.request_at_frame = static_cast<int64_t>(script.request_frame);
    audio.request_value = 2;
    ASSERT_EQ(receive_phase(*s), 0);
    EXPECT_EQ(frames_taken(audio, *s), script.request_frame + 1);
    const std::string text = drain(*s, 2);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find(signal_script::kText), std::string::npos) << text;
}

TEST(ServerThread, SquelchMinusOneDeliversCharactersDecodedWithoutCarrierDetect) {
    for (int32_t squelch : {15, -1}) {
        scripted_audio audio;
        recorded_ptt ptt;
        auto s = make_server(audio, ptt);
        std::vector<double> noise(4 * 8000, 0.0);
        psk31_signal::add_noise(noise, 3000.0, 11);
        audio.add_frames(psk31_signal::to_pcm(noise));
        ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_SQUELCH, squelch), 0);
        CaptureStderr();
        EXPECT_EQ(receive_phase(*s), -1);
        GetCapturedStderr();
        EXPECT_EQ(s->channels[2].decoder->dcd, 0);
        const std::string text = drain(*s, 2);
        if (squelch == -1) {
            EXPECT_GT(text.size(), 5u) << "noise decodes to characters";
        } else {
            EXPECT_EQ(text, "");
        }
    }
}

TEST(ServerThread, SecondaryChannelDecodesItsOwnSignal) {
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    audio.add_frames(signal_at(1500.0, "secondary"));
    pad_to_chunk(audio);
    ASSERT_EQ(server_control(*s, 4, SERVER_SPEC_COMM_MODE, SERVER_RX_ENABLE), 0);
    ASSERT_EQ(server_control(*s, 4, SERVER_SPEC_FREQUENCY, 150000), 0);
    CaptureStderr();
    EXPECT_EQ(receive_phase(*s), -1);
    GetCapturedStderr();
    EXPECT_NE(drain(*s, 4).find("secondary"), std::string::npos);
    EXPECT_EQ(drain(*s, 2).find("secondary"), std::string::npos);
}

std::string decode_played(const std::vector<int16_t>& stereo, int32_t hundredths) {
    psk31_receiver* rx = create_receiver();
    set_receiver_frequency(*rx, hundredths);
    std::string text;
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        const int c = receive_sample(*rx, static_cast<int16_t>(stereo[i] + stereo[i + 1]));
        if (c != NO_CHAR) text.push_back(static_cast<char>(c));
    }
    destroy_receiver(rx);
    return text;
}

TEST(ServerThread, TransmissionEchoesInOrderWhileTransmittingAndReturnsToReceive) {
    transmission t(nullptr);
    t.run("cq de vorda\n");
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(drain(*t.s, 0), "cq de vorda\n");
    EXPECT_EQ(t.s->transmitting.load(), 0);
    for (int32_t seen : t.audio.transmitting_seen) ASSERT_EQ(seen, 1);
    // The stream is readied before the first block, so the signal is played whole;
    // everything written is played out before the flag drops and the radio unkeys.
    EXPECT_EQ(t.audio.restarts, std::vector<int>{0});
    EXPECT_EQ(t.audio.drains, 1);
    EXPECT_EQ(t.audio.transmitting_at_drain, 1);
    EXPECT_EQ(t.s->transmit_request.load(), 1);
    EXPECT_NE(decode_played(t.audio.played, 125000).find("cq de vorda"), std::string::npos);
    EXPECT_TRUE(t.ptt.opened.empty());
    EXPECT_TRUE(t.ptt.changes.empty());
    EXPECT_EQ(t.stderr_text, "");
}

// The last symbol's carrier fades out over the block after the end is reached; that
// block is played too, so the transmission ends in silence, not at half amplitude.
TEST(ServerThread, TransmissionEndsWithTheWholeFadeOut) {
    transmission t(nullptr);
    t.run("k");
    const std::vector<int16_t>& played = t.audio.played;
    ASSERT_GT(played.size(), 4u * kChunk);
    int tail_peak = 0;
    for (size_t i = played.size() - 32; i < played.size(); ++i)
        tail_peak = std::max(tail_peak, std::abs(int{played[i]}));
    EXPECT_LT(tail_peak, 200) << "the fade-out is cut short";
    int fade_peak = 0;  // the fade's first half, a block earlier, still carries the tone
    for (size_t i = played.size() - 4 * kChunk; i < played.size() - 3 * kChunk; ++i)
        fade_peak = std::max(fade_peak, std::abs(int{played[i]}));
    EXPECT_GT(fade_peak, 4000);
}

TEST(ServerThread, FailedBlockWriteIsReportedAndTheTransmissionGoesOn) {
    transmission t(nullptr, 5);
    t.run("abc");
    EXPECT_EQ(t.result, 0);
    EXPECT_EQ(drain(*t.s, 0), "abc");
    EXPECT_EQ(t.stderr_text, "TX_ERROR\n");
}

struct ptt_case {
    const char* name;
    PttMethod method;
    int bits;
    const char* device;
    const char* path;
    unsigned long idle;
    unsigned long keyed;
};

class PttLevels : public ::testing::TestWithParam<ptt_case> {};

// Keyed once the begin word is given and before the first block, unkeyed only once
// everything written has been played.
TEST_P(PttLevels, LineIdleAtStartKeyedWhileTransmittingIdleAfter) {
    const ptt_case& c = GetParam();
    ServerPtt settings;
    settings.method = c.method;
    transmission t(c.device, -1, settings);
    ServerStatus status{};
    ASSERT_EQ(server_get_status(*t.s, 255, &status, sizeof status), 0);
    EXPECT_EQ(status.ptt, 1);
    t.run("e");
    ASSERT_EQ(t.ptt.opened, std::vector<std::string>{c.path});
    ASSERT_EQ(t.ptt.changes.size(), 3u);
    EXPECT_EQ(t.ptt.changes[0].request, c.idle);
    EXPECT_EQ(t.ptt.changes[1].request, c.keyed);
    EXPECT_EQ(t.ptt.changes[2].request, c.idle);
    for (const auto& change : t.ptt.changes) EXPECT_EQ(change.bits, c.bits);
    EXPECT_TRUE(t.ptt.closed.empty());
    const keying_moment& key = t.ptt.changes[1].at;
    EXPECT_EQ(key.writes, 0);
    EXPECT_EQ(key.transmitting, 1);
    const keying_moment& unkey = t.ptt.changes[2].at;
    EXPECT_EQ(unkey.drains, 1);
    EXPECT_EQ(unkey.writes, t.audio.writes.load());
    EXPECT_EQ(unkey.transmitting, 0);
    EXPECT_EQ(t.stderr_text, "");
}

INSTANTIATE_TEST_SUITE_P(
    Polarities, PttLevels,
    ::testing::Values(
        ptt_case{"NoSuffix", PttMethod::rts, TIOCM_RTS, "/dev/ttyS1", "/dev/ttyS1", TIOCMBIC,
                 TIOCMBIS},
        ptt_case{"CommaOne", PttMethod::rts, TIOCM_RTS, "dev,1", "dev", TIOCMBIS, TIOCMBIC},
        ptt_case{"CommaZero", PttMethod::rts, TIOCM_RTS, "a,0", "a", TIOCMBIC, TIOCMBIS},
        ptt_case{"DtrNoSuffix", PttMethod::dtr, TIOCM_DTR, "/dev/ttyUSB0", "/dev/ttyUSB0",
                 TIOCMBIC, TIOCMBIS},
        ptt_case{"DtrCommaOne", PttMethod::dtr, TIOCM_DTR, "/dev/ttyUSB0,1", "/dev/ttyUSB0",
                 TIOCMBIS, TIOCMBIC}),
    [](const auto& info) { return std::string(info.param.name); });

// The main thread changing secondary channels while the server thread decodes.
TEST(ServerThread, MainChannelKeepsDecodingWhileSecondariesComeAndGo) {
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    audio.add_frames(signal_at(1000.0, "steady copy"));
    pad_to_chunk(audio);

    std::atomic<bool> done{false};
    CaptureStderr();
    std::thread worker([&] {
        receive_phase(*s);
        done.store(true);
    });
    std::vector<float> spectrum(1024);
    char bytes[64];
    ServerStatus status;
    for (int round = 0; !done.load(); ++round) {
        const int32_t ch = 3 + round % 4;
        server_control(*s, ch, SERVER_SPEC_COMM_MODE, SERVER_RX_ENABLE);
        server_control(*s, ch, SERVER_SPEC_FREQUENCY, 50000 + 1000 * round % 200000);
        server_control(*s, ch, SERVER_SPEC_SWAP, 3 + (round + 1) % 4);
        server_get_status(*s, ch, &status, sizeof status);
        server_get_status(*s, 2, &status, sizeof status);
        server_read(*s, 1, spectrum.data(), 4096);
        server_read(*s, ch, bytes, sizeof bytes);
        if (round % 3 == 0) server_control(*s, ch, SERVER_SPEC_COMM_MODE, SERVER_RX_DISABLE);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.join();
    GetCapturedStderr();
    EXPECT_NE(drain(*s, 2).find("steady copy"), std::string::npos);
}

}  // namespace

// The server thread live on scripted band noise, driven the way the window's Xmit,
// Recv and Tune buttons drive it. Whatever is pressed in whatever state, after Recv
// the radio ends up unkeyed and stays so, and text that never went on the air before
// Recv never goes on the air later.
class TransmitControls : public ::testing::Test {
protected:
    scripted_audio audio;
    recorded_ptt ptt;
    std::unique_ptr<server_state> s;
    std::thread worker;
    std::atomic<bool> done{false};
    int tr_state = 0;  // the window's: 0 receive, 1 transmit, 2 tune
    bool cw_id = true;

    void SetUp() override {
        s = make_server(audio, ptt, "/dev/ttyS0");
        std::vector<double> noise(6 * 8000, 0.0);
        psk31_signal::add_noise(noise, 2000.0, 5);
        audio.add_frames(psk31_signal::to_pcm(noise));
        pad_to_chunk(audio);
        audio.write_delay_us = 300;
        ASSERT_EQ(server_control(*s, 2, SERVER_SPEC_SQUELCH, 15), 0);
    }
    void TearDown() override {
        if (worker.joinable()) stop();
    }

    void start() {
        CaptureStderr();
        worker = std::thread([this] {
            while (run_master_handler(*s) == 0) {
            }
            done.store(true);
        });
    }
    // Ends a worker that does not end by itself (a fault already reported).
    void stop() {
        const bool ended = wait_for(
            [this] {
                server_control(*s, 255, SERVER_SPEC_TRANSMIT, SERVER_TX_END);
                return done.load();
            },
            20);
        if (!ended) {
            // Joining would hang the whole program; say why it stops instead.
            std::fputs("the server thread does not end after Recv\n", stderr);
            std::abort();
        }
        worker.join();
        GetCapturedStderr();
    }
    // The thread goes back to receiving for good and reads the band to its end.
    bool finishes() {
        const bool ended = wait_for([this] { return done.load(); }, 20);
        stop();
        return ended;
    }

    void xmit() {
        if (tr_state == 1) return;
        server_control(*s, 255, SERVER_SPEC_COMM_MODE, SERVER_TX_MODE_PSK);
        if (tr_state == 0) server_control(*s, 255, SERVER_SPEC_TRANSMIT, SERVER_TX_WHEN_CLEAR);
        tr_state = 1;
    }
    void tune() {
        if (tr_state == 2) return;
        server_control(*s, 255, SERVER_SPEC_COMM_MODE, SERVER_TX_MODE_TUNE);
        if (tr_state == 0) server_control(*s, 255, SERVER_SPEC_TRANSMIT, SERVER_TX_NOW);
        tr_state = 2;
    }
    void recv() {
        if (tr_state == 0) return;
        if (tr_state == 1 && cw_id) {
            server_control(*s, 255, SERVER_SPEC_COMM_MODE, SERVER_TX_MODE_MORSE);
            server_send_text(*s, " de N0CALL", 0);
        }
        server_control(*s, 255, SERVER_SPEC_TRANSMIT, SERVER_TX_END);
        server_control(*s, 255, SERVER_SPEC_COMM_MODE, SERVER_TX_MODE_PSK);
        tr_state = 0;
    }
    void type(const char* text) { server_send_text(*s, text, 0); }

    // Waits until the transmitter, looked at under its lock, is where the test wants it.
    template <class Where>
    void wait_until(Where where, const char* what) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(s->transmitter_lock);
                if (where(s->transmitter)) return;
            }
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "never reached: " << what;
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    void wait_for_echo(size_t count, std::string& echo) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (echo.size() < count) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "echo so far: " << echo;
            echo += drain(*s, 0);
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }

    // Queued words other than mode and frequency settings.
    std::vector<uint32_t> unsent_text() const {
        std::vector<uint32_t> words;
        for (uint32_t word : queued_words(s->transmitter)) {
            if ((word & 0x600000) == 0) words.push_back(word);
        }
        return words;
    }
    int key_ups() const {
        int n = 0;
        for (const auto& change : ptt.changes) n += change.request == TIOCMBIS ? 1 : 0;
        return n;
    }
    void expect_unkeyed_and_clean(int transmissions) {
        EXPECT_EQ(key_ups(), transmissions);
        ASSERT_FALSE(ptt.changes.empty());
        EXPECT_EQ(ptt.changes.back().request, static_cast<unsigned long>(TIOCMBIC));
        EXPECT_EQ(s->transmitting.load(), 0);
        EXPECT_EQ(s->transmit_request.load(), 0);
        EXPECT_EQ(unsent_text(), std::vector<uint32_t>{}) << "only settings stay queued";
    }
    std::string on_the_air() const { return decode_played(audio.played, 125000); }
};

TEST_F(TransmitControls, RecvWhileWaitingForAClearChannelLeavesNothingBehind) {
    for (bool tune_first : {false, true}) {
        // No worker yet: the thread is still in its receive phase, waiting.
        if (tune_first) {
            tune();
        } else {
            xmit();
            type("withdrawn text");
        }
        recv();
        EXPECT_EQ(s->transmit_request.load(), 0);
        // The channel clears: the thread looks at the request and finds none.
        EXPECT_FALSE(transmit_phase(*s));
        EXPECT_EQ(ptt.changes.size(), 1u) << "only the idle level set at start-up";
        EXPECT_EQ(unsent_text(), std::vector<uint32_t>{});
    }
    // The next Xmit starts from an empty queue.
    xmit();
    type("fresh");
    start();
    std::string echo;
    wait_for_echo(5, echo);
    recv();
    ASSERT_TRUE(finishes());
    echo += drain(*s, 0);
    EXPECT_EQ(echo, "fresh de N0CALL");
    expect_unkeyed_and_clean(1);
    const std::string air = on_the_air();
    EXPECT_NE(air.find("fresh"), std::string::npos) << air;
    EXPECT_EQ(air.find("withdrawn"), std::string::npos) << air;
}

TEST_F(TransmitControls, RecvDuringThePreambleOrTheTextEndsAfterTheQueuedText) {
    xmit();
    type("abc");
    start();
    wait_until([](const psk31_transmitter& tx) { return tx.state == 1; }, "the preamble");
    recv();
    ASSERT_TRUE(finishes());
    EXPECT_EQ(drain(*s, 0), "abc de N0CALL");
    expect_unkeyed_and_clean(1);
    EXPECT_NE(on_the_air().find("abc"), std::string::npos);
}

TEST_F(TransmitControls, XmitAndRecvAgainDuringThePostambleDoNotKeyAgain) {
    for (bool with_id : {true, false}) {
        SCOPED_TRACE(with_id ? "with Morse ID" : "without Morse ID");
        cw_id = with_id;
        xmit();
        type("first");
        start();
        std::string echo;
        wait_for_echo(5, echo);
        recv();
        // The end is queued and playing (postamble, or the identification).
        wait_until([](const psk31_transmitter& tx) { return tx.state == 2; }, "ending");
        xmit();
        type("second");
        recv();
        ASSERT_TRUE(finishes());
        expect_unkeyed_and_clean(1);
        EXPECT_EQ(on_the_air().find("second"), std::string::npos);
        // And the next transmission carries only what is typed for it.
        ptt.changes.clear();
        audio.played.clear();
        drain(*s, 0);
        done.store(false);
        std::vector<double> noise(2 * 8000, 0.0);
        psk31_signal::add_noise(noise, 2000.0, 6);
        audio.add_frames(psk31_signal::to_pcm(noise));
        pad_to_chunk(audio);
        xmit();
        type("third");
        start();
        echo.clear();
        wait_for_echo(5, echo);
        recv();
        ASSERT_TRUE(finishes());
        echo += drain(*s, 0);
        EXPECT_EQ(echo.substr(0, 5), "third");
        EXPECT_EQ(key_ups(), 1);
        audio.played.clear();
        ptt.changes.clear();
        done.store(false);
        noise.assign(2 * 8000, 0.0);
        psk31_signal::add_noise(noise, 2000.0, 7);
        audio.add_frames(psk31_signal::to_pcm(noise));
        pad_to_chunk(audio);
    }
}

TEST_F(TransmitControls, XmitDuringThePostambleStartsTheNextTransmissionThatRecvEnds) {
    cw_id = false;
    xmit();
    type("one");
    start();
    std::string echo;
    wait_for_echo(3, echo);
    recv();
    wait_until([](const psk31_transmitter& tx) { return tx.state == 2; }, "ending");
    xmit();  // the window shows transmit: the radio keys again once this one has ended
    type("two");
    wait_until([](const psk31_transmitter& tx) { return tx.state == 1; }, "the second one");
    wait_for_echo(6, echo);
    recv();
    ASSERT_TRUE(finishes());
    echo += drain(*s, 0);
    EXPECT_EQ(echo, "onetwo");
    expect_unkeyed_and_clean(2);
}

TEST_F(TransmitControls, TuneXmitAndRecvInAnyOrderEndUnkeyed) {
    // Tune, then Xmit inside the same transmission, then Recv (no identification
    // after tune); then Tune with Recv during the steady carrier.
    tune();
    start();
    wait_until([](const psk31_transmitter& tx) { return tx.state == 1 && tx.tx_mode == 2; },
               "the tune carrier");
    xmit();
    type("after tune");
    std::string echo;
    wait_for_echo(10, echo);
    tune();
    xmit();
    recv();
    ASSERT_TRUE(finishes());
    echo += drain(*s, 0);
    EXPECT_EQ(echo, "after tune de N0CALL");
    expect_unkeyed_and_clean(1);
}

TEST_F(TransmitControls, RecvDuringTheMorseIdentificationLetsItFinish) {
    xmit();
    type("id");
    start();
    std::string echo;
    wait_for_echo(2, echo);
    recv();
    wait_until([](const psk31_transmitter& tx) { return tx.tx_mode == 1; }, "the Morse ID");
    xmit();
    recv();
    tune();
    recv();
    ASSERT_TRUE(finishes());
    echo += drain(*s, 0);
    EXPECT_EQ(echo, "id de N0CALL");
    expect_unkeyed_and_clean(1);
}

TEST(ServerCalls, SendTextReportsWhatTheTransmitterTook) {
    scripted_audio audio;
    recorded_ptt ptt;
    auto s = make_server(audio, ptt);
    const std::string text(psk31_transmitter::kQueueCapacity + 100, 'x');
    EXPECT_EQ(server_send_text(*s, text.c_str(), 0), psk31_transmitter::kQueueCapacity);
    EXPECT_EQ(server_send_text(*s, "more", 0), 0);
}
