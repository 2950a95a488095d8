#include "soundlib/RingBuffer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <random>
#include <thread>
#include <vector>

using soundlib::TRingBuffer;

TEST(RingBuffer, KeepsBytesInOrderAcrossTheWrapAndRefusesWhatDoesNotFit) {
    TRingBuffer Ring(14); // not a power of two: the position wraps by the modulo
    ASSERT_EQ(Ring.Capacity(), 14u);
    std::vector<uint8_t> Bytes(12);
    std::iota(Bytes.begin(), Bytes.end(), 1);
    ASSERT_TRUE(Ring.Write(Bytes.data(), 12));
    EXPECT_FALSE(Ring.Write(Bytes.data(), 5)) << "a block that does not fit is refused whole";
    EXPECT_EQ(Ring.ReadSpace(), 12u);
    EXPECT_EQ(Ring.Queued(), 12u);

    uint8_t Out[14] = {};
    ASSERT_EQ(Ring.Read(Out, 10), 10u);
    ASSERT_TRUE(Ring.Write(Bytes.data(), 10)); // runs over the end of the storage
    ASSERT_TRUE(Ring.WriteZeros(2));
    EXPECT_EQ(Ring.WriteSpace(), 0u);
    ASSERT_EQ(Ring.Read(Out, 14), 14u);
    const std::vector<uint8_t> Expected = {11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(Out, Out + 14), Expected);
    EXPECT_EQ(Ring.Read(Out, 14), 0u);
}

// One thread writes a running count in uneven pieces while another reads it in other uneven
// pieces: the reader sees every number once, in order (run under the thread sanitizer too).
TEST(RingBuffer, OneWriterAndOneReaderOnTwoThreads) {
    TRingBuffer Ring(1024);
    constexpr uint32_t Count = 200000;
    std::thread Writer([&Ring] {
        std::mt19937 Random(1);
        uint32_t Next = 0;
        std::vector<uint32_t> Piece;
        while (Next < Count) {
            Piece.resize(std::min<uint32_t>(Random() % 37 + 1, Count - Next));
            std::iota(Piece.begin(), Piece.end(), Next);
            while (!Ring.Write(Piece.data(), Piece.size() * 4))
                std::this_thread::yield();
            Next += static_cast<uint32_t>(Piece.size());
        }
    });
    std::mt19937 Random(2);
    uint32_t Expected = 0;
    bool InOrder = true;
    std::vector<uint32_t> Piece(64);
    while (Expected < Count) {
        const size_t Want = (Random() % 64 + 1) * 4;
        const size_t Got = Ring.Read(Piece.data(), std::min(Want, Ring.ReadSpace() / 4 * 4));
        for (size_t I = 0; I < Got / 4; ++I)
            InOrder = InOrder && Piece[I] == Expected++;
        if (Got == 0)
            std::this_thread::yield();
    }
    Writer.join();
    EXPECT_TRUE(InOrder);
    EXPECT_EQ(Ring.ReadSpace(), 0u);
}
