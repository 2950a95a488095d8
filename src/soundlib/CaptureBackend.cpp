#include "soundlib/CaptureBackend.h"

#include "soundlib/Wakeup.h"

namespace soundlib {

namespace {
// The ring holds this much audio: what a stalled disk may hold the recording thread up.
constexpr size_t RingSeconds = 32;
} // namespace

TCaptureStream::TCaptureStream(const TCaptureFormat& Format)
    : FFormat(Format), FRing(size_t{Format.Rate} * Format.FrameBytes() * RingSeconds) {}

void TCaptureStream::Deliver(const void* Data, size_t Bytes) {
    if (FRing.Write(Data, Bytes))
        RecordingWakeup().Post();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::DeliverSilence(size_t Bytes) {
    if (FRing.WriteZeros(Bytes))
        RecordingWakeup().Post();
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

} // namespace soundlib
