#include "support/ClickSource.h"

#include "soundlib/FrameTimes.h"
#include "soundlib/PulseConnection.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int64_t Second = 1'000'000'000;
// What the server keeps queued: little, so that the server asks for audio shortly before it
// plays and each piece is dated close to its playing.
constexpr pa_usec_t QueuedAudio = 20 * PA_USEC_PER_MSEC;
} // namespace

TClickSource::TClickSource(uint32_t Rate) : FRate(Rate) {
    int Error = 0;
    FConnection = soundlib::TPulseConnection::Connect(Error);
    if (!FConnection)
        return;
    soundlib::TLoopLock Lock(FConnection->Loop());
    const pa_sample_spec Format{PA_SAMPLE_S16NE, FRate, 1};
    FStream = pa_stream_new(FConnection->Context(), "Tikken", &Format, nullptr);
    if (!FStream)
        return;
    pa_stream_set_write_callback(FStream, OnWrite, this);
    pa_stream_set_state_callback(
        FStream,
        [](pa_stream*, void* User) {
            auto* Self = static_cast<TClickSource*>(User);
            pa_threaded_mainloop_signal(Self->FConnection->Loop(), 0);
        },
        this);
    const uint32_t Server = static_cast<uint32_t>(-1); // the server's choice
    const pa_buffer_attr Attr{Server, static_cast<uint32_t>(pa_usec_to_bytes(QueuedAudio, &Format)),
                              Server, Server, Server};
    const auto Flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(FStream, "vantor_null", &Attr, Flags, nullptr, nullptr) < 0 ||
        !FConnection->WaitUntilReady(FStream)) {
        soundlib::TPulseConnection::EndStream(FStream);
        FStream = nullptr;
    }
}

TClickSource::~TClickSource() {
    if (!FStream)
        return;
    soundlib::TLoopLock Lock(FConnection->Loop());
    soundlib::TPulseConnection::EndStream(FStream);
}

bool TClickSource::Running() const {
    if (!FStream)
        return false;
    soundlib::TLoopLock Lock(FConnection->Loop());
    return pa_stream_get_state(FStream) == PA_STREAM_READY;
}

void TClickSource::OnWrite(pa_stream* Stream, size_t Bytes, void* User) {
    auto* Self = static_cast<TClickSource*>(User);
    // Until the server's first timing report the audio cannot be dated: silence then.
    pa_usec_t Latency = 0;
    int Negative = 0;
    const bool Dated = pa_stream_get_latency(Stream, &Latency, &Negative) == 0;
    const int64_t Ahead = static_cast<int64_t>(Latency) * 1000;
    int64_t PlayTime = soundlib::RealtimeNanoseconds() + (Negative ? -Ahead : Ahead);
    while (Bytes >= sizeof(int16_t)) {
        void* Data = nullptr;
        size_t Size = Bytes;
        if (pa_stream_begin_write(Stream, &Data, &Size) < 0 || Size < sizeof(int16_t))
            return;
        const size_t Frames = Size / sizeof(int16_t);
        auto* Samples = static_cast<int16_t*>(Data);
        std::fill(Samples, Samples + Frames, int16_t{0});
        if (Dated)
            Self->Fill(Samples, Frames, PlayTime);
        PlayTime += static_cast<int64_t>(Frames) * Second / Self->FRate;
        if (pa_stream_write(Stream, Data, Frames * sizeof(int16_t), nullptr, 0, PA_SEEK_RELATIVE) <
            0)
            return;
        Bytes -= Frames * sizeof(int16_t);
    }
}

void TClickSource::Fill(int16_t* Samples, size_t Frames, int64_t PlayTime) {
    const int64_t ClickFrames = ClickLength * FRate / Second;
    if (FNextClick == 0)
        FNextClick = (PlayTime / Second + 1) * Second;
    for (size_t F = 0; F < Frames; ++F) {
        if (FClickFramesLeft > 0) {
            Samples[F] = ClickLevel;
            --FClickFramesLeft;
            continue;
        }
        const int64_t Time = PlayTime + static_cast<int64_t>(F) * Second / FRate;
        if (Time < FNextClick)
            continue;
        if (Time - FNextClick <= ClickTolerance) {
            Samples[F] = ClickLevel;
            FClickFramesLeft = ClickFrames - 1;
            FPlaced.fetch_add(1, std::memory_order_relaxed);
            FNextClick += Second;
        } else {
            FMissed.fetch_add(1, std::memory_order_relaxed);
            FNextClick = (Time / Second + 1) * Second;
        }
    }
}

std::vector<int64_t> ClickOnsets(const TDecodedAudio& Audio) {
    const float Threshold = 0.5f * TClickSource::ClickLevel / 32768.0f;
    const int64_t Quiet = Audio.Rate / 10;
    const auto Frames = static_cast<int64_t>(Audio.Samples.size()) / Audio.Channels;
    std::vector<int64_t> Onsets;
    int64_t QuietFrames = 0; // a click cut off at the start is no onset
    for (int64_t F = 0; F < Frames; ++F) {
        if (std::abs(Audio.Samples[F * Audio.Channels]) < Threshold) {
            ++QuietFrames;
            continue;
        }
        if (QuietFrames >= Quiet)
            Onsets.push_back(F);
        QuietFrames = 0;
    }
    return Onsets;
}

void AppendAudio(TDecodedAudio& All, const TDecodedAudio& Audio) {
    All.Channels = Audio.Channels;
    All.Rate = Audio.Rate;
    All.Samples.insert(All.Samples.end(), Audio.Samples.begin(), Audio.Samples.end());
}
