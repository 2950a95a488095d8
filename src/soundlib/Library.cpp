#include "soundlib/Library.h"

#include "soundlib/PulseBackend.h"
#include "soundlib/Wakeup.h"

#include <cstring>

namespace soundlib {

namespace {
// Rates the library captures at; the server converts from the device's own rate.
constexpr uint32_t MinRate = 1000;
constexpr uint32_t MaxRate = 384000;

// The recording thread sleeps until a capture or a call wakes it, but no longer than this:
// the end of a source's audio that stopped below the wake-up threshold waits at most this long.
constexpr std::chrono::seconds IdleWake{1};
// The longest a stop waits for the recording thread to take the audio captured before it.
constexpr std::chrono::milliseconds FlushWait{250};

thread_local bool IsRecordingThread = false;
} // namespace

TLibrary& TLibrary::Instance() {
    RecordingWakeup(); // made first, so that it outlives the library at exit
    static TLibrary Library;
    return Library;
}

TLibrary::~TLibrary() {
    ReleaseAll();
}

bool TLibrary::OnRecordingThread() {
    return IsRecordingThread;
}

TCaptureBackend& TLibrary::Backend() {
    if (!FBackend)
        FBackend = CreatePulseBackend();
    return *FBackend;
}

int TLibrary::Init(int Device) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    if (FInited)
        return BASS_ERROR_ALREADY;
    // Only the "no sound" output device exists: the library records, it does not play.
    if (Device != 0)
        return BASS_ERROR_DEVICE;
    FInited = true;
    return BASS_OK;
}

int TLibrary::Free() {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    const bool WasInited = FInited;
    ReleaseAll();
    return WasInited ? BASS_OK : BASS_ERROR_INIT;
}

// Stops every channel, completes every encoder's file and closes the device and the
// recording thread. Holds the control lock (or runs at exit).
void TLibrary::ReleaseAll() {
    std::map<DWORD, std::shared_ptr<TChannel>> Channels;
    std::map<DWORD, std::shared_ptr<TChannel>> Encoders;
    std::map<DWORD, std::unique_ptr<TEncoder>> Waiting;
    std::unique_ptr<TCaptureStream> Lingering;
    {
        std::lock_guard Lock(FMutex);
        Channels.swap(FChannels);
        Encoders.swap(FEncoders);
        Waiting.swap(FWaiting);
        Lingering = std::move(FLinger.Stream);
    }
    FLastStop.reset();
    for (auto& [Handle, Channel] : Channels) {
        Channel->Stop();
        if (std::unique_ptr<TCut> Cut = Channel->DisarmCut(); Cut && Cut->Next)
            Cut->Next->Finish();
    }
    for (auto& [Handle, Channel] : Encoders)
        if (auto Encoder = Channel->DetachEncoder(Handle))
            Encoder->Finish();
    for (auto& [Handle, Encoder] : Waiting)
        Encoder->Finish();
    Channels.clear();
    Encoders.clear();
    Lingering.reset();
    StopRecordingThread();
    FDevice.reset();
    ++FDeviceGeneration;
    FInited = false;
}

void TLibrary::StopRecordingThread() {
    if (!FThread.joinable())
        return;
    {
        std::lock_guard Lock(FMutex);
        FQuit = true;
    }
    RecordingWakeup().Post();
    FThread.join();
    FQuit = false;
}

int TLibrary::RecordInit(int Device) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    if (FDevice)
        return BASS_ERROR_ALREADY;
    if (Device < -1)
        return BASS_ERROR_DEVICE;
    int Error = BASS_OK;
    FDevice = Backend().Open(Device, Error);
    if (FDevice)
        ++FDeviceGeneration;
    return Error;
}

int TLibrary::RecordFree() {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    if (!FDevice)
        return BASS_ERROR_INIT;
    // Running channels keep their own capture until they are stopped.
    std::unique_ptr<TCaptureStream> Lingering;
    {
        std::lock_guard Lock(FMutex);
        Lingering = std::move(FLinger.Stream);
    }
    FLastStop.reset();
    Lingering.reset();
    FDevice.reset();
    ++FDeviceGeneration;
    return BASS_OK;
}

