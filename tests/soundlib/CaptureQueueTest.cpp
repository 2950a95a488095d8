#include "CountThroughQueue.h"

#include "soundlib/CaptureQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/resource.h>
#include <utility>
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
        constexpr uint32_t Count = 300000;
        EXPECT_EQ(CountThroughQueue(Queue, std::min(Hot, Spill) / 16, Count, 64), Count)
            << Hot << "/" << Spill << ": numbers in order before the first wrong one";
        EXPECT_EQ(Queue.ReadSpace(), 0u);
    }
}

// While the reader keeps up, the audio stays in the hot ring, whose pages stay resident: 64 MiB
// through the queue in 64 KiB pieces faults no page in. (Through a ring that gives its pages
// back, each page would fault in once per pass: some 16,000 times.)
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
