#include "soundlib/RingBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

namespace soundlib {

namespace {

size_t PageBytes() {
    static const size_t Page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return Page;
}

// Pages are given back this much at a time: once every 1.4 s at 48 kHz stereo, not with every
// read, since each call stops the other threads' use of the pages for a moment.
constexpr size_t ReleaseBatch = 256 << 10;

size_t WholePages(size_t Bytes) {
    return (Bytes + PageBytes() - 1) / PageBytes() * PageBytes();
}

uint8_t* MapStorage(size_t Bytes, TRingPages Pages) {
    const int Populate = Pages == TRingPages::Keep ? MAP_POPULATE : 0;
    void* Data =
        mmap(nullptr, Bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | Populate, -1, 0);
    if (Data == MAP_FAILED)
        throw std::bad_alloc();
    return static_cast<uint8_t*>(Data);
}

} // namespace

void TRingBuffer::TUnmap::operator()(uint8_t* Data) const {
    munmap(Data, Bytes);
}

TRingBuffer::TRingBuffer(size_t Bytes, TRingPages Pages)
    : FCapacity(std::max<size_t>(Bytes, 1)), FGiveBack(Pages == TRingPages::GiveBack),
      FStorageBytes(FGiveBack ? WholePages(FCapacity + ReleaseBatch) + PageBytes()
                              : WholePages(FCapacity)),
      FData(MapStorage(FStorageBytes, Pages), TUnmap{FStorageBytes}) {}

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
    const size_t Start = static_cast<size_t>(Write % FStorageBytes);
    const size_t First = std::min(Bytes, FStorageBytes - Start);
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
    const size_t Start = static_cast<size_t>(Read % FStorageBytes);
    const size_t First = std::min(Bytes, FStorageBytes - Start);
    auto* Target = static_cast<uint8_t*>(Out);
    std::memcpy(Target, FData.get() + Start, First);
    std::memcpy(Target + First, FData.get(), Bytes - First);
    ReleaseBehind(Read + Bytes);
    FRead.store(Read + Bytes, std::memory_order_release);
    return Bytes;
}

void TRingBuffer::ReleaseBehind(uint64_t Read) {
    const uint64_t Left = Read / PageBytes() * PageBytes(); // the page at Read is being read
    if (!FGiveBack || Left - FReleased < ReleaseBatch)
        return;
    while (FReleased < Left) {
        const size_t Start = static_cast<size_t>(FReleased % FStorageBytes);
        const size_t Bytes =
            static_cast<size_t>(std::min<uint64_t>(Left - FReleased, FStorageBytes - Start));
        madvise(FData.get() + Start, Bytes, MADV_DONTNEED);
        FReleased += Bytes;
    }
}

} // namespace soundlib