int TLibrary::GetDeviceInfo(DWORD Device, BASS_DEVICEINFO& Info) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    // A listing starts at device 0: read the server's devices afresh then.
    if (Device == 0 || FSources.empty()) {
        FSources.clear();
        if (const int Error = Backend().ListSources(FSources); Error != BASS_OK)
            return Error;
    }
    if (Device >= FSources.size())
        return BASS_ERROR_DEVICE;
    const TSourceInfo& Source = FSources[Device];
    Info.name = FNames.insert(Source.Name).first->c_str();
    Info.driver = FNames.insert(Source.Id).first->c_str();
    Info.flags = Source.Enabled ? BASS_DEVICE_ENABLED : 0;
    return BASS_OK;
}

// The stream a channel stopped less than LingerTime ago on this device, when it has this
// format and still captures; any other lingering stream is closed.
std::unique_ptr<TCaptureStream> TLibrary::TakeLinger(const TCaptureFormat& Format,
                                                     TSteadyTime Now) {
    std::unique_ptr<TCaptureStream> Stream;
    {
        std::lock_guard Lock(FMutex);
        Stream = std::move(FLinger.Stream);
    }
    if (Stream && FLinger.DeviceGeneration == FDeviceGeneration && Now <= FLinger.Until &&
        Stream->Format() == Format && Stream->Alive())
        return Stream;
    return nullptr;
}

int TLibrary::RecordStart(const TCaptureFormat& Format, DWORD Flags, RECORDPROC* Proc, void* User,
                          HRECORD& Handle) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    if (!FDevice)
        return BASS_ERROR_INIT;
    if (Flags != 0)
        return BASS_ERROR_ILLPARAM;
    if (Format.Rate < MinRate || Format.Rate > MaxRate)
        return BASS_ERROR_FREQ;
    if (Format.Channels < 1 || Format.Channels > 2)
        return BASS_ERROR_FORMAT;
    const TSteadyTime Now = std::chrono::steady_clock::now();
    std::unique_ptr<TCaptureStream> Stream = TakeLinger(Format, Now);
    uint64_t GapFrames = 0;
    if (!Stream) {
        int Error = BASS_OK;
        Stream = FDevice->Start(Format, Error);
        if (!Stream)
            return Error;
        if (FLastStop) {
            const auto Gap = std::chrono::steady_clock::now() - *FLastStop;
            GapFrames = static_cast<uint64_t>(
                std::chrono::duration<double>(Gap).count() * Format.Rate + 0.5);
        }
    }
    FLastStop.reset();
    Handle = ++FNextHandle;
    auto Channel = std::make_shared<TChannel>(Handle, std::move(Stream), Proc, User);
    Channel->SetGapFrames(GapFrames);
    {
        std::lock_guard Lock(FMutex);
        FChannels.emplace(Handle, std::move(Channel));
    }
    if (!FThread.joinable())
        FThread = std::thread(&TLibrary::RecordingLoop, this);
    RecordingWakeup().Post(); // from an idle sleep to the channels' rhythm
    return BASS_OK;
}

int TLibrary::ChannelStop(DWORD Handle) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    FlushPending();
    std::shared_ptr<TChannel> Channel;
    {
        std::lock_guard Lock(FMutex);
        auto It = FChannels.find(Handle);
        if (It == FChannels.end())
            return BASS_ERROR_HANDLE;
        Channel = std::move(It->second);
        FChannels.erase(It);
    }
    std::unique_ptr<TCaptureStream> Stream = Channel->Stop();
    KeepWaiting(Channel->DisarmCut());
    if (Stream && Stream->Alive()) {
        FLastStop = std::chrono::steady_clock::now();
        std::lock_guard Lock(FMutex);
        std::swap(FLinger.Stream, Stream);
        FLinger.DeviceGeneration = FDeviceGeneration;
        FLinger.Until = std::chrono::steady_clock::now() + LingerTime;
    }
    RecordingWakeup().Post(); // to close the lingering stream in time
    return BASS_OK;
}

int TLibrary::ChannelIsActive(DWORD Handle, DWORD& State) {
    std::lock_guard Lock(FMutex);
    auto It = FChannels.find(Handle);
    State =
        It != FChannels.end() && It->second->Active() ? BASS_ACTIVE_PLAYING : BASS_ACTIVE_STOPPED;
    return It == FChannels.end() ? BASS_ERROR_HANDLE : BASS_OK;
}

