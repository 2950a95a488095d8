#include "soundlib/CaptureBackend.h"

#include "soundlib/Wakeup.h"

#include <algorithm>

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
      FTimes(Format.Rate),
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

void TCaptureStream::Deliver(const void* Data, size_t Bytes, std::optional<int64_t> CaptureTime) {
    const TSteadyTime Now = NoteDelivery();
    if (!FQueue.Write(Data, Bytes)) {
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
        return;
    }
    NoteQueued(Bytes, CaptureTime);
    WakeWhenDue(Now);
}

void TCaptureStream::DeliverSilence(size_t Bytes, std::optional<int64_t> CaptureTime) {
    const TSteadyTime Now = NoteDelivery();
    if (!FQueue.WriteZeros(Bytes)) {
        FDropped.fetch_add(Bytes, std::memory_order_relaxed);
        return;
    }
    NoteQueued(Bytes, CaptureTime);
    WakeWhenDue(Now);
}

void TCaptureStream::NoteQueued(size_t Bytes, std::optional<int64_t> CaptureTime) {
    // Marked after the audio was queued: a mark never names audio that was dropped. The
    // consumer may read the block a moment before its mark arrives and then counts on from the
    // mark before, which is off only when a block between them was dropped.
    if (CaptureTime)
        FTimes.Mark(FQueuedFrames, *CaptureTime);
    FQueuedFrames += Bytes / FFormat.FrameBytes();
}

size_t TCaptureStream::Read(void* Out, size_t Bytes, int64_t& FirstFrameTime) {
    const size_t FrameBytes = FFormat.FrameBytes();
    const size_t Waiting = FQueue.ReadSpace();
    Bytes = std::min(Bytes, Waiting);
    Bytes -= Bytes % FrameBytes;
    if (Bytes == 0)
        return 0;
    // Without any mark, the audio is taken as captured just now, less what waits before it.
    FirstFrameTime =
        FTimes.TimeOf(FReadFrames)
            .value_or(RealtimeNanoseconds() -
                      static_cast<int64_t>(Waiting / FrameBytes) * 1'000'000'000 / FFormat.Rate);
    FQueue.Read(Out, Bytes);
    FReadFrames += Bytes / FrameBytes;
    return Bytes;
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
