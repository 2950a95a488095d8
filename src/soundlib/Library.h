#pragma once

#include "soundlib/CaptureBackend.h"
#include "soundlib/Channel.h"
#include "soundlib/Encoder.h"
#include "soundlib/bass.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace soundlib {

// The state behind the BASS_* calls. Each operation returns BASS_OK or a BASS error code.
//
// Threads: the control operations (everything but ChannelIsActive, EncodeIsActive,
// DroppedBytes and MsSinceAudio) may be called from any thread but the recording thread; a lock
// makes them take turns. Opening, listing and starting may block for up to the backend's
// connection timeout, and so may any control operation waiting for one of them; stopping and
// releasing never wait for the sound server themselves, even one that hangs. The recording thread
// is the library's own: woken when captured audio waits, it feeds callbacks and encoders and closes
// a stream that lingered too long.
class TLibrary {
public:
    static TLibrary& Instance();
    ~TLibrary();

    int Init(int Device);
    int Free();
    int RecordInit(int Device);
    int RecordFree();
    int GetDeviceInfo(DWORD Device, BASS_DEVICEINFO& Info);
    int RecordStart(const TCaptureFormat& Format, DWORD Flags, RECORDPROC* Proc, void* User,
                    HRECORD& Handle);
    int ChannelStop(DWORD Handle);
    int ChannelIsActive(DWORD Handle, DWORD& State);
    // FileErrno: as CreateEncoder sets it; 0 unless the file could not be created.
    int EncodeStart(TEncoderKind Kind, DWORD Handle, const char* Options, DWORD Flags,
                    const char* Path, HENCODE& Encoder, int& FileErrno);
    int EncodeStop(DWORD Handle);
    int EncodeIsActive(DWORD Handle, DWORD& State);
    // Control operations that never wait for the recording thread.
    int ArmCut(DWORD Handle, int64_t At, DWORD NextEncoder, CUTPROC* Proc, void* User);
    bool DisarmCut(DWORD Handle);

    void InstallBackend(std::unique_ptr<TCaptureBackend> Backend);
    uint64_t DroppedBytes(DWORD Handle);
    uint64_t MsSinceAudio(DWORD Handle);
    uint64_t GapFrames(DWORD Handle);

private:
    TLibrary() = default;

    // A stopped channel's stream keeps capturing this long, so that a channel started right
    // after it continues with the very next sample.
    static constexpr std::chrono::seconds LingerTime{1};

    struct TLinger {
        std::unique_ptr<TCaptureStream> Stream;
        uint64_t DeviceGeneration = 0;
        TSteadyTime Until;
    };

    static bool OnRecordingThread();
    TCaptureBackend& Backend();
    std::unique_ptr<TCaptureStream> TakeLinger(const TCaptureFormat& Format, TSteadyTime Now);
    void ReleaseAll();
    // The channel of Handle; null when there is none.
    std::shared_ptr<TChannel> FindChannel(DWORD Handle);
    // Puts the encoder of a cut taken back among the waiting ones.
    void KeepWaiting(std::unique_ptr<TCut> Cut);
    void StopRecordingThread();
    void RecordingLoop();
    // Waits until the recording thread has handed everything captured so far to the callbacks
    // and encoders, so that a file that ends gets its audio up to this moment; at most
    // FlushWait, for a thread held up by a stalled disk. Never waits for the sound server.
    void FlushPending();

    std::mutex FControlMutex; // serializes the control operations
    bool FInited = false;
    std::unique_ptr<TCaptureBackend> FBackend;
    std::unique_ptr<TCaptureDevice> FDevice;
    uint64_t FDeviceGeneration = 0; // counts the devices opened
    std::set<std::string> FNames;   // device names handed out; the pointers stay valid
    std::vector<TSourceInfo> FSources;
    DWORD FNextHandle = 0;
    std::optional<TSteadyTime> FLastStop; // of a channel whose capture still ran

    // Shared with the recording thread; never held while a channel's lock is taken.
    std::mutex FMutex;
    std::map<DWORD, std::shared_ptr<TChannel>> FChannels;
    std::map<DWORD, std::shared_ptr<TChannel>> FEncoders; // each encoder's channel
    // Encoders started to wait for a cut, until one is armed with them; changed only under
    // both locks.
    std::map<DWORD, std::unique_ptr<TEncoder>> FWaiting;
    TLinger FLinger;
    bool FQuit = false;
    uint64_t FFlushWanted = 0; // flushes asked for
    uint64_t FFlushDone = 0;   // the last of them the recording thread has carried out
    std::condition_variable FFlushed;
    std::thread FThread;
};

} // namespace soundlib
