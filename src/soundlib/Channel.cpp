#include "soundlib/Channel.h"

#include <algorithm>

namespace soundlib {

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
        TCaptureQueue& Queue = FStream->Queue();
        size_t Bytes = std::min(Queue.ReadSpace(), BlockBytes);
        Bytes -= Bytes % FrameBytes;
        if (Bytes == 0)
            return;
        Queue.Read(FBlock.data(), Bytes);
        if (FProc && !FProc(FHandle, FBlock.data(), static_cast<DWORD>(Bytes), FUser))
            FStopped.store(true, std::memory_order_relaxed);
        if (FEncoder) {
            Encode(FBlock.data(), Bytes / FrameBytes);
        } else if (FPrerolling) {
            if (std::chrono::steady_clock::now() - FStarted <= PrerollTime) {
                FPreroll.insert(FPreroll.end(), FBlock.begin(),
                                FBlock.begin() + Bytes / sizeof(int16_t));
            } else {
                FPrerolling = false;
                std::vector<int16_t>().swap(FPreroll);
            }
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

void TChannel::AttachEncoder(std::unique_ptr<TEncoder> Encoder) {
    std::lock_guard Lock(FMutex);
    FEncoder = std::move(Encoder);
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

std::unique_ptr<TEncoder> TChannel::DetachEncoder() {
    std::lock_guard Lock(FMutex);
    return std::move(FEncoder);
}

} // namespace soundlib
