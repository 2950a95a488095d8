#include "soundlib/CaptureQueue.h"

#include <algorithm>

namespace soundlib {

TCaptureQueue::TCaptureQueue(size_t HotBytes, size_t SpillBytes)
    : FHot(HotBytes, TRingPages::Keep), FSpill(SpillBytes, TRingPages::GiveBack) {}

bool TCaptureQueue::Spilling() const {
    return FSpilling && FSpill.Queued() > 0; // else the consumer has caught up
}

size_t TCaptureQueue::WriteSpace() const {
    return Spilling() ? FSpill.WriteSpace() : std::max(FHot.WriteSpace(), FSpill.WriteSpace());
}

template <typename TWrite> bool TCaptureQueue::Produce(TWrite WriteInto) {
    FSpilling = Spilling();
    if (!FSpilling && WriteInto(FHot))
        return true;
    FSpilling = true;
    return WriteInto(FSpill);
}

bool TCaptureQueue::Write(const void* Data, size_t Bytes) {
    return Produce([&](TRingBuffer& Ring) { return Ring.Write(Data, Bytes); });
}

bool TCaptureQueue::WriteZeros(size_t Bytes) {
    return Produce([&](TRingBuffer& Ring) { return Ring.WriteZeros(Bytes); });
}

size_t TCaptureQueue::Read(void* Out, size_t Bytes) {
    const size_t Spilled = FSpill.ReadSpace(); // counted before the hot ring is read
    const size_t FromHot = FHot.Read(Out, Bytes);
    if (FromHot == Bytes)
        return FromHot;
    return FromHot +
           FSpill.Read(static_cast<uint8_t*>(Out) + FromHot, std::min(Bytes - FromHot, Spilled));
}

} // namespace soundlib
