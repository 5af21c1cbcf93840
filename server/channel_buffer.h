// Byte rings through which the server thread hands characters to the main thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>

struct psk31_receiver;

struct channel_buffer {
    static constexpr int32_t kSize = 16384;

    int32_t size = kSize;    // capacity in bytes
    int32_t read_index = 0;  // next byte for the reader, 0 to size (size = place 0)
    int32_t write_index = 0; // next place for the writer, 0 to size
    std::array<uint8_t, kSize> storage{};
    psk31_receiver* decoder = nullptr;  // channels 2 to 6; guarded by the decoder lock
    std::mutex lock;                    // guards the indices and the storage
    // Counts clears. A character decoded before a clear must not land after it:
    // the writer names the count it saw when the character was decoded.
    std::atomic<uint32_t> clears{0};
};

// Appends one byte. Never blocks and never refuses: a reader that falls a whole
// buffer behind loses the overrun bytes.
void channel_write(channel_buffer& channel, uint8_t byte);

// Appends one byte only if the channel has not been cleared since `clears` was read.
void channel_write_since(channel_buffer& channel, uint8_t byte, uint32_t clears);

// Moves up to `length` unread bytes, oldest first, into buffer; returns the count.
int32_t channel_read(channel_buffer& channel, void* buffer, int32_t length);

// Drops everything unread (both indices back to 0).
void channel_clear(channel_buffer& channel);
