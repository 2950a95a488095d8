#pragma once

#include <chrono>
#include <cstdint>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

// Passes a running count of Count numbers through Queue (a ring buffer or the capture queue):
// a second thread writes it in uneven pieces of up to Largest numbers, waiting while a piece
// does not fit, and this thread reads it in other uneven pieces, stalling for 300 µs about once
// in StallOneIn reads when that is nonzero, as a slow disk does. Returns how many numbers came
// out in order before the first wrong one: Count when all came once and in order.
template <typename TQueue>
uint32_t CountThroughQueue(TQueue& Queue, size_t Largest, uint32_t Count, unsigned StallOneIn = 0) {
    std::thread Writer([&Queue, Largest, Count] {
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
    uint32_t InOrder = Count;
    std::vector<uint32_t> Piece(Largest);
    while (Expected < Count) {
        if (StallOneIn != 0 && Random() % StallOneIn == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        const size_t Want = (Random() % Largest + 1) * 4;
        const size_t Got = Queue.Read(Piece.data(), std::min(Want, Queue.ReadSpace() / 4 * 4));
        for (size_t I = 0; I < Got / 4; ++I, ++Expected)
            if (Piece[I] != Expected && InOrder == Count)
                InOrder = Expected;
        if (Got == 0)
            std::this_thread::yield();
    }
    Writer.join();
    return InOrder;
}
