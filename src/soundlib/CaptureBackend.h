#pragma once

#include "soundlib/CaptureQueue.h"
#include "soundlib/FrameTimes.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where the library's audio comes from: the sound server in the program, a script in tests.

namespace soundlib {

using TSteadyTime = std::chrono::steady_clock::time_point;

// The sound server is asked for fragments of this length, and the recording thread is woken
// once this much audio waits: the rhythm of the level meters, at some twenty wake-ups a
// second however small the fragments the server sends.
inline constexpr std::chrono::milliseconds DeliveryPeriod{50};
// A capture that delivers less than DeliveryPeriod in this time still wakes the recording
// thread with each delivery after it; and the most the thread hands to the callback at once.
inline constexpr std::chrono::milliseconds LongestDelivery = 2 * DeliveryPeriod;

// 16-bit signed interleaved samples at Rate frames per second.
struct TCaptureFormat {
    uint32_t Rate = 0;
    uint32_t Channels = 0;
    uint32_t FrameBytes() const { return Channels * 2; }
    bool operator==(const TCaptureFormat&) const = default;
};

struct TSourceInfo {
    std::string Name; // shown to the operator
    std::string Id;   // the backend's own name for it
    bool Enabled = true;
};

// One running capture. The backend's thread writes what it captures into Queue(); the library's
// recording thread reads it. A subclass's destructor stops its producer: once it has returned,
// nothing writes into the queue any more.
class TCaptureStream {
public:
    explicit TCaptureStream(const TCaptureFormat& Format);
    virtual ~TCaptureStream() = default;
    TCaptureStream(const TCaptureStream&) = delete;
    TCaptureStream& operator=(const TCaptureStream&) = delete;

    const TCaptureFormat& Format() const { return FFormat; }
    // Producer side: the queue's room, as a producer that waits for room reads it.
    const TCaptureQueue& Queue() const { return FQueue; }
    // Consumer side: what waits in the queue, in bytes.
    size_t Waiting() const { return FQueue.ReadSpace(); }
    // Consumer side: copies min(Bytes, Waiting()) bytes out, whole frames, and returns how many;
    // FirstFrameTime is set to the wall-clock time (ns since the epoch) at which the first of
    // them entered the source.
    size_t Read(void* Out, size_t Bytes, int64_t& FirstFrameTime);
    // False once the capture died (server gone, source removed); no more audio will come.
    bool Alive() const { return !FDead.load(std::memory_order_acquire); }
    // Bytes the producer had to throw away because the queue was full.
    uint64_t DroppedBytes() const { return FDropped.load(std::memory_order_relaxed); }
    // When the producer last delivered audio, kept or dropped; empty before the first block.
    // A server that hangs delivers nothing while the capture stays alive.
    std::optional<TSteadyTime> LastAudio() const;

protected:
    // Producer side: never blocks, never allocates. A block that does not fit is dropped whole
    // and counted, so the queue always holds whole frames. CaptureTime: the wall-clock time (ns
    // since the epoch) at which the block's first frame entered the source, when the backend
    // knows it; otherwise the time is counted on from the blocks before.
    void Deliver(const void* Data, size_t Bytes, std::optional<int64_t> CaptureTime);
    void DeliverSilence(size_t Bytes, std::optional<int64_t> CaptureTime);
    void MarkDead() { FDead.store(true, std::memory_order_release); }

private:
    TSteadyTime NoteDelivery();
    // After a block of Bytes went into the queue.
    void NoteQueued(size_t Bytes, std::optional<int64_t> CaptureTime);
    // Wakes the recording thread once DeliveryPeriod of audio waits in the queue, or
    // LongestDelivery after it last did so.
    void WakeWhenDue(TSteadyTime Now);

    TCaptureFormat FFormat;
    TCaptureQueue FQueue;
    TFrameTimes FTimes;
    uint64_t FQueuedFrames = 0; // the producer's: frames that went into the queue
    uint64_t FReadFrames = 0;   // the consumer's: frames read from the queue
    size_t FWakeBytes;
    TSteadyTime FLastWake{}; // the producer's; long ago, as the clock counts from boot
    std::atomic<bool> FDead{false};
    std::atomic<uint64_t> FDropped{0};
    // Only the time itself is shared, nothing it would publish: relaxed ordering is enough.
    std::atomic<TSteadyTime> FLastAudio{TSteadyTime::min()};
    static_assert(std::atomic<TSteadyTime>::is_always_lock_free, "the producer never locks");
};

// An opened recording device. Called on the thread that starts the recording, under the
// library's control lock; Start may block until the server answers or its time limit passes.
class TCaptureDevice {
public:
    virtual ~TCaptureDevice() = default;
    // Starts capturing at Format; on failure returns null and sets Error (a BASS error code).
    // Reconnects to the server when the earlier connection was lost.
    virtual std::unique_ptr<TCaptureStream> Start(const TCaptureFormat& Format, int& Error) = 0;
};

class TCaptureBackend {
public:
    virtual ~TCaptureBackend() = default;
    // The recording devices in device-number order; 0 or a BASS error code.
    virtual int ListSources(std::vector<TSourceInfo>& Sources) = 0;
    // Opens device number Device (-1: the default device); null with Error set on failure.
    virtual std::unique_ptr<TCaptureDevice> Open(int Device, int& Error) = 0;
};

// Replaces the backend the library captures from (the sound server unless a test installs
// another; null goes back to the sound server). Releases everything the library holds first,
// as BASS_Free does.
void InstallCaptureBackend(std::unique_ptr<TCaptureBackend> Backend);

// Bytes of the channel's capture thrown away since the channel started, because the recording
// thread fell 30 s behind; 0 once the channel is stopped.
uint64_t ChannelDroppedBytes(uint32_t Handle);

// Milliseconds since the channel's capture last delivered audio, or since the channel started
// when nothing came yet; 0 once the channel is stopped. Grows while the sound server hangs,
// which a capture that is still alive does not show otherwise.
uint64_t ChannelMsSinceAudio(uint32_t Handle);

// The frames of audio that no channel received between the stop of the previous channel and
// the start of this one: 0 when this one continued the previous capture (same device and
// format, started within a second), otherwise at least the time between the two calls; 0 for
// the first channel and once the channel is stopped.
uint64_t ChannelGapFrames(uint32_t Handle);

// Called on the recording thread at a cut, between the last block of audio before it and the
// first from it on, once the file that ended is complete; CutTime is the wall-clock time (ns
// since the epoch) at which the first frame
// from the cut on entered the source. It must not call the library.
using CUTPROC = void(uint32_t Handle, int64_t CutTime, void* User);

// Arms a cut of the channel at the wall-clock moment At (ns since the epoch): the recording
// thread ends the channel's encoder (and completes its file) before the first frame that
// entered the source at or after At, calls Proc there, and NextEncoder (an encoder started on
// the channel with BASS_ENCODE_PAUSE; 0 for none) takes the audio over from that very frame.
// Never waits for the recording thread. 0, or BASS_ERROR_HANDLE for an unknown channel or
// encoder, BASS_ERROR_ALREADY while another cut is armed.
int ChannelArmCut(uint32_t Handle, int64_t At, uint32_t NextEncoder, CUTPROC* Proc, void* User);
// Takes back the channel's cut when it has not been made: true then (its encoder waits again),
// false when it was made or is being made. Never waits for the recording thread.
bool ChannelDisarmCut(uint32_t Handle);
// Inside a RECORDPROC or a CUTPROC: the wall-clock time (ns since the epoch) at which the first
// frame of the block entered the source.
int64_t BlockCaptureTime();

} // namespace soundlib
