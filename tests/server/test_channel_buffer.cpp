#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "server/channel_buffer.h"

namespace {

void write_bytes(channel_buffer& c, int count, int first_value = 0) {
    for (int i = 0; i < count; ++i) channel_write(c, static_cast<uint8_t>(first_value + i));
}

std::vector<uint8_t> read_bytes(channel_buffer& c, int32_t length) {
    std::vector<uint8_t> out(static_cast<size_t>(length > 0 ? length : 0) + 1, 0xEE);
    const int32_t n = channel_read(c, out.data(), length);
    EXPECT_GE(n, 0);
    EXPECT_EQ(out[static_cast<size_t>(n)], 0xEE) << "wrote past the count it returned";
    out.resize(static_cast<size_t>(n));
    return out;
}

constexpr int32_t kSize = channel_buffer::kSize;

class ChannelBuffer : public ::testing::Test {
protected:
    std::unique_ptr<channel_buffer> c = std::make_unique<channel_buffer>();
};

TEST_F(ChannelBuffer, PartialReadsLeaveTheRestInOrder) {
    write_bytes(*c, 10, 'a');
    EXPECT_EQ(read_bytes(*c, 4), (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
    EXPECT_EQ(read_bytes(*c, 100), (std::vector<uint8_t>{'e', 'f', 'g', 'h', 'i', 'j'}));
    EXPECT_TRUE(read_bytes(*c, 100).empty());
    EXPECT_TRUE(read_bytes(*c, 0).empty());
    EXPECT_TRUE(read_bytes(*c, -5).empty());
}

TEST_F(ChannelBuffer, BufferFilledAndReadExactlyToItsEndReadsEmptyThenRestartsAtPlaceZero) {
    write_bytes(*c, kSize - 384);
    EXPECT_EQ(read_bytes(*c, kSize).size(), static_cast<size_t>(kSize - 384));
    write_bytes(*c, 384);
    EXPECT_EQ(read_bytes(*c, kSize).size(), 384u);
    EXPECT_EQ(c->write_index, kSize);
    EXPECT_EQ(c->read_index, kSize);
    EXPECT_TRUE(read_bytes(*c, 16).empty());

    channel_write(*c, 'z');
    EXPECT_EQ(c->storage[0], 'z');
    EXPECT_EQ(c->write_index, 1);
    EXPECT_EQ(read_bytes(*c, 16), (std::vector<uint8_t>{'z'}));
    EXPECT_EQ(c->read_index, 1);
}

TEST_F(ChannelBuffer, ReadAcrossTheEndReturnsBothPiecesOldestFirstInOneCall) {
    write_bytes(*c, kSize - 4);
    read_bytes(*c, kSize);
    write_bytes(*c, 9, 100);  // 4 bytes up to the end, 5 from place 0
    EXPECT_EQ(read_bytes(*c, 64), (std::vector<uint8_t>{100, 101, 102, 103, 104, 105, 106, 107, 108}));
    EXPECT_EQ(c->read_index, 5);
    EXPECT_TRUE(read_bytes(*c, 64).empty());
}

TEST_F(ChannelBuffer, PartialReadStoppingAtTheEndContinuesFromPlaceZero) {
    write_bytes(*c, kSize - 2);
    read_bytes(*c, kSize);
    write_bytes(*c, 4, 1);
    EXPECT_EQ(read_bytes(*c, 2), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(read_bytes(*c, 2), (std::vector<uint8_t>{3, 4}));
}

TEST_F(ChannelBuffer, WriterNeverBlocksAndAnOverrunLosesAWholeBuffer) {
    // A reader a whole buffer behind sees only what came after the overrun.
    write_bytes(*c, kSize + 10, 0);
    const std::vector<uint8_t> got = read_bytes(*c, kSize);
    ASSERT_EQ(got.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[static_cast<size_t>(i)], static_cast<uint8_t>(kSize + i));
}

TEST_F(ChannelBuffer, ClearDropsUnreadBytes) {
    write_bytes(*c, 50);
    channel_clear(*c);
    EXPECT_TRUE(read_bytes(*c, 100).empty());
    channel_write(*c, 7);
    EXPECT_EQ(read_bytes(*c, 100), (std::vector<uint8_t>{7}));
}

// The server thread decodes a character, then the channel is disabled and cleared,
// then the thread delivers: the character belongs to the receiver that is gone.
TEST_F(ChannelBuffer, CharacterDecodedBeforeAClearIsNotDeliveredAfterIt) {
    const uint32_t seen = c->clears.load();
    channel_write_since(*c, 'a', seen);
    channel_clear(*c);
    channel_write_since(*c, 'b', seen);
    EXPECT_TRUE(read_bytes(*c, 100).empty());
    channel_write_since(*c, 'c', c->clears.load());
    EXPECT_EQ(read_bytes(*c, 100), (std::vector<uint8_t>{'c'}));
}

}  // namespace
