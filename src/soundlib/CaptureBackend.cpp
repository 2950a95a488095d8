#include "soundlib/CaptureBackend.h"

#include "soundlib/Wakeup.h"

namespace soundlib {

namespace {
// The hot ring holds more than the server's largest fragments; the spill ring what a stalled
// disk may hold the recording thread up.
constexpr size_t HotSeconds = 2;
constexpr size_t SpillSeconds = 32;
} // namespace

TCaptureStream::TCaptureStream(const TCaptureFormat& Format)
    : FFormat(Format), FQueue(size_t{Format.Rate} * Format.FrameBytes() * HotSeconds,
                              size_t{Format.Rate} * Format.FrameBytes() * SpillSeconds),
      FWakeBytes(size_t{Format.Rate} * DeliveryPeriod.count() / 1000 * Format.FrameBytes()) {}

std::optional<TSteadyTime> TCaptureStream::LastAudio() const {
    const TSteadyTime Last = FLastAudio.load(std::memory_order_relaxed);
    return Last == TSteadyTime::min() ? std::nullopt : std::optional(Last);
}

TSteadyTime TCaptureStream::NoteDelivery() {
    const TSteadyTime Now = std::chrono::steady_clock::now();
    FLastAudio.store(Now, std::memory_order_relaxed);
    return Now;
}

void TCaptureStream::Deliver(const void* Data, size_t Bytes) {
    const TSteadyTime Now = NoteDelivery();
    if (FQueue.Write(Data, Bytes))
        WakeWhenDue(Now);
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::DeliverSilence(size_t Bytes) {
    const TSteadyTime Now = NoteDelivery();
    if (FQueue.WriteZeros(Bytes))
        WakeWhenDue(Now);
    else
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
}

void TCaptureStream::WakeWhenDue(TSteadyTime Now) {
    // A server sending fragments of a few milliseconds would otherwise wake the thread hundreds
    // of times a second. The time rule lets a source that trickles still reach the callback
    // in time, without the thread having to look for it on a timer of its own.
    if (FQueue.Queued() < FWakeBytes && Now - FLastWake < LongestDelivery)
        return;
    FLastWake = Now;
    RecordingWakeup().Post();
}

} // namespace soundlib
