// One transmission on a worker thread while the test plays the main thread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "fake_io.h"

struct transmission {
    scripted_audio audio;
    recorded_ptt ptt;
    std::unique_ptr<server_state> s;
    int32_t result = 99;
    std::string stderr_text;

    // `line` scripts the PTT line's answers.
    explicit transmission(const char* ptt_device, int fail_write = -1,
                          const ServerPtt& settings = ServerPtt{}, scripted_rig* rig = nullptr,
                          const recorded_ptt& line = recorded_ptt{},
                          const rig_io* rig_table = nullptr)
        : ptt(line) {
        s = make_server(audio, ptt, ptt_device, settings, rig, rig_table);
        audio.add_silence(server_state::kCaptureFrames);
        audio.fail_write = fail_write;
    }

    void run(const char* text) {
        server_send_text(*s, text, 0);
        server_control(*s, SERVER_TX_CHANNEL, SERVER_SPEC_TRANSMIT, SERVER_TX_NOW);
        testing::internal::CaptureStderr();
        std::thread worker([this] { result = run_master_handler(*s); });
        // The end may only be asked for once the transmission has begun.
        const int before = audio.writes.load();
        EXPECT_TRUE(wait_for([&] { return audio.writes.load() >= before + 3; }, 10))
            << "the transmission did not begin";
        server_control(*s, SERVER_TX_CHANNEL, SERVER_SPEC_TRANSMIT, SERVER_TX_END);
        // A request made during the transmission waits for the next receive phase.
        server_control(*s, SERVER_TX_CHANNEL, SERVER_SPEC_TRANSMIT, SERVER_TX_WHEN_CLEAR);
        worker.join();
        // The unkey is the rig thread's, done after the transmission's end.
        EXPECT_TRUE(rig_worker_settle(s->rig_thread, std::chrono::seconds(10)));
        stderr_text = testing::internal::GetCapturedStderr();
    }
};
