#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace soundlib {

// A single-producer, single-consumer byte queue of fixed capacity, without locks.
// The producer is the capture backend's thread, the consumer the library's recording thread.
//
// Memory ordering: each side owns one index. The producer copies its bytes and then publishes
// them by storing FWrite with release; the consumer loads FWrite with acquire, so the bytes it
// then reads are complete. Likewise the consumer stores FRead with release after copying out,
// and the producer loads it with acquire before it reuses that space. Both indices only grow;
// the position in the storage is the index modulo the storage's size.
//
// Memory, for a ring that gives its pages back: the consumer gives the pages it has left back
// to the system, a batch at a time, before it publishes its new index, so only the queued
// bytes and at most a batch stay resident. The storage is whole pages and a batch and a page
// longer than the capacity: the producer, held to the capacity, then never reaches a page the
// consumer has left but not yet given back, so a page given back holds nothing unread.
// A ring that keeps its pages has them all resident from the start, and never faults one in.
enum class TRingPages { GiveBack, Keep };

class TRingBuffer {
public:
    // Capacity: Bytes (at least 1).
    explicit TRingBuffer(size_t Bytes, TRingPages Pages = TRingPages::GiveBack);
    TRingBuffer(const TRingBuffer&) = delete;
    TRingBuffer& operator=(const TRingBuffer&) = delete;

    size_t Capacity() const { return FCapacity; }

    // Producer side.
    size_t WriteSpace() const;
    // What the consumer has still to read, as the producer sees it.
    size_t Queued() const { return FCapacity - WriteSpace(); }
    // Writes all Bytes, or nothing when they do not fit.
    bool Write(const void* Data, size_t Bytes);
    bool WriteZeros(size_t Bytes);

    // Consumer side.
    size_t ReadSpace() const;
    // Copies min(Bytes, ReadSpace()) bytes out; returns how many.
    size_t Read(void* Out, size_t Bytes);

private:
    template <typename TCopy> bool Produce(size_t Bytes, TCopy Copy);
    // Gives back the pages the consumer has left once they make a batch; Read: the consumer's
    // new index.
    void ReleaseBehind(uint64_t Read);

    struct TUnmap {
        size_t Bytes;
        void operator()(uint8_t* Data) const;
    };
    size_t FCapacity;
    bool FGiveBack;
    size_t FStorageBytes;
    std::unique_ptr<uint8_t[], TUnmap> FData;
    alignas(64) std::atomic<uint64_t> FWrite{0};
    alignas(64) std::atomic<uint64_t> FRead{0};
    uint64_t FReleased = 0; // the consumer's: below this index all pages were given back
};

} // namespace soundlib
