// The command table, status records and text hand-over, on a fresh server record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_io.h"
#include "modem/receiver.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class ServerCommands : public ::testing::Test {
protected:
    scripted_audio audio;
    recorded_ptt ptt;
    std::unique_ptr<server_state> s = make_server(audio, ptt);

    std::vector<uint32_t> words() const { return queued_words(s->transmitter); }
    psk31_receiver* receiver(int ch) const { return s->channels[ch].decoder; }
};

TEST_F(ServerCommands, TransmitModeWordsCombineBothStoredFlags) {
    EXPECT_EQ(server_control(*s, 255, 4, 1), 0);
    EXPECT_EQ(server_control(*s, 255, 5, 0), 0);
    EXPECT_EQ(server_control(*s, 255, 7, 1), 0);
    EXPECT_EQ(server_control(*s, 255, 5, 7), 0);  // any non-zero flag counts as 1
    EXPECT_EQ(server_control(*s, 255, 7, 2), 0);
    EXPECT_EQ(server_control(*s, 255, 7, 4), 0);
    EXPECT_EQ(words(), (std::vector<uint32_t>{0x200002, 0x200002, 0x200002, 0x200003, 0x200004,
                                              0x200008}));
}

TEST_F(ServerCommands, TransmitFrequencyWordKeepsTheLow20Bits) {
    EXPECT_EQ(server_control(*s, 255, 8, 105000), 0);
    EXPECT_EQ(server_control(*s, 255, 8, 0x1234567), 0);
    EXPECT_EQ(server_control(*s, 255, 8, -1), 0);
    EXPECT_EQ(words(), (std::vector<uint32_t>{0x400000 + 105000, 0x400000 + 0x34567, 0x4FFFFF}));
}

TEST_F(ServerCommands, TransmitRequestsAndEndings) {
    EXPECT_EQ(server_control(*s, 255, 1, 1), 0);
    EXPECT_EQ(s->transmit_request.load(), 1);
    EXPECT_EQ(server_control(*s, 255, 1, 17), 0);
    EXPECT_EQ(s->transmit_request.load(), 2);
    EXPECT_EQ(server_control(*s, 255, 1, 5), 0);  // taken, no effect
    EXPECT_EQ(s->transmit_request.load(), 2);

    server_send_text(*s, "abc", 0);
    EXPECT_EQ(server_control(*s, 255, 1, 16), 0);  // discards the queue
    EXPECT_TRUE(words().empty());
    EXPECT_EQ(s->transmit_request.load(), 0) << "an end before the begin withdraws the request";
}

TEST_F(ServerCommands, RefusedChannelsAndSpecsChangeNothing) {
    for (int32_t spec : {2, 3, 6, 9, -1}) EXPECT_EQ(server_control(*s, 255, spec, 1), -1) << spec;
    for (int32_t channel : {7, 254, 256, -1, -255}) {
        EXPECT_EQ(server_control(*s, channel, 8, 100000), -1) << channel;
        char buffer[16];
        EXPECT_EQ(server_read(*s, channel, buffer, sizeof buffer), -1) << channel;
    }
    EXPECT_EQ(server_read(*s, 255, nullptr, 0), -1);
    EXPECT_EQ(server_control(*s, 2, 99, 1), -1);
    EXPECT_EQ(server_control(*s, 2, -4, 1), -1) << "spec compared unsigned";
    EXPECT_EQ(server_control(*s, 1, 34, 1), -1);
    for (int32_t spec : {1, 7, 64, 1000}) EXPECT_EQ(server_control(*s, 0, spec, 3), 0);
    EXPECT_TRUE(words().empty());
    EXPECT_EQ(s->transmit_request.load(), 0);
}

