// A link-time stand-in for the five server calls: records every command and
// every byte handed to the transmitter, and serves scripted channel data and
// status records, so the window code can be tested without a sound card.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "server/server.h"

struct FakeCommand {
    int32_t channel;
    int32_t spec;
    int32_t value;
    bool operator==(const FakeCommand&) const = default;
};

struct FakeServer {
    std::vector<FakeCommand> commands;
    std::string sent;                                 // bytes given to server_send_text
    std::vector<size_t> sentAfter;                    // commands.size() at each of those calls
    std::deque<std::vector<float>> spectra;           // blocks served by server_read(1, ...)
    std::map<int32_t, std::deque<char>> channelData;  // served by server_read
    std::map<int32_t, ServerStatus> status;           // served by server_get_status
    ServerDial dial{0, 0};                            // served by server_get_dial
    std::vector<int32_t> reads;                       // channels in the order read
    int32_t initResult = 1;
    std::string initDataDir;
    bool initWithPtt = false;

    void reset() { *this = FakeServer{}; }
    // The last value commanded for (channel, spec), or -1000 when never commanded.
    int32_t last(int32_t channel, int32_t spec) const;
    void queue(int32_t channel, const std::string& bytes);
};

extern FakeServer fakeServer;
