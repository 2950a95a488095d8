#include "soundlib/Channel.h"

#include <algorithm>
#include <utility>

namespace soundlib {

namespace {
constexpr int64_t NanosecondsPerSecond = 1'000'000'000;

// The capture time of the block the recording thread hands to a callback now.
thread_local int64_t CurrentBlockTime = 0;
} // namespace

int64_t BlockCaptureTime() {
    return CurrentBlockTime;
}

TChannel::TChannel(HRECORD Handle, std::unique_ptr<TCaptureStream> Stream, RECORDPROC* Proc,
                   void* User)
    : FHandle(Handle), FFormat(Stream->Format()), FProc(Proc), FUser(User),
      FStream(std::move(Stream)), FDroppedBefore(FStream->DroppedBytes()),
      FStarted(std::chrono::steady_clock::now()),
      FBlock(size_t{FFormat.Rate} * LongestDelivery.count() / 1000 * FFormat.Channels) {
    FPreroll.reserve(size_t{FFormat.Rate} * PrerollTime.count() * FFormat.Channels);
}

void TChannel::DeliverPending() {
    const size_t FrameBytes = FFormat.FrameBytes();
    const size_t BlockBytes = FBlock.size() * sizeof(int16_t);
    for (;;) {
        std::lock_guard Lock(FMutex);
        if (FStopped.load(std::memory_order_relaxed) || !FStream)
            return;
        int64_t CaptureTime = 0;
        const size_t Bytes = FStream->Read(FBlock.data(), BlockBytes, CaptureTime);
        if (Bytes == 0)
            return;
        const size_t Frames = Bytes / FrameBytes;
        const int64_t BlockEnd =
            CaptureTime + static_cast<int64_t>(Frames) * NanosecondsPerSecond / FFormat.Rate;
        if (std::unique_ptr<TCut> Cut = TakeCutDue(BlockEnd))
            MakeCut(*Cut, FBlock.data(), Frames, CaptureTime);
        else
            Feed(FBlock.data(), Frames, CaptureTime);
    }
}

void TChannel::MakeCut(TCut& Cut, const int16_t* Samples, size_t Frames, int64_t CaptureTime) {
    // The first frame that entered the source at or after the moment of the cut.
    const int64_t Rate = FFormat.Rate;
    const int64_t Before = std::max<int64_t>(0, Cut.At - CaptureTime);
    const auto Split =
        std::min<size_t>(Frames, static_cast<size_t>((Before * Rate + NanosecondsPerSecond - 1) /
                                                     NanosecondsPerSecond));
    Feed(Samples, Split, CaptureTime);
    const int64_t CutTime = CaptureTime + static_cast<int64_t>(Split) * NanosecondsPerSecond / Rate;
    std::unique_ptr<TEncoder> Ended = std::exchange(FEncoder, std::move(Cut.Next));
    const HENCODE EndedHandle = std::exchange(FEncoderHandle, Cut.NextHandle);
    FEncoderFailed.store(false, std::memory_order_relaxed);
    FPrerolling = false;
    std::vector<int16_t>().swap(FPreroll);
    // The file that ended is completed here, by the thread that wrote it, before the cut is
    // told: whoever hears of the cut finds the file complete and never waits for it.
    if (Ended) {
        const int Result = Ended->Finish();
        std::lock_guard Lock(FFinishedMutex);
        FFinishedAtCut[EndedHandle] = Result;
    }
    if (Cut.Proc) {
        CurrentBlockTime = CutTime;
        Cut.Proc(FHandle, CutTime, Cut.User);
    }
    Feed(Samples + Split * FFormat.Channels, Frames - Split, CutTime);
}

void TChannel::Feed(const int16_t* Samples, size_t Frames, int64_t CaptureTime) {
    if (Frames == 0)
        return;
    const size_t Count = Frames * FFormat.Channels;
    CurrentBlockTime = CaptureTime;
    if (FProc && !FProc(FHandle, Samples, static_cast<DWORD>(Count * sizeof(int16_t)), FUser))
        FStopped.store(true, std::memory_order_relaxed);
    if (FEncoder) {
        Encode(Samples, Frames);
    } else if (FPrerolling) {
        if (std::chrono::steady_clock::now() - FStarted <= PrerollTime) {
            FPreroll.insert(FPreroll.end(), Samples, Samples + Count);
        } else {
            FPrerolling = false;
            std::vector<int16_t>().swap(FPreroll);
        }
    }
}

std::unique_ptr<TCaptureStream> TChannel::Stop() {
    std::lock_guard Lock(FMutex);
    FStopped.store(true, std::memory_order_relaxed);
    return std::move(FStream);
}

bool TChannel::Active() const {
    return !FStopped.load(std::memory_order_relaxed) && FStream && FStream->Alive();
}

uint64_t TChannel::DroppedBytes() const {
    return FStream ? FStream->DroppedBytes() - FDroppedBefore : 0;
}

std::chrono::steady_clock::duration TChannel::SinceAudio(TSteadyTime Now) const {
    if (!FStream)
        return {};
    return Now - FStream->LastAudio().value_or(FStarted);
}

bool TChannel::HasEncoder() const {
    std::lock_guard Lock(FMutex);
    return FEncoder != nullptr;
}

void TChannel::AttachEncoder(HENCODE Handle, std::unique_ptr<TEncoder> Encoder) {
    std::lock_guard Lock(FMutex);
    FEncoder = std::move(Encoder);
    FEncoderHandle = Handle;
    FEncoderFailed.store(false, std::memory_order_relaxed);
    // In blocks, as the audio came: a backend faster than real time can preroll far more
    // than an encoder library takes in one call.
    for (size_t At = 0; FPrerolling && At < FPreroll.size(); At += FBlock.size()) {
        const size_t Samples = std::min(FBlock.size(), FPreroll.size() - At);
        Encode(FPreroll.data() + At, Samples / FFormat.Channels);
    }
    FPrerolling = false;
    std::vector<int16_t>().swap(FPreroll);
}

void TChannel::Encode(const int16_t* Samples, size_t Frames) {
    FEncoder->Write(Samples, Frames);
    if (FEncoder->Failed())
        FEncoderFailed.store(true, std::memory_order_relaxed);
}

std::unique_ptr<TEncoder> TChannel::DetachEncoder(HENCODE Handle) {
    std::lock_guard Lock(FMutex);
    if (FEncoderHandle != Handle)
        return nullptr;
    FEncoderHandle = 0;
    return std::move(FEncoder);
}

std::unique_ptr<TCut> TChannel::TakeCutDue(int64_t BlockEnd) {
    if (BlockEnd <= FCutAt.load(std::memory_order_relaxed))
        return nullptr;
    std::lock_guard Lock(FCutMutex);
    if (!FCut || BlockEnd <= FCut->At)
        return nullptr;
    FCutAt.store(None, std::memory_order_relaxed);
    return std::move(FCut);
}

bool TChannel::ArmCut(std::unique_ptr<TCut>& Cut) {
    std::lock_guard Lock(FCutMutex);
    if (FCut)
        return false;
    FCutAt.store(Cut->At, std::memory_order_relaxed);
    FCut = std::move(Cut);
    return true;
}

std::unique_ptr<TCut> TChannel::DisarmCut() {
    std::lock_guard Lock(FCutMutex);
    FCutAt.store(None, std::memory_order_relaxed);
    return std::move(FCut);
}

std::optional<int> TChannel::TakeFinishedAtCut(HENCODE Handle) {
    std::lock_guard Lock(FFinishedMutex);
    const auto It = FFinishedAtCut.find(Handle);
    if (It == FFinishedAtCut.end())
        return std::nullopt;
    const int Result = It->second;
    FFinishedAtCut.erase(It);
    return Result;
}

std::optional<bool> TChannel::FailedAtCut(HENCODE Handle) const {
    std::lock_guard Lock(FFinishedMutex);
    const auto It = FFinishedAtCut.find(Handle);
    return It == FFinishedAtCut.end() ? std::nullopt : std::optional(It->second != BASS_OK);
}

} // namespace soundlib