TEST_F(ServerCommands, ReceiverSettingsReachReceiverAndDecoderCopies) {
    ASSERT_EQ(server_control(*s, 2, 8, 123456), 0);
    EXPECT_FLOAT_EQ(receiver(2)->freq, 1234.56f);
    EXPECT_EQ(receiver(2)->step, 10113);

    ASSERT_EQ(server_control(*s, 2, 5, 1), 0);
    ASSERT_EQ(server_control(*s, 2, 4, 1), 0);
    EXPECT_EQ(receiver(2)->qpsk, 1);
    EXPECT_EQ(receiver(2)->decoder.qpsk, 1);
    EXPECT_EQ(receiver(2)->decoder.lsb, 1);
    receiver(2)->decoder.qpsk = 0;  // spec 5 re-copies the QPSK flag too
    ASSERT_EQ(server_control(*s, 2, 5, 0), 0);
    EXPECT_EQ(receiver(2)->decoder.lsb, 0);
    EXPECT_EQ(receiver(2)->decoder.qpsk, 1);

    ASSERT_EQ(server_control(*s, 2, 3, 15), 0);
    EXPECT_EQ(receiver(2)->squelch, 15);
    EXPECT_EQ(s->squelch.load(), 15);
    ASSERT_EQ(server_control(*s, 2, 6, 1), 0);
    ASSERT_EQ(server_control(*s, 2, 2, 1), 0);
    EXPECT_EQ(receiver(2)->afc, 1);
    EXPECT_EQ(receiver(2)->dcd, 1);
}

TEST_F(ServerCommands, MainChannelCannotBeDisabled) {
    psk31_receiver* main_receiver = receiver(2);
    EXPECT_EQ(server_control(*s, 2, 7, 128), -1);
    EXPECT_EQ(receiver(2), main_receiver);
    EXPECT_EQ(receiver(2)->spectrum, &s->spectrum);
}

TEST_F(ServerCommands, EnablingTwiceWarnsAndKeepsTheReceiver) {
    ASSERT_EQ(server_control(*s, 3, 7, 1), 0);
    psk31_receiver* first = receiver(3);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->spectrum, nullptr);
    EXPECT_FLOAT_EQ(first->freq, 1000.0f);

    CaptureStderr();
    EXPECT_EQ(server_control(*s, 3, 7, 1), 0);
    EXPECT_EQ(GetCapturedStderr(), "warning: active channel 3: COMM_MODE 1\n");
    EXPECT_EQ(receiver(3), first);
}

TEST_F(ServerCommands, DisablingEmptiesTheBufferAndEnablingLeavesItAlone) {
    ASSERT_EQ(server_control(*s, 4, 7, 1), 0);
    channel_write(s->channels[4], 'x');
    ASSERT_EQ(server_control(*s, 4, 7, 128), 0);
    EXPECT_EQ(receiver(4), nullptr);
    EXPECT_EQ(drain(*s, 4), "");

    channel_write(s->channels[4], 'y');  // a byte that arrives while inactive
    ASSERT_EQ(server_control(*s, 4, 7, 1), 0);
    EXPECT_EQ(drain(*s, 4), "y");
}

TEST_F(ServerCommands, InactiveChannelRefusesEverythingButEnableWithAMessage) {
    CaptureStderr();
    EXPECT_EQ(server_control(*s, 5, 8, 150000), -1);
    EXPECT_EQ(server_control(*s, 6, 7, 128), -1);
    EXPECT_EQ(GetCapturedStderr(),
              "warning: rxControl on disabled RX channel\nchannel=5 spec=8 value=150000\n"
              "warning: rxControl on disabled RX channel\nchannel=6 spec=7 value=128\n");
    EXPECT_EQ(receiver(5), nullptr);
    EXPECT_EQ(receiver(6), nullptr);
}

