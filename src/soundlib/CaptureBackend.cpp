#include "soundlib/CaptureBackend.h"

#include "soundlib/Wakeup.h"

namespace soundlib {

namespace {
// The ring holds this much audio: what a stalled disk may hold the recording thread up.
constexpr size_t RingSeconds = 32;
} // namespace

TCaptureStream::TCaptureStream(const TCaptureFormat& Format)
    : FFormat(Format), FRing(size_t{Format.Rate} * Format.FrameBytes() * RingSeconds),
      FWakeBytes(size_t{Format.Rate} * DeliveryPeriod.count() / 1000 * Format.FrameBytes()) {}

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
        WakeWhenDue();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::DeliverSilence(size_t Bytes) {
    NoteDelivery();
    if (FRing.WriteZeros(Bytes))
        WakeWhenDue();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::WakeWhenDue() {
    // Smaller amounts wait for the recording thread's own rhythm (LongestDelivery): a server
    // sending fragments of a few milliseconds would otherwise wake it hundreds of times a
    // second.
    if (FRing.Queued() >= FWakeBytes)
        RecordingWakeup().Post();
}

} // namespace soundlib
