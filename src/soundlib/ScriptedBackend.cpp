#include "soundlib/ScriptedBackend.h"

#include "base/LittleEndian.h"
#include "soundlib/CaptureBackend.h"
#include "soundlib/bass.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <numbers>
#include <stdexcept>
#include <thread>

namespace soundlib {

namespace {

using TClockTime = std::chrono::steady_clock::time_point;

class TScriptedStream;

// What the backend and its streams share: the script, the server's state, and where the
// signal stands when no capture runs.
struct TWorld {
    std::mutex Mutex;
    TScript Script;
    bool Up = true;
    bool Hung = false;
    std::vector<TScriptedStream*> Streams;
    bool Started = false;
    uint64_t StoppedAt = 0; // signal position when the last capture ended, at StoppedRate
    uint32_t StoppedRate = 0;
    TClockTime StoppedTime;

    // The signal position a capture at Rate starting now begins at.
    uint64_t StartPosition(uint32_t Rate) {
        if (!Started)
            return 0;
        const double Seconds = static_cast<double>(StoppedAt) / StoppedRate +
                               Script.Speed * std::chrono::duration<double>(
                                                  std::chrono::steady_clock::now() - StoppedTime)
                                                  .count();
        return static_cast<uint64_t>(std::llround(Seconds * Rate));
    }
};

std::mutex CurrentMutex;
std::weak_ptr<TWorld> Current;

std::shared_ptr<TWorld> CurrentWorld() {
    std::lock_guard Lock(CurrentMutex);
    return Current.lock();
}

class TScriptedStream : public TCaptureStream {
public:
    // With the world's lock held.
    TScriptedStream(const TCaptureFormat& Format, std::shared_ptr<TWorld> World, uint64_t Pos)
        : TCaptureStream(Format), FWorld(std::move(World)), FSignal(FWorld->Script.Signal),
          FSpeed(FWorld->Script.Speed), FBlock(FWorld->Script.Block),
          FSignalEpoch(FWorld->Script.SignalEpoch), FWallClock(FWorld->Script.WallClock), FPos(Pos),
          FHung(FWorld->Hung) {
        FThread = std::thread(&TScriptedStream::Produce, this);
    }

    ~TScriptedStream() override {
        {
            std::lock_guard Lock(FMutex);
            FStop = true;
        }
        FWake.notify_all();
        FThread.join();
        std::lock_guard Lock(FWorld->Mutex);
        std::erase(FWorld->Streams, this);
        FWorld->Started = true;
        FWorld->StoppedAt = FPos;
        FWorld->StoppedRate = Format().Rate;
        FWorld->StoppedTime = std::chrono::steady_clock::now();
    }

    void Kill() {
        {
            std::lock_guard Lock(FMutex);
            MarkDead();
        }
        FWake.notify_all();
    }

    void SetHung(bool Hung) {
        {
            std::lock_guard Lock(FMutex);
            FHung = Hung;
        }
        FWake.notify_all();
    }

private:
    // The backend's thread: one block of the signal per step, paced by the speed.
    void Produce() {
        const uint32_t Rate = Format().Rate;
        const uint32_t Channels = Format().Channels;
        const auto Frames =
            std::max<uint32_t>(1, static_cast<uint32_t>(Rate * FBlock.count() / 1000));
        std::vector<int16_t> Buffer(size_t{Frames} * Channels);
        TClockTime Next = std::chrono::steady_clock::now();
        std::unique_lock Lock(FMutex);
        auto Stopping = [this] { return FStop || !Alive(); };
        while (!Stopping()) {
            // The pace stays: a server that goes on delivers what it missed meanwhile at once.
            FWake.wait(Lock, [&] { return Stopping() || !FHung; });
            if (Stopping())
                break;
            const uint32_t Got = FSignal(FPos, Buffer.data(), Frames, Rate, Channels);
            const size_t Bytes = size_t{Got} * Format().FrameBytes();
            if (FSpeed == 0)
                while (!Stopping() && Queue().WriteSpace() < Bytes)
                    FWake.wait_for(Lock, std::chrono::milliseconds(1));
            if (Stopping())
                break;
            Deliver(Buffer.data(), Bytes, CaptureTime(Got));
            FPos += Got;
            if (Got < Frames) {
                FWake.wait(Lock, Stopping); // the signal has ended: stay silent
                break;
            }
            if (FSpeed > 0) {
                Next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                    std::chrono::duration<double>(Frames / (Rate * FSpeed)));
                FWake.wait_until(Lock, Next, Stopping);
            }
        }
    }