TEST_F(ServerCommands, SwapMovesReceiversWithTheirSettingsAndTheSpectrumLink) {
    ASSERT_EQ(server_control(*s, 3, 7, 1), 0);
    ASSERT_EQ(server_control(*s, 3, 8, 150000), 0);
    ASSERT_EQ(server_control(*s, 3, 3, 15), 0);
    psk31_receiver* was_main = receiver(2);
    psk31_receiver* was_3 = receiver(3);
    channel_write(s->channels[2], 'm');

    ASSERT_EQ(server_control(*s, 2, 64, 3), 0);
    EXPECT_EQ(receiver(2), was_3);
    EXPECT_EQ(receiver(3), was_main);
    EXPECT_EQ(receiver(2)->spectrum, &s->spectrum);
    EXPECT_EQ(receiver(3)->spectrum, nullptr);
    EXPECT_EQ(drain(*s, 2), "m") << "delivered characters stay where they were written";

    ServerStatus status{};
    ASSERT_EQ(server_get_status(*s, 2, &status, sizeof status), 0);
    EXPECT_EQ(status.freq, 150000);
    EXPECT_EQ(status.squelch, 15);
    ASSERT_EQ(server_get_status(*s, 3, &status, sizeof status), 0);
    EXPECT_EQ(status.freq, 100000);

    // Swapping from the secondary side back, and a channel with itself.
    ASSERT_EQ(server_control(*s, 3, 64, 2), 0);
    EXPECT_EQ(receiver(2), was_main);
    EXPECT_EQ(receiver(2)->spectrum, &s->spectrum);
    ASSERT_EQ(server_control(*s, 2, 64, 2), 0);
    EXPECT_EQ(receiver(2), was_main);
    EXPECT_EQ(receiver(2)->spectrum, &s->spectrum);
}

TEST_F(ServerCommands, SwapWithAnInactivePartnerMovesTheReceiverButNeverEmptiesChannelTwo) {
    ASSERT_EQ(server_control(*s, 3, 7, 1), 0);
    psk31_receiver* secondary = receiver(3);
    ASSERT_EQ(server_control(*s, 3, 64, 5), 0);
    EXPECT_EQ(receiver(3), nullptr);
    EXPECT_EQ(receiver(5), secondary);
    EXPECT_EQ(receiver(5)->spectrum, nullptr);

    psk31_receiver* main_receiver = receiver(2);
    EXPECT_EQ(server_control(*s, 2, 64, 4), -1);
    EXPECT_EQ(receiver(2), main_receiver);
    EXPECT_EQ(receiver(4), nullptr);
    EXPECT_EQ(receiver(2)->spectrum, &s->spectrum);

    for (int32_t partner : {1, 7, 255, -2}) EXPECT_EQ(server_control(*s, 2, 64, partner), -1);
    EXPECT_EQ(receiver(2), main_receiver);
}

TEST_F(ServerCommands, SpectrumSettingsKeepTheOtherParameter) {
    ASSERT_EQ(server_control(*s, 1, 32, 2048), 0);
    ASSERT_EQ(server_control(*s, 1, 33, 256), 0);
    int32_t length = 0, interval = 0, kind = -1;
    s->spectrum.get_config(&length, &interval, &kind);
    EXPECT_EQ(length, 2048);
    EXPECT_EQ(interval, 256);
    EXPECT_EQ(kind, 0);
}

TEST_F(ServerCommands, SpectrumReadWaitsForAFullSpectrumAndNeedsRoomForIt) {
    ASSERT_EQ(server_control(*s, 1, 32, 256), 0);
    std::vector<float> values(256, -1.0f);
    const int32_t bytes = static_cast<int32_t>(values.size() * sizeof(float));
    {
        std::lock_guard<std::mutex> hold(s->decoder_lock);
        for (int i = 0; i < 255; ++i) s->spectrum.put_sample(i % 2 ? 30000 : -30000);
    }
    EXPECT_EQ(server_read(*s, 1, values.data(), bytes), 0);
    {
        std::lock_guard<std::mutex> hold(s->decoder_lock);
        s->spectrum.put_sample(30000);
    }
    CaptureStderr();
    EXPECT_EQ(server_read(*s, 1, values.data(), bytes - 1), 0);
    EXPECT_EQ(GetCapturedStderr(), "no space in buffer for FFT data\n");
    EXPECT_EQ(values[0], -1.0f);

    ASSERT_EQ(server_read(*s, 1, values.data(), bytes), 256);
    EXPECT_GT(values[128], 100.0f) << "alternating input peaks at half the sample rate";
    EXPECT_EQ(server_read(*s, 1, values.data(), bytes), 0) << "consumed until the next interval";
}

