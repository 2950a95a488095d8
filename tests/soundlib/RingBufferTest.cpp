#include "CountThroughQueue.h"

#include "soundlib/RingBuffer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <string>
#include <vector>

using soundlib::TRingBuffer;

TEST(RingBuffer, KeepsBytesInOrderAndRefusesWhatDoesNotFit) {
    TRingBuffer Ring(14);
    ASSERT_EQ(Ring.Capacity(), 14u);
    std::vector<uint8_t> Bytes(12);
    std::iota(Bytes.begin(), Bytes.end(), 1);
    ASSERT_TRUE(Ring.Write(Bytes.data(), 12));
    EXPECT_FALSE(Ring.Write(Bytes.data(), 5)) << "a block that does not fit is refused whole";
    EXPECT_EQ(Ring.ReadSpace(), 12u);
    EXPECT_EQ(Ring.Queued(), 12u);

    uint8_t Out[14] = {};
    ASSERT_EQ(Ring.Read(Out, 10), 10u);
    ASSERT_TRUE(Ring.Write(Bytes.data(), 10));
    ASSERT_TRUE(Ring.WriteZeros(2));
    EXPECT_EQ(Ring.WriteSpace(), 0u);
    ASSERT_EQ(Ring.Read(Out, 14), 14u);
    const std::vector<uint8_t> Expected = {11, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(Out, Out + 14), Expected);
    EXPECT_EQ(Ring.Read(Out, 14), 0u);
}

// One thread writes a running count in uneven pieces while another reads it in other uneven
// pieces, often with the ring full: the reader sees every number once, in order, across many
// wraps of the storage and the pages given back behind the reader (run under the thread
// sanitizer too). Capacities below a page and of a few pages and a bit.
TEST(RingBuffer, OneWriterAndOneReaderOnTwoThreads) {
    for (const size_t Capacity : {size_t{1024}, size_t{3 * 4096 + 100}}) {
        TRingBuffer Ring(Capacity);
        constexpr uint32_t Count = 400000;
        // Pieces up to a quarter of the capacity, so that each fits once the reader has read.
        EXPECT_EQ(CountThroughQueue(Ring, Capacity / 16, Count), Count)
            << Capacity << ": numbers in order before the first wrong one";
        EXPECT_EQ(Ring.ReadSpace(), 0u) << Capacity;
    }
}

// A ring the reader keeps up with holds only what is queued: 64 MiB through a 32 MiB ring in
// 64 KiB pieces leaves the process's resident memory nearly where it was.
TEST(RingBuffer, PagesTheReaderHasLeftAreGivenBack) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizer's shadow of the copied bytes is resident too";
#endif
    const auto ResidentKiB = [] {
        std::ifstream Status("/proc/self/status");
        std::string Line;
        while (std::getline(Status, Line))
            if (Line.starts_with("VmRSS:"))
                return std::stol(Line.substr(6));
        return 0L;
    };
    TRingBuffer Ring(32 << 20);
    std::vector<uint8_t> Piece(64 << 10, 0x5a);
    const long Before = ResidentKiB();
    for (int I = 0; I < 1024; ++I) {
        ASSERT_TRUE(Ring.Write(Piece.data(), Piece.size()));
        ASSERT_EQ(Ring.Read(Piece.data(), Piece.size()), Piece.size());
    }
    EXPECT_LT(ResidentKiB() - Before, 4096) << "KiB more resident after 64 MiB went through";
}