    // When the Frames frames from FPos on entered the source.
    int64_t CaptureTime(uint32_t Frames) const {
        const int64_t Rate = Format().Rate;
        if (FSignalEpoch)
            return *FSignalEpoch + static_cast<int64_t>(FPos) * 1'000'000'000 / Rate;
        return FWallClock() - int64_t{Frames} * 1'000'000'000 / Rate;
    }

    std::shared_ptr<TWorld> FWorld;
    const TScriptedSignal FSignal;
    const double FSpeed;
    const std::chrono::milliseconds FBlock;
    const std::optional<int64_t> FSignalEpoch;
    const std::function<int64_t()> FWallClock;
    uint64_t FPos; // the producer's until it has been joined
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FStop = false;
    bool FHung;
    std::thread FThread;
};

class TScriptedDeviceHandle : public TCaptureDevice {
public:
    explicit TScriptedDeviceHandle(std::shared_ptr<TWorld> World) : FWorld(std::move(World)) {}

    std::unique_ptr<TCaptureStream> Start(const TCaptureFormat& Format, int& Error) override {
        if (FWorld->Script.OnStart) // the script does not change once installed
            FWorld->Script.OnStart();
        std::lock_guard Lock(FWorld->Mutex);
        Error = !FWorld->Up ? BASS_ERROR_DRIVER : FWorld->Script.StartError;
        if (Error != BASS_OK)
            return nullptr;
        auto Stream =
            std::make_unique<TScriptedStream>(Format, FWorld, FWorld->StartPosition(Format.Rate));
        FWorld->Streams.push_back(Stream.get());
        return Stream;
    }

private:
    std::shared_ptr<TWorld> FWorld;
};

class TScriptedBackend : public TCaptureBackend {
public:
    explicit TScriptedBackend(std::shared_ptr<TWorld> World) : FWorld(std::move(World)) {}

    int ListSources(std::vector<TSourceInfo>& Sources) override {
        std::lock_guard Lock(FWorld->Mutex);
        if (!FWorld->Up)
            return BASS_ERROR_DRIVER;
        for (size_t I = 0; I < FWorld->Script.Devices.size(); ++I) {
            const TScriptedDevice& Device = FWorld->Script.Devices[I];
            Sources.push_back({Device.Name, "scripted." + std::to_string(I), Device.Enabled});
        }
        return BASS_OK;
    }

    std::unique_ptr<TCaptureDevice> Open(int Device, int& Error) override {
        std::lock_guard Lock(FWorld->Mutex);
        const int Count = static_cast<int>(FWorld->Script.Devices.size());
        Error = !FWorld->Up                                       ? BASS_ERROR_DRIVER
                : Device >= Count || (Device == -1 && Count == 0) ? BASS_ERROR_DEVICE
                                                                  : BASS_OK;
        return Error == BASS_OK ? std::make_unique<TScriptedDeviceHandle>(FWorld) : nullptr;
    }

private:
    std::shared_ptr<TWorld> FWorld;
};

} // namespace

TScriptedSignal SilenceSignal() {
    return [](uint64_t, int16_t* Out, uint32_t Frames, uint32_t, uint32_t Channels) {
        std::fill_n(Out, size_t{Frames} * Channels, int16_t{0});
        return Frames;
    };
}

TScriptedSignal SamplesSignal(std::vector<int16_t> Samples, uint32_t SourceChannels) {
    auto Shared = std::make_shared<const std::vector<int16_t>>(std::move(Samples));
    return [Shared, SourceChannels](uint64_t Pos, int16_t* Out, uint32_t Frames, uint32_t,
                                    uint32_t Channels) {
        const uint64_t Total = Shared->size() / SourceChannels;
        const auto Got =
            static_cast<uint32_t>(std::min<uint64_t>(Frames, Total - std::min(Pos, Total)));
        for (uint32_t F = 0; F < Got; ++F)
            for (uint32_t C = 0; C < Channels; ++C)
                Out[size_t{F} * Channels + C] =
                    (*Shared)[(Pos + F) * SourceChannels + std::min(C, SourceChannels - 1)];
        return Got;
    };
}