TEST_F(ServerCommands, ReceiverStatusReportsTheReceiverAndTheTransmittingFlag) {
    ASSERT_EQ(server_control(*s, 2, 8, 123456), 0);
    ASSERT_EQ(server_control(*s, 2, 4, 1), 0);
    ASSERT_EQ(server_control(*s, 2, 3, 25), 0);
    receiver(2)->strength = 33;
    receiver(2)->phase = 200;
    s->transmitting.store(1);

    ServerStatus status;
    std::memset(&status, 0x5A, sizeof status);
    ASSERT_EQ(server_get_status(*s, 2, &status, sizeof status), 0);
    EXPECT_EQ(status.freq, 123456);
    EXPECT_EQ(status.qpsk, 1);
    EXPECT_EQ(status.lsb, 0);
    EXPECT_EQ(status.squelch, 25);
    EXPECT_EQ(status.strength, 33);
    EXPECT_EQ(status.phase, 200);
    EXPECT_EQ(status.dcd, 0);
    EXPECT_EQ(status.afc, 0);
    EXPECT_EQ(status.transmitting, 1);
    EXPECT_EQ(status.tx_mode, 0x5A5A5A5A) << "a receive status leaves the transmitter fields";
    EXPECT_EQ(status.ptt, 0x5A5A5A5A);
}

TEST_F(ServerCommands, TransmitterStatusReportsAppliedSettings) {
    ServerStatus status;
    std::memset(&status, 0x5A, sizeof status);
    ASSERT_EQ(server_get_status(*s, 255, &status, sizeof status), 0);
    EXPECT_EQ(status.freq, 125000);
    EXPECT_EQ(status.qpsk, 0);
    EXPECT_EQ(status.lsb, 0);
    EXPECT_EQ(status.tx_mode, 0);
    EXPECT_EQ(status.transmitting, 0);
    EXPECT_EQ(status.ptt, 0) << "no PTT device: nothing keys the radio";
    EXPECT_EQ(status.dcd, 0x5A5A5A5A);
    EXPECT_EQ(status.phase, 0x5A5A5A5A);
}

TEST_F(ServerCommands, RefusedStatusWritesNothingOrOnlyTheTransmittingFlag) {
    ServerStatus status;
    std::memset(&status, 0x5A, sizeof status);
    for (int32_t channel : {0, 1, 7, 254, 256, -1}) {
        EXPECT_EQ(server_get_status(*s, channel, &status, sizeof status), -1) << channel;
    }
    EXPECT_EQ(server_get_status(*s, 2, &status, 59), -1);
    EXPECT_EQ(status.transmitting, 0x5A5A5A5A);
    EXPECT_EQ(status.freq, 0x5A5A5A5A);

    EXPECT_EQ(server_get_status(*s, 3, &status, sizeof status), -1);  // not enabled
    EXPECT_EQ(status.transmitting, 0);
    EXPECT_EQ(status.freq, 0x5A5A5A5A);
}

TEST_F(ServerCommands, SendTextHandsOverEveryByteAsACharacter) {
    EXPECT_EQ(server_send_text(*s, "abc", 0), 3);
    EXPECT_EQ(server_send_text(*s, "", 0), 0);
    EXPECT_EQ(server_send_text(*s, "d\0e", 3), 3);
    EXPECT_EQ(server_send_text(*s, "\xE9", -1), 1);
    EXPECT_EQ(words(), (std::vector<uint32_t>{0x80061, 0x80062, 0x80063, 0x80064, 0x80000,
                                              0x80065, 0x800E9}));
}

}  // namespace
