#pragma once

#include "soundlib/CaptureBackend.h"
#include "soundlib/Encoder.h"
#include "soundlib/bass.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace soundlib {

// An encoder attached within this time of its channel's start still gets the channel's audio
// from the first sample on.
inline constexpr std::chrono::seconds PrerollTime{2};

// A cut armed on a channel: the recording thread ends the channel's encoder before the first
// frame that entered the source at or after At, calls Proc there, and Next (when there is one)
// takes the audio over from that very frame.
struct TCut {
    int64_t At = 0;
    HENCODE NextHandle = 0;
    std::unique_ptr<TEncoder> Next;
    CUTPROC* Proc = nullptr;
    void* User = nullptr;
};

// One recording channel: a capture stream, the callback it feeds, at most one encoder, and at
// most one cut armed.
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
    // Attaches the channel's one encoder as Handle. An encoder attached within PrerollTime of
    // the start begins with everything the channel delivered so far.
    void AttachEncoder(HENCODE Handle, std::unique_ptr<TEncoder> Encoder);
    // The attached encoder when it is Handle; null otherwise.
    std::unique_ptr<TEncoder> DetachEncoder(HENCODE Handle);

    // Arms Cut, without waiting for the recording thread; false (and Cut untouched) when one
    // is armed already.
    bool ArmCut(std::unique_ptr<TCut>& Cut);
    // Without waiting: takes back the cut armed and not yet made; null when none is (it was
    // made, or is being made now).
    std::unique_ptr<TCut> DisarmCut();
    // Without waiting: what finishing Handle gave (BASS_OK or BASS_ERROR_FILEOPEN) when the
    // recording thread finished it at a cut; none otherwise. Forgets it.
    std::optional<int> TakeFinishedAtCut(HENCODE Handle);
    // Without waiting: whether Handle was finished at a cut and failed.
    std::optional<bool> FailedAtCut(HENCODE Handle) const;

private:
    // With the lock held.
    void Encode(const int16_t* Samples, size_t Frames);
    // With the lock held: hands Frames frames to the callback and the encoder (or the preroll).
    void Feed(const int16_t* Samples, size_t Frames, int64_t CaptureTime);
    // Recording thread: takes the armed cut when the block ending at BlockEnd reaches it.
    std::unique_ptr<TCut> TakeCutDue(int64_t BlockEnd);
    // With the lock held: makes Cut within the block of Frames frames at Samples.
    void MakeCut(TCut& Cut, const int16_t* Samples, size_t Frames, int64_t CaptureTime);

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
    HENCODE FEncoderHandle = 0;
    std::atomic<bool> FEncoderFailed{false};
    // The cut armed, which the recording thread or a disarm takes out, whichever comes first.
    // Its lock is never held while audio is written, so arming and disarming never wait for a
    // stalled disk. FCutAt repeats its moment (None without one), so that the recording thread
    // takes the lock only for the block that reaches it.
    static constexpr int64_t None = INT64_MAX;
    std::mutex FCutMutex;
    std::unique_ptr<TCut> FCut;
    std::atomic<int64_t> FCutAt{None};
    // What finishing the encoders ended at a cut gave, until their handles are stopped.
    mutable std::mutex FFinishedMutex;
    std::map<HENCODE, int> FFinishedAtCut;
    std::atomic<bool> FStopped{false};
    // What was delivered before the first encoder came, during the first PrerollTime.
    const TSteadyTime FStarted;
    uint64_t FGapFrames = 0;
    std::vector<int16_t> FPreroll;
    bool FPrerolling = true;
    std::vector<int16_t> FBlock; // recording thread only
};

} // namespace soundlib
