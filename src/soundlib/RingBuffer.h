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
// the position in FData is the index modulo the capacity. The capacity is exactly what was
// asked for, not rounded up to a power of two: the ring becomes resident as audio passes
// through it, and a rounded one would hold up to twice the memory for nothing.
class TRingBuffer {
public:
    // Capacity: Bytes (at least 1).
    explicit TRingBuffer(size_t Bytes);
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

    std::unique_ptr<uint8_t[]> FData;
    size_t FCapacity;
    alignas(64) std::atomic<uint64_t> FWrite{0};
    alignas(64) std::atomic<uint64_t> FRead{0};
};

} // namespace soundlib
