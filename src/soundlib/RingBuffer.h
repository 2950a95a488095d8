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
// the position in FData is the index modulo the capacity (a power of two).
class TRingBuffer {
public:
    // Capacity: at least MinBytes, rounded up to a power of two.
    explicit TRingBuffer(size_t MinBytes);
    TRingBuffer(const TRingBuffer&) = delete;
    TRingBuffer& operator=(const TRingBuffer&) = delete;

    size_t Capacity() const { return FMask + 1; }

    // Producer side.
    size_t WriteSpace() const;
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
    size_t FMask;
    alignas(64) std::atomic<uint64_t> FWrite{0};
    alignas(64) std::atomic<uint64_t> FRead{0};
};

} // namespace soundlib
