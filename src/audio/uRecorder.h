#pragma once

#include "audio/SoundHandle.h"
#include "base/uClock.h"
#include "base/uTypes.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace soundlib {
class TOutputFile;
}

// An error of the file layer; what() names the path and the system's reason (UTF-8, Dutch).
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TRecorderState { rsIdle = 0, rsRecording = 1 };

// A file's audio on the wall clock (ns since the epoch): when its first frame entered the source,
// and when the frame after its last one did; with how many frames it holds at what rate.
struct TFileTimes {
    int64_t Start = 0;
    int64_t End = 0;
    uint64_t Frames = 0;
    int32_t Rate = 0;
    // How much faster (positive) the sound card ran than the wall clock over the file, in parts
    // per million; none for a file shorter than a minute, too short to tell.
    std::optional<double> DriftPpm;
};

// What a cut at the hour ended and began.
struct TCutDone {
    TFileTimes Ended;
    // Why writing the file that ended failed, as WriteError says; empty when nothing failed.
    QString EndedWriteError;
    QString EndedPath;
    QDateTime EndedStartedAt;
    // When the first frame after the cut entered the source (ns since the epoch).
    int64_t CutTime = 0;
    // The file the cut began, empty when the cut ended the recording's file without a next one.
    QString NextPath;
};

// What the recorder tells about its recording at one moment, as the accessors of the same
// names do.
struct TRecorderSnapshot {
    bool Recording = false;
    bool CaptureAlive = false;
    QString WriteError;
    double DroppedSeconds = 0;
    float LevelL = 0;
    float LevelR = 0;
    // While recording: how long the capture has delivered nothing (since the start when nothing
    // came yet). A sound server that hangs keeps its capture alive but lets this grow.
    double SecondsWithoutAudio = 0;
    // While recording: seconds of audio, up to the latest received, in which every channel
    // stayed below the silence level; 0 while that level is off.
    double SilentSeconds = 0;
};

// Opens the capture device, records one preset into a WAV file of its own or through an
// encoder, and measures peak levels.
//
// Threads: one thread at a time calls the methods. That is the controller's thread (the one of
// the event loop, with or without a window), or a start thread of the controller's
// (AttemptStart) while the controller leaves the recorder alone; SetSilenceLevel alone may be
// called by the controller's thread meanwhile. InitDevice and Start may block until the sound
// server answers or its time limit passes. RecordCallback runs on the sound library's
// recording thread.
class TRecorder {
public:
    explicit TRecorder(TClock Clock = SystemNow);
    virtual ~TRecorder();
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    bool InitOutput();
    bool InitDevice(int32_t Device);
    void FreeDevice();
    // True when the recording runs. False when a file named FullPath exists already
    // (NameTaken; that file is left as it is) or the capture or the encoder does not start
    // (StartError). Throws EFileError when the WAV file cannot be created or written.
    bool Start(const TPreset& P, const QString& FullPath);
    void Stop();
    // While recording: arms the cut at the wall-clock moment At (ns since the epoch). The
    // recording thread ends the current file before the first frame that entered the source at
    // or after At and goes on into NextPath with Next from that very frame; without Next the
    // file just ends there and the capture runs on without a file until Stop. Next must capture
    // as the running preset does (rate and channels). Prepares the next file now: false when
    // that fails (NameTaken says whether its name was taken) or the channel takes no cut; the
    // recording then runs on unchanged. Throws EFileError when its folder cannot be made.
    bool PrepareCut(const std::optional<TPreset>& Next, const QString& NextPath, int64_t At);
    // Whether a cut is armed or made and not yet taken.
    bool CutPending() const { return FCutPending; }
    // Once the cut was made: what it ended and began; from then on the recorder records into
    // the next file (or into none). None while it has not been made. After a Stop that came
    // after the cut, the cut is still told once (and the stop ended the next file).
    std::optional<TCutDone> TakeCut();
    // Takes back a cut not yet made and removes the file it prepared: true then. False when it
    // was made meanwhile (TakeCut tells about it) or none was armed.
    bool CancelCut();
    // After Stop, or after TakeCut for the file that ended: that file's times.
    TFileTimes FileTimes() const;
    // While recording, at any moment: when the first frame of the current file entered the
    // source (ns since the epoch); none before its audio came.
    std::optional<int64_t> FirstFrameTime() const;
    bool GetLevels(float& L, float& R) const;
    // The peak level in dBFS below which the input counts as silent, from the next block of
    // audio on; none: silence is not measured. May be called at any time, also while another
    // thread starts a recording.
    void SetSilenceLevel(std::optional<int32_t> DbFs);

