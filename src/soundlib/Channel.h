#pragma once

#include "soundlib/CaptureBackend.h"
#include "soundlib/Encoder.h"
#include "soundlib/bass.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

namespace soundlib {

// An encoder attached within this time of its channel's start still gets the channel's audio
// from the first sample on.
inline constexpr std::chrono::seconds PrerollTime{2};

// One recording channel: a capture stream, the callback it feeds and at most one encoder.
class TChannel {
public:
    TChannel(HRECORD Handle, std::unique_ptr<TCaptureStream> Stream, RECORDPROC* Proc, void* User);

    HRECORD Handle() const { return FHandle; }
    // Frames no channel received before this one started (see ChannelGapFrames); set once,
    // by the control thread, before the channel is shared.
    uint64_t GapFrames() const { return FGapFrames; }
    void SetGapFrames(uint64_t Frames) { FGapFrames = Frames; }
    const TCaptureFormat& Format() const { return FFormat; }

    // Recording thread: hands what the queue holds to the callback and the encoder, in blocks
    // of at most LongestDelivery, until the queue is empty or the channel stopped.
    void DeliverPending();

    // Any thread but the recording thread: waits for a running callback to return; after that
    // no callback runs. Hands back the still capturing stream (null if already stopped).
    std::unique_ptr<TCaptureStream> Stop();

    // Capturing, not stopped, and the callback has not asked to end. The caller makes sure
    // Stop is not running at the same time.
    bool Active() const;
    // What the capture dropped since this channel took it over (a stream that lingered may
    // have dropped audio of the channel before).
    uint64_t DroppedBytes() const;
    // How long before Now the capture last delivered audio (the channel's start when nothing
    // came yet); zero once stopped. The caller makes sure Stop is not running at the same time.
    std::chrono::steady_clock::duration SinceAudio(TSteadyTime Now) const;

    bool HasEncoder() const;
    // Any thread, without waiting: whether a write of the attached encoder failed. (Its lock
    // may be held by a write that hangs on a stalled disk.)
    bool EncoderFailed() const { return FEncoderFailed.load(std::memory_order_relaxed); }
    // Attaches the channel's one encoder. An encoder attached within PrerollTime of the start
    // begins with everything the channel delivered so far.
    void AttachEncoder(std::unique_ptr<TEncoder> Encoder);
    std::unique_ptr<TEncoder> DetachEncoder();

private:
    // With the lock held.
    void Encode(const int16_t* Samples, size_t Frames);

    const HRECORD FHandle;
    const TCaptureFormat FFormat;
    RECORDPROC* const FProc;
    void* const FUser;

    // Held by the recording thread while it delivers a block, and by Stop and the encoder
    // calls while they change the channel.
    mutable std::mutex FMutex;
    std::unique_ptr<TCaptureStream> FStream;
    const uint64_t FDroppedBefore;
    std::unique_ptr<TEncoder> FEncoder;
    std::atomic<bool> FEncoderFailed{false};
    std::atomic<bool> FStopped{false};
    // What was delivered before the first encoder came, during the first PrerollTime.
    const TSteadyTime FStarted;
    uint64_t FGapFrames = 0;
    std::vector<int16_t> FPreroll;
    bool FPrerolling = true;
    std::vector<int16_t> FBlock; // recording thread only
};

} // namespace soundlib
