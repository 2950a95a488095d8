#include "soundlib/CaptureBackend.h"

#include "soundlib/Wakeup.h"

namespace soundlib {

namespace {
// The ring holds this much audio: what a stalled disk may hold the recording thread up.
constexpr size_t RingSeconds = 32;
} // namespace

TCaptureStream::TCaptureStream(const TCaptureFormat& Format)
    : FFormat(Format), FRing(size_t{Format.Rate} * Format.FrameBytes() * RingSeconds) {}

std::optional<TSteadyTime> TCaptureStream::LastAudio() const {
    const TSteadyTime Last = FLastAudio.load(std::memory_order_relaxed);
    return Last == TSteadyTime::min() ? std::nullopt : std::optional(Last);
}

void TCaptureStream::NoteDelivery() {
    FLastAudio.store(std::chrono::steady_clock::now(), std::memory_order_relaxed);
}

void TCaptureStream::Deliver(const void* Data, size_t Bytes) {
    NoteDelivery();
    if (FRing.Write(Data, Bytes))
        RecordingWakeup().Post();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::DeliverSilence(size_t Bytes) {
    NoteDelivery();
    if (FRing.WriteZeros(Bytes))
        RecordingWakeup().Post();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

} // namespace soundlib