    TRecorderState State() const { return FState; }
    const QString& CurrentPath() const { return FCurrentPath; }
    const QDateTime& StartedAt() const { return FStartedAt; }
    int32_t Device() const { return FDevice; }
    // After a failed Start: a file of that name was there; another name may work.
    bool NameTaken() const { return FNameTaken; }
    // After a failed Start: it created the WAV file itself and left it without audio.
    bool LeftEmptyFile() const { return FLeftEmptyFile; }
    // The sound library's error code (BASS_ERROR_*) of why the last Start failed; 0 after a
    // start that runs, and after one that failed on the WAV file itself.
    int StartError() const { return FStartError; }
    // While recording: false once the capture died (sound server or device lost); the recording
    // then gets no more audio until it is stopped and started again.
    bool CaptureAlive() const;
    // Why writing the file failed during the current or last recording, in Dutch (for WAV
    // with the system's reason); empty when every write succeeded. A failing WAV append stops
    // the appends; the file then holds every whole frame written before, and its header says so.
    QString WriteError() const;
    // Seconds of audio of the current or last recording that never reached its file: the
    // capture had to drop them while the recording thread was held up longer than its
    // buffer lasts (a disk that stalled).
    double DroppedSeconds() const;
    // Frames of audio between the previous recording's end and this one's start that neither
    // file holds: 0 when the capture went on without a break.
    uint64_t GapFrames() const { return FGapFrames; }
    // The recording's state, levels and troubles at this moment, in one call.
    TRecorderSnapshot Snapshot() const;

private:
    friend BOOL RecordCallback(HRECORD Handle, const void* Buffer, DWORD Length, void* User);
    friend void CutCallback(uint32_t Handle, int64_t CutTime, void* User);

    // The times of the file written now, as the recording thread counts them; its own while
    // the channel runs.
    struct TFileClock {
        std::optional<int64_t> Start;
        uint64_t Frames = 0;
        int64_t End = 0; // after the last frame delivered
        uint64_t KeptFrames =
            0; // that reached the file (a WAV file whose writes failed holds fewer)
        int64_t KeptEnd = 0;
        TFileTimes Times(int32_t Rate) const;
    };
    // The next file a cut begins, prepared by the calling thread before it arms the cut.
    struct TNextFile {
        std::optional<TPreset> Preset;
        QString Path;
        std::unique_ptr<soundlib::TOutputFile> Wav;
        TEncoderHandle Encoder;
    };
    // What the recording thread made of the cut; under FCutMutex.
    struct TCutMade {
        TFileTimes Ended;
        int64_t CutTime = 0;
        int EndedWavErrno = 0;
    };
    // Recording thread, at the cut: completes the WAV file that ends and goes on with the next.
    void SwitchFile(int64_t CutTime);
    // Removes the prepared next file (which holds no audio).
    void DiscardNextFile();

    // Writes the header into File (named Path); throws EFileError, with File closed, when it
    // cannot be written.
    static void WriteWavHeader(soundlib::TOutputFile& File, const QString& Path, int32_t Channels,
                               int32_t SampleRate);
    // Writes the final sizes and closes the file; a failure is kept for WriteError.
    void FinishWavFile();
    // The encoder of P's format on the channel, writing FullPath, started with Flags; empty
    // when it did not start.
    TEncoderHandle StartEncoder(const TPreset& P, const QString& FullPath, DWORD Flags = 0);
    // Capture thread: appends one block to the WAV file; false when it did not reach the file.
    bool AppendWav(const void* Buffer, DWORD Length);

    bool FInited = false;
    bool FRecInited = false;
    int32_t FDevice = -1;
    std::unique_ptr<soundlib::TOutputFile> FWavFile;
    int64_t FWavBytes = 0; // written by the capture thread while the channel runs
    TAudioFormat FFormat = afWAV;
    int32_t FChannels = 0;
    int64_t FBytesPerSecond = 0;
    TRecorderState FState = rsIdle;
    QString FCurrentPath;
    QDateTime FStartedAt;
    // Written by the capture thread, read by the calling thread at any moment.
    std::atomic<float> FLevelL{0.0f};
    std::atomic<float> FLevelR{0.0f};
    // The sample value every channel's peak must reach to count as sound; 0: not measured.
    // Set by SetSilenceLevel; read by the capture thread.
    std::atomic<int32_t> FSilenceThreshold{0};
    // The level that threshold was set from; SetSilenceLevel's own.
    std::optional<int32_t> FSilenceDb;
    // Frames in a row below that value, up to the latest block; written by the capture thread
    // only, reset by Start before the channel runs.
    std::atomic<uint64_t> FSilentFrames{0};
    int32_t FSampleRate = 0;

    TClock FClock;
    // errno of the first failed WAV write (capture thread) or completion; 0 when none.
    std::atomic<int> FWavErrno{0};
    // BASS_Encode_Stop reported that writing the encoded file failed.
    bool FEncodeFailed = false;
    bool FNameTaken = false;
    bool FLeftEmptyFile = false;
    int FStartError = 0;
    // What the capture of the last recording dropped, counted when it stopped.
    uint64_t FDroppedBytes = 0;
    uint64_t FGapFrames = 0;
    TFileClock FFileClock; // the recording thread's while the channel runs
    // FFileClock's start, for the calling thread; 0 before the file's first audio.
    std::atomic<int64_t> FFirstFrameTime{0};
    TFileTimes FLastFileTimes;
    bool FCutPending = false;
    TNextFile FNext;
    mutable std::mutex FCutMutex;
    std::optional<TCutMade> FCutMade;
    // A cut made before a stop and not taken by then, for TakeCut after the stop.
    std::optional<TCutDone> FCutAtStop;
    // Declared after everything the callback touches, so that they outlive the channel.
    TEncoderHandle FEncoder;
    TRecordChannel FChannel;
};

BOOL RecordCallback(HRECORD Handle, const void* Buffer, DWORD Length, void* User);
// Called by the sound library on its recording thread at an armed cut.
void CutCallback(uint32_t Handle, int64_t CutTime, void* User);