uint64_t TLibrary::DroppedBytes(DWORD Handle) {
    std::lock_guard Lock(FMutex);
    auto It = FChannels.find(Handle);
    return It == FChannels.end() ? 0 : It->second->DroppedBytes();
}

uint64_t TLibrary::GapFrames(DWORD Handle) {
    std::lock_guard Lock(FMutex);
    auto It = FChannels.find(Handle);
    return It == FChannels.end() ? 0 : It->second->GapFrames();
}

uint64_t TLibrary::MsSinceAudio(DWORD Handle) {
    const TSteadyTime Now = std::chrono::steady_clock::now();
    std::lock_guard Lock(FMutex);
    auto It = FChannels.find(Handle);
    if (It == FChannels.end())
        return 0;
    const auto Since = It->second->SinceAudio(Now);
    return std::chrono::duration_cast<std::chrono::milliseconds>(Since).count();
}

int TLibrary::EncodeStart(TEncoderKind Kind, DWORD Handle, const char* Options, DWORD Flags,
                          const char* Path, HENCODE& Encoder, int& FileErrno) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    if ((Flags & ~(BASS_UNICODE | BASS_ENCODE_PAUSE)) != 0 || !Options || !Path)
        return BASS_ERROR_ILLPARAM;
    const bool Waits = (Flags & BASS_ENCODE_PAUSE) != 0;
    std::shared_ptr<TChannel> Channel = FindChannel(Handle);
    if (!Channel)
        return BASS_ERROR_HANDLE;
    if (!Waits && Channel->HasEncoder())
        return BASS_ERROR_ALREADY;
    int Error = BASS_OK;
    std::unique_ptr<TEncoder> Created =
        CreateEncoder(Kind, Options, Channel->Format(), Path, Error, FileErrno);
    if (!Created)
        return Error;
    Encoder = ++FNextHandle;
    if (!Waits)
        Channel->AttachEncoder(Encoder, std::move(Created));
    std::lock_guard Lock(FMutex);
    if (Waits)
        FWaiting.emplace(Encoder, std::move(Created));
    FEncoders.emplace(Encoder, std::move(Channel));
    return BASS_OK;
}

std::shared_ptr<TChannel> TLibrary::FindChannel(DWORD Handle) {
    std::lock_guard Lock(FMutex);
    auto It = FChannels.find(Handle);
    return It == FChannels.end() ? nullptr : It->second;
}

void TLibrary::KeepWaiting(std::unique_ptr<TCut> Cut) {
    if (!Cut || !Cut->Next)
        return;
    std::lock_guard Lock(FMutex);
    FWaiting.emplace(Cut->NextHandle, std::move(Cut->Next));
}

int TLibrary::ArmCut(DWORD Handle, int64_t At, DWORD NextEncoder, CUTPROC* Proc, void* User) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    std::shared_ptr<TChannel> Channel = FindChannel(Handle);
    if (!Channel)
        return BASS_ERROR_HANDLE;
    auto Cut = std::make_unique<TCut>();
    Cut->At = At;
    Cut->Proc = Proc;
    Cut->User = User;
    if (NextEncoder != 0) {
        std::lock_guard Lock(FMutex);
        const auto Owner = FEncoders.find(NextEncoder);
        const auto Waiting = FWaiting.find(NextEncoder);
        if (Waiting == FWaiting.end() || Owner == FEncoders.end() || Owner->second != Channel)
            return BASS_ERROR_HANDLE;
        Cut->NextHandle = NextEncoder;
        Cut->Next = std::move(Waiting->second);
        FWaiting.erase(Waiting);
    }
    if (!Channel->ArmCut(Cut)) {
        KeepWaiting(std::move(Cut));
        return BASS_ERROR_ALREADY;
    }
    return BASS_OK;
}

bool TLibrary::DisarmCut(DWORD Handle) {
    if (OnRecordingThread())
        return false;
    std::lock_guard Control(FControlMutex);
    std::shared_ptr<TChannel> Channel = FindChannel(Handle);
    if (!Channel)
        return false;
    std::unique_ptr<TCut> Cut = Channel->DisarmCut();
    if (!Cut)
        return false;
    KeepWaiting(std::move(Cut));
    return true;
}