TScriptedSignal WavFileSignal(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    const std::string Bytes((std::istreambuf_iterator<char>(File)), {});
    if (!File.good() && !File.eof())
        throw std::runtime_error("cannot read " + Path);
    if (Bytes.size() < 12 || Bytes.compare(0, 4, "RIFF") != 0 || Bytes.compare(8, 4, "WAVE") != 0)
        throw std::runtime_error(Path + " is not a WAV file");
    uint32_t Channels = 0;
    for (size_t At = 12; At + 8 <= Bytes.size();) {
        const uint32_t Size = ReadLittleEndian<uint32_t>(&Bytes[At + 4]);
        const size_t Body = At + 8;
        if (Bytes.compare(At, 4, "fmt ") == 0 && Body + 16 <= Bytes.size()) {
            if (ReadLittleEndian<uint16_t>(&Bytes[Body]) != 1 ||
                ReadLittleEndian<uint16_t>(&Bytes[Body + 14]) != 16)
                throw std::runtime_error(Path + " is not 16-bit PCM");
            Channels = ReadLittleEndian<uint16_t>(&Bytes[Body + 2]);
        } else if (Bytes.compare(At, 4, "data") == 0 && Channels > 0) {
            const size_t Length = std::min<size_t>(Size, Bytes.size() - Body) / 2;
            std::vector<int16_t> Samples(Length);
            std::memcpy(Samples.data(), &Bytes[Body], Length * 2);
            return SamplesSignal(std::move(Samples), Channels);
        }
        At = Body + Size + (Size & 1);
    }
    throw std::runtime_error(Path + " holds no 16-bit PCM data");
}

TScriptedSignal ToneSignal(double Hz, double Amplitude) {
    return [Hz, Amplitude](uint64_t Pos, int16_t* Out, uint32_t Frames, uint32_t Rate,
                           uint32_t Channels) {
        for (uint32_t F = 0; F < Frames; ++F) {
            const double Phase = 2 * std::numbers::pi * Hz * static_cast<double>(Pos + F) / Rate;
            const auto Sample =
                static_cast<int16_t>(std::lround(Amplitude * 32767 * std::sin(Phase)));
            std::fill_n(Out + size_t{F} * Channels, Channels, Sample);
        }
        return Frames;
    };
}

TScriptedSignal CounterSignal() {
    return [](uint64_t Pos, int16_t* Out, uint32_t Frames, uint32_t, uint32_t Channels) {
        for (uint32_t F = 0; F < Frames; ++F) {
            const uint64_t Frame = Pos + F;
            int16_t* Samples = Out + size_t{F} * Channels;
            Samples[0] = static_cast<int16_t>(Frame & 0xFFFF);
            if (Channels > 1)
                Samples[1] = static_cast<int16_t>((Frame >> 16) & 0xFFFF);
        }
        return Frames;
    };
}

void InstallScriptedBackend(TScript Script) {
    auto World = std::make_shared<TWorld>();
    World->Script = std::move(Script);
    InstallCaptureBackend(std::make_unique<TScriptedBackend>(World));
    std::lock_guard Lock(CurrentMutex);
    Current = World;
}

void SetScriptedServerUp(bool Up) {
    std::shared_ptr<TWorld> World = CurrentWorld();
    if (!World)
        return;
    std::lock_guard Lock(World->Mutex);
    World->Up = Up;
    if (!Up)
        for (TScriptedStream* Stream : World->Streams)
            Stream->Kill();
}

void SetScriptedServerHung(bool Hung) {
    std::shared_ptr<TWorld> World = CurrentWorld();
    if (!World)
        return;
    std::lock_guard Lock(World->Mutex);
    World->Hung = Hung;
    for (TScriptedStream* Stream : World->Streams)
        Stream->SetHung(Hung);
}

} // namespace soundlib
