#include "soundlib/RingBuffer.h"

#include <algorithm>
#include <cstring>

namespace soundlib {

TRingBuffer::TRingBuffer(size_t Bytes)
    : FData(std::make_unique_for_overwrite<uint8_t[]>(std::max<size_t>(Bytes, 1))),
      FCapacity(std::max<size_t>(Bytes, 1)) {}

size_t TRingBuffer::WriteSpace() const {
    const uint64_t Read = FRead.load(std::memory_order_acquire);
    const uint64_t Write = FWrite.load(std::memory_order_relaxed);
    return Capacity() - static_cast<size_t>(Write - Read);
}

size_t TRingBuffer::ReadSpace() const {
    const uint64_t Write = FWrite.load(std::memory_order_acquire);
    const uint64_t Read = FRead.load(std::memory_order_relaxed);
    return static_cast<size_t>(Write - Read);
}

template <typename TCopy> bool TRingBuffer::Produce(size_t Bytes, TCopy Copy) {
    if (Bytes > WriteSpace())
        return false;
    const uint64_t Write = FWrite.load(std::memory_order_relaxed);
    const size_t Start = static_cast<size_t>(Write % FCapacity);
    const size_t First = std::min(Bytes, Capacity() - Start);
    Copy(FData.get() + Start, 0, First);
    Copy(FData.get(), First, Bytes - First);
    FWrite.store(Write + Bytes, std::memory_order_release);
    return true;
}

bool TRingBuffer::Write(const void* Data, size_t Bytes) {
    const auto* Source = static_cast<const uint8_t*>(Data);
    return Produce(Bytes, [Source](uint8_t* To, size_t From, size_t Count) {
        std::memcpy(To, Source + From, Count);
    });
}

bool TRingBuffer::WriteZeros(size_t Bytes) {
    return Produce(Bytes, [](uint8_t* To, size_t, size_t Count) { std::memset(To, 0, Count); });
}

size_t TRingBuffer::Read(void* Out, size_t Bytes) {
    Bytes = std::min(Bytes, ReadSpace());
    const uint64_t Read = FRead.load(std::memory_order_relaxed);
    const size_t Start = static_cast<size_t>(Read % FCapacity);
    const size_t First = std::min(Bytes, Capacity() - Start);
    auto* Target = static_cast<uint8_t*>(Out);
    std::memcpy(Target, FData.get() + Start, First);
    std::memcpy(Target + First, FData.get(), Bytes - First);
    FRead.store(Read + Bytes, std::memory_order_release);
    return Bytes;
}

} // namespace soundlib
