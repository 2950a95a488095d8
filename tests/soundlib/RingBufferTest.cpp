#include "soundlib/RingBuffer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <thread>
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
        std::thread Writer([&Ring, Capacity] {
            std::mt19937 Random(1);
            uint32_t Next = 0;
            std::vector<uint32_t> Piece;
            while (Next < Count) {
                // Pieces up to a quarter of the capacity, so that each fits once the reader has
                // read.
                const auto Largest = static_cast<uint32_t>(Capacity / 16);
                Piece.resize(std::min<uint32_t>(Random() % Largest + 1, Count - Next));
                std::iota(Piece.begin(), Piece.end(), Next);
                while (!Ring.Write(Piece.data(), Piece.size() * 4))
                    std::this_thread::yield();
                Next += static_cast<uint32_t>(Piece.size());
            }
        });
        std::mt19937 Random(2);
        uint32_t Expected = 0;
        bool InOrder = true;
        std::vector<uint32_t> Piece(Capacity / 16);
        while (Expected < Count) {
            const size_t Want = (Random() % (Capacity / 16) + 1) * 4;
            const size_t Got = Ring.Read(Piece.data(), std::min(Want, Ring.ReadSpace() / 4 * 4));
            for (size_t I = 0; I < Got / 4; ++I)
                InOrder = Piece[I] == Expected++ && InOrder;
            if (Got == 0)
                std::this_thread::yield();
        }
        Writer.join();
        EXPECT_TRUE(InOrder) << Capacity << ": wrong number before " << Expected;
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
