#include "soundlib/CaptureQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <random>
#include <sys/resource.h>
#include <thread>
#include <vector>

using soundlib::TCaptureQueue;

// One thread writes a running count in uneven pieces while another reads it in uneven pieces,
// now and then stalling as a slow disk does, so that the writer spills and fills both rings:
// the reader sees every number once, in order (run under the thread sanitizer too). A spill
// ring larger than the hot ring, and one smaller.
TEST(CaptureQueue, KeepsTheOrderWhileItSpillsOnTwoThreads) {
    for (const auto& [Hot, Spill] : {std::pair<size_t, size_t>{1024, 3 * 4096 + 100},
                                     std::pair<size_t, size_t>{3 * 4096 + 100, 1024}}) {
        TCaptureQueue Queue(Hot, Spill);
        const size_t Largest = std::min(Hot, Spill) / 16; // numbers in one piece
        constexpr uint32_t Count = 300000;
        std::thread Writer([&Queue, Largest] {
            std::mt19937 Random(1);
            uint32_t Next = 0;
            std::vector<uint32_t> Piece;
            while (Next < Count) {
                Piece.resize(std::min<uint32_t>(Random() % Largest + 1, Count - Next));
                std::iota(Piece.begin(), Piece.end(), Next);
                while (!Queue.Write(Piece.data(), Piece.size() * 4))
                    std::this_thread::yield();
                Next += static_cast<uint32_t>(Piece.size());
            }
        });
        std::mt19937 Random(2);
        uint32_t Expected = 0;
        bool InOrder = true;
        std::vector<uint32_t> Piece(Largest);
        while (Expected < Count) {
            if (Random() % 64 == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(300));
            const size_t Want = (Random() % Largest + 1) * 4;
            const size_t Got = Queue.Read(Piece.data(), std::min(Want, Queue.ReadSpace() / 4 * 4));
            for (size_t I = 0; I < Got / 4; ++I)
                InOrder = Piece[I] == Expected++ && InOrder;
            if (Got == 0)
                std::this_thread::yield();
        }
        Writer.join();
        EXPECT_TRUE(InOrder) << Hot << "/" << Spill << ": wrong number before " << Expected;
        EXPECT_EQ(Queue.ReadSpace(), 0u);
    }
}

// While the reader keeps up, the audio stays in the hot ring, whose pages stay resident: 64 MiB
// through the queue in 64 KiB pieces faults no page in. (Through a ring that
// gives its pages back, each page would fault in once per pass: some 16,000 times.)
TEST(CaptureQueue, AReaderThatKeepsUpFaultsNoPageIn) {
    const auto MinorFaults = [] {
        rusage Usage{};
        getrusage(RUSAGE_THREAD, &Usage);
        return Usage.ru_minflt;
    };
    TCaptureQueue Queue(1 << 20, 32 << 20);
    std::vector<uint8_t> Piece(64 << 10, 0x5a);
    const auto PassThrough = [&](int Pieces) {
        for (int I = 0; I < Pieces; ++I) {
            ASSERT_TRUE(Queue.Write(Piece.data(), Piece.size()));
            ASSERT_EQ(Queue.Read(Piece.data(), Piece.size()), Piece.size());
        }
    };
    PassThrough(32); // twice round the hot ring: a sanitizer's shadow of it is in place
    const long Before = MinorFaults();
    PassThrough(1024);
    EXPECT_LT(MinorFaults() - Before, 256);
}
