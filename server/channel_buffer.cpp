#include "server/channel_buffer.h"

#include <algorithm>
#include <cstring>

void channel_write(channel_buffer& channel, uint8_t byte) {
    std::lock_guard<std::mutex> hold(channel.lock);
    if (channel.write_index == channel.size) channel.write_index = 0;
    channel.storage[channel.write_index++] = byte;
}

void channel_write_since(channel_buffer& channel, uint8_t byte, uint32_t clears) {
    std::lock_guard<std::mutex> hold(channel.lock);
    if (channel.clears.load(std::memory_order_relaxed) != clears) return;
    if (channel.write_index == channel.size) channel.write_index = 0;
    channel.storage[channel.write_index++] = byte;
}

int32_t channel_read(channel_buffer& channel, void* buffer, int32_t length) {
    if (length <= 0) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    std::lock_guard<std::mutex> hold(channel.lock);
    const int32_t unread = (channel.write_index - channel.read_index) & (channel.size - 1);
    const int32_t n = std::min(unread, length);
    const int32_t to_end = channel.size - channel.read_index;
    if (n <= to_end) {
        std::memcpy(out, channel.storage.data() + channel.read_index, n);
        channel.read_index += n;
    } else {
        std::memcpy(out, channel.storage.data() + channel.read_index, to_end);
        std::memcpy(out + to_end, channel.storage.data(), n - to_end);
        channel.read_index = n - to_end;
    }
    return n;
}

void channel_clear(channel_buffer& channel) {
    std::lock_guard<std::mutex> hold(channel.lock);
    channel.read_index = 0;
    channel.write_index = 0;
    channel.clears.fetch_add(1, std::memory_order_relaxed);
}