int TLibrary::EncodeStop(DWORD Handle) {
    if (OnRecordingThread())
        return BASS_ERROR_BUSY;
    std::lock_guard Control(FControlMutex);
    std::shared_ptr<TChannel> Channel;
    std::unique_ptr<TEncoder> Encoder;
    {
        std::lock_guard Lock(FMutex);
        auto It = FEncoders.find(Handle);
        if (It == FEncoders.end())
            return BASS_ERROR_HANDLE;
        Channel = std::move(It->second);
        FEncoders.erase(It);
        if (auto Waiting = FWaiting.find(Handle); Waiting != FWaiting.end()) {
            Encoder = std::move(Waiting->second);
            FWaiting.erase(Waiting);
        }
    }
    if (Encoder)
        return Encoder->Finish(); // it never had audio
    // An encoder armed to take over at a cut: the cut still ends the file before it.
    if (std::unique_ptr<TCut> Cut = Channel->DisarmCut()) {
        if (Cut->NextHandle == Handle) {
            Encoder = std::move(Cut->Next);
            Cut->NextHandle = 0;
        }
        Channel->ArmCut(Cut);
        if (Encoder)
            return Encoder->Finish();
    }
    if (const std::optional<int> Finished = Channel->TakeFinishedAtCut(Handle))
        return *Finished;
    FlushPending();
    Encoder = Channel->DetachEncoder(Handle);
    if (Encoder)
        return Encoder->Finish();
    // A cut made during the flush finished it.
    return Channel->TakeFinishedAtCut(Handle).value_or(BASS_ERROR_HANDLE);
}

int TLibrary::EncodeIsActive(DWORD Handle, DWORD& State) {
    std::lock_guard Lock(FMutex);
    auto It = FEncoders.find(Handle);
    if (It == FEncoders.end()) {
        State = BASS_ACTIVE_STOPPED;
        return BASS_ERROR_HANDLE;
    }
    const bool Failed = It->second->FailedAtCut(Handle).value_or(!FWaiting.contains(Handle) &&
                                                                 It->second->EncoderFailed());
    State = Failed ? BASS_ACTIVE_STOPPED : BASS_ACTIVE_PLAYING;
    return BASS_OK;
}

void TLibrary::InstallBackend(std::unique_ptr<TCaptureBackend> Backend) {
    std::lock_guard Control(FControlMutex);
    ReleaseAll();
    FSources.clear();
    FBackend = std::move(Backend);
}

void TLibrary::RecordingLoop() {
    IsRecordingThread = true;
    std::vector<std::shared_ptr<TChannel>> Channels;
    for (;;) {
        std::unique_ptr<TCaptureStream> Expired;
        uint64_t Flush = 0;
        TSteadyTime Deadline;
        {
            std::lock_guard Lock(FMutex);
            if (FQuit)
                return;
            Flush = FFlushWanted;
            Channels.clear();
            for (const auto& [Handle, Channel] : FChannels)
                Channels.push_back(Channel);
            // The captures wake the thread when audio waits (see WakeWhenDue).
            Deadline = std::chrono::steady_clock::now() + IdleWake;
            if (FLinger.Stream && std::chrono::steady_clock::now() > FLinger.Until)
                Expired = std::move(FLinger.Stream);
            else if (FLinger.Stream)
                Deadline = std::min(Deadline, FLinger.Until);
        }
        Expired.reset();
        for (const auto& Channel : Channels)
            Channel->DeliverPending();
        if (Flush != FFlushDone) {
            {
                std::lock_guard Lock(FMutex);
                FFlushDone = Flush;
            }
            FFlushed.notify_all();
        }
        RecordingWakeup().WaitUntil(Deadline);
    }
}

void TLibrary::FlushPending() {
    if (!FThread.joinable())
        return;
    std::unique_lock Lock(FMutex);
    const uint64_t Wanted = ++FFlushWanted;
    Lock.unlock();
    RecordingWakeup().Post();
    Lock.lock();
    FFlushed.wait_for(Lock, FlushWait, [&] { return FFlushDone >= Wanted; });
}

} // namespace soundlib
