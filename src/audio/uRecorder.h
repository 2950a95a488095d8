#pragma once

#include "audio/SoundHandle.h"
#include "base/uClock.h"
#include "base/uTypes.h"

#include <QDateTime>
#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
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

    // Throws EFileError when the header cannot be written.
    void WriteWavHeader(int32_t Channels, int32_t SampleRate);
    // Writes the final sizes and closes the file; a failure is kept for WriteError.
    void FinishWavFile();
    // The encoder of P's format on the channel, writing FullPath; empty when it did not start.
    TEncoderHandle StartEncoder(const TPreset& P, const QString& FullPath);
    // Capture thread: appends one block to the WAV file.
    void AppendWav(const void* Buffer, DWORD Length);

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
    // Declared after everything the callback touches, so that they outlive the channel.
    TEncoderHandle FEncoder;
    TRecordChannel FChannel;
};

BOOL RecordCallback(HRECORD Handle, const void* Buffer, DWORD Length, void* User);
