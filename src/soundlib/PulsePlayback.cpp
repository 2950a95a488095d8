#include "soundlib/PulsePlayback.h"

#include "soundlib/PulseConnection.h"
#include "soundlib/bass.h"

#include <algorithm>
#include <utility>

namespace soundlib {

namespace {

// What the server holds queued: enough to ride out a slow disk on the loop thread, little
// enough that the sound starts and the position follows without a noticeable lag.
constexpr pa_usec_t QueuedAudio = 250 * PA_USEC_PER_MSEC;

} // namespace

std::unique_ptr<TPulsePlayback> TPulsePlayback::Create(std::unique_ptr<TSoundFile> File,
                                                       int& Error) {
    std::unique_ptr<TPulsePlayback> Playback(new TPulsePlayback(std::move(File)));
    Error = Playback->Connect();
    return Error == BASS_OK ? std::move(Playback) : nullptr;
}

TPulsePlayback::~TPulsePlayback() {
    Stop();
}

int TPulsePlayback::Connect() {
    int Error = BASS_OK;
    FConnection = TPulseConnection::Connect(Error);
    return Error;
}

int TPulsePlayback::Start(int64_t Frame) {
    Stop();
    if (!FConnection || !FConnection->Alive()) {
        if (const int Error = Connect(); Error != BASS_OK)
            return Error;
    }
    TLoopLock Lock(FConnection->Loop());
    FStartFrame = FHeard = std::clamp<int64_t>(Frame, 0, FFile->Frames());
    FPlayedOut = false;
    if (!FFile->Seek(FStartFrame))
        return BASS_ERROR_POSITION;
    const pa_sample_spec Format{PA_SAMPLE_S16NE, static_cast<uint32_t>(FFile->Rate()),
                                static_cast<uint8_t>(FFile->Channels())};
    if (FFile->Channels() > int(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&Format))
        return BASS_ERROR_FORMAT;
    FStream = pa_stream_new(FConnection->Context(), "Afspelen", &Format, nullptr);
    if (!FStream)
        return FConnection->Alive() ? BASS_ERROR_FORMAT : BASS_ERROR_DRIVER;
    pa_stream_set_write_callback(FStream, OnWrite, this);
    pa_stream_set_state_callback(FStream, OnState, this);
    const uint32_t Server = static_cast<uint32_t>(-1); // the server's choice
    const pa_buffer_attr Attr{Server, static_cast<uint32_t>(pa_usec_to_bytes(QueuedAudio, &Format)),
                              Server, Server, Server};
    // Interpolated timing lets Position() follow the sound between the server's reports.
    const auto Flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    const bool Ready =
        pa_stream_connect_playback(FStream, nullptr, &Attr, Flags, nullptr, nullptr) >= 0 &&
        FConnection->WaitUntilReady(FStream);
    if (Ready)
        return BASS_OK;
    EndStream();
    return FConnection->Alive() ? BASS_ERROR_NOTAVAIL : BASS_ERROR_DRIVER;
}

void TPulsePlayback::Stop() {
    if (!FConnection)
        return;
    TLoopLock Lock(FConnection->Loop());
    EndStream();
}

int TPulsePlayback::Seek(int64_t Frame) {
    if (Running())
        return Start(Frame);
    const int64_t To = std::clamp<int64_t>(Frame, 0, FFile->Frames());
    if (!FConnection) {
        FHeard = To;
        return BASS_OK;
    }
    TLoopLock Lock(FConnection->Loop());
    EndStream();
    FHeard = To;
    return BASS_OK;
}

int64_t TPulsePlayback::Position() {
    if (!FConnection)
        return FHeard;
    TLoopLock Lock(FConnection->Loop());
    return HeardFrame();
}

bool TPulsePlayback::Running() {
    if (!FConnection)
        return false;
    TLoopLock Lock(FConnection->Loop());
    return FStream && !FPlayedOut && PA_STREAM_IS_GOOD(pa_stream_get_state(FStream));
}

// Asks the server to end the stream and goes: waiting for its answer would let a server that
// hangs hold up a pause or a close.
void TPulsePlayback::EndStream() {
    if (!FStream)
        return;
    FHeard = HeardFrame();
    if (FDrain) {
        pa_operation_cancel(FDrain);
        pa_operation_unref(std::exchange(FDrain, nullptr));
    }
    TPulseConnection::EndStream(std::exchange(FStream, nullptr));
}

int64_t TPulsePlayback::HeardFrame() {
    pa_usec_t Played = 0;
    if (FStream && !FPlayedOut && pa_stream_get_time(FStream, &Played) == 0) {
        const auto Frames = static_cast<int64_t>(Played * FFile->Rate() / PA_USEC_PER_SEC);
        FHeard = std::min(FStartFrame + Frames, FFile->Frames());
    }
    return FHeard;
}

// Decodes straight into the server's buffer. The loop thread is this playback's own, so a
// slow read delays nothing but playback, and the queued audio covers it.
void TPulsePlayback::OnWrite(pa_stream* Stream, size_t Bytes, void* User) {
    auto* Self = static_cast<TPulsePlayback*>(User);
    const size_t FrameBytes = Self->FFile->FrameBytes();
    while (Bytes >= FrameBytes && !Self->FDrain) {
        void* Data = nullptr;
        size_t Size = Bytes;
        if (pa_stream_begin_write(Stream, &Data, &Size) < 0)
            return;
        if (Size < FrameBytes) {
            pa_stream_cancel_write(Stream);
            return;
        }
        const size_t Frames = Self->FFile->Read(static_cast<int16_t*>(Data), Size / FrameBytes);
        if (Frames == 0) {
            pa_stream_cancel_write(Stream);
            // The end of the file: the drain's answer tells when the last of it was heard.
            Self->FDrain = pa_stream_drain(Stream, OnDrained, Self);
            return;
        }
        if (pa_stream_write(Stream, Data, Frames * FrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0)
            return;
        Bytes -= std::min(Bytes, Frames * FrameBytes);
    }
}

void TPulsePlayback::OnState(pa_stream*, void* User) {
    auto* Self = static_cast<TPulsePlayback*>(User);
    pa_threaded_mainloop_signal(Self->FConnection->Loop(), 0);
}

void TPulsePlayback::OnDrained(pa_stream*, int Success, void* User) {
    auto* Self = static_cast<TPulsePlayback*>(User);
    pa_operation_unref(std::exchange(Self->FDrain, nullptr));
    if (Success) {
        Self->FPlayedOut = true;
        Self->FHeard = Self->FFile->Frames();
    }
}

} // namespace soundlib
