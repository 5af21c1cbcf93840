#include "fakes/server_fake.h"

#include <algorithm>
#include <cstring>

FakeServer fakeServer;
int32_t server_sample_rate = 8000;

int32_t FakeServer::last(int32_t channel, int32_t spec) const {
    for (auto it = commands.rbegin(); it != commands.rend(); ++it) {
        if (it->channel == channel && it->spec == spec) return it->value;
    }
    return -1000;
}

void FakeServer::queue(int32_t channel, const std::string& bytes) {
    for (char c : bytes) channelData[channel].push_back(c);
}

int32_t server_init(const char* ptt_device, const char* data_dir) {
    fakeServer.initWithPtt = ptt_device != nullptr;
    fakeServer.initDataDir = data_dir != nullptr ? data_dir : "";
    return fakeServer.initResult;
}

int32_t server_control(int32_t channel, int32_t spec, int32_t value) {
    fakeServer.commands.push_back({channel, spec, value});
    return 0;
}

int32_t server_read(int32_t channel, void* buffer, int32_t length) {
    fakeServer.reads.push_back(channel);
    if (channel == 1) {
        if (fakeServer.spectra.empty()) return 0;
        const std::vector<float> block = fakeServer.spectra.front();
        fakeServer.spectra.pop_front();
        // Like the server: a block that does not fit is not handed out.
        if (static_cast<int64_t>(block.size()) * 4 > length) return 0;
        std::copy(block.begin(), block.end(), static_cast<float*>(buffer));
        return static_cast<int32_t>(block.size());
    }
    if (channel > 6) return -1;
    auto& data = fakeServer.channelData[channel];
    const int32_t n = std::min<int32_t>(length, static_cast<int32_t>(data.size()));
    auto* out = static_cast<char*>(buffer);
    for (int32_t i = 0; i < n; ++i) {
        out[i] = data.front();
        data.pop_front();
    }
    return n;
}

// No sound card: the band survey hears nothing.
int32_t server_read_audio(uint64_t*, int16_t*, int32_t) { return 0; }

int32_t server_send_text(const char* text, int32_t length) {
    if (length <= 0) length = static_cast<int32_t>(std::strlen(text));
    fakeServer.sentAfter.push_back(fakeServer.commands.size());
    fakeServer.sent.append(text, static_cast<size_t>(length));
    return length;
}

ServerDial server_get_dial() { return fakeServer.dial; }

int32_t server_get_status(int32_t channel, ServerStatus* status, int32_t length) {
    if (length < 60) return -1;
    auto it = fakeServer.status.find(channel);
    if (it == fakeServer.status.end()) return -1;
    *status = it->second;
    return 0;
}
