#pragma once

#include "app/uClock.h"
#include "app/uTypes.h"
#include "soundlib/bass.h"

#include <QDateTime>
#include <QString>
#include <QVector>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

// An error of the file layer; what() names the path and the system's reason (UTF-8, Dutch).
class EFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TRecorderState { rsIdle = 0, rsRecording = 1 };

// Opens the capture device, records one preset into a WAV file of its own or through an
// encoder, and measures peak levels. Every method is called on the user-interface thread;
// RecordCallback runs on the sound library's recording thread.
class TRecorder {
public:
    explicit TRecorder(TClock Clock = SystemNow);
    virtual ~TRecorder();
    TRecorder(const TRecorder&) = delete;
    TRecorder& operator=(const TRecorder&) = delete;

    bool InitOutput();
    bool InitDevice(int32_t Device);
    void FreeDevice();
    // True when the recording runs. Throws EFileError when the WAV file cannot be created.
    bool Start(const TPreset& P, const QString& FullPath);
    void Stop();
    bool GetLevels(float& L, float& R) const;

    TRecorderState State() const { return FState; }
    const QString& CurrentPath() const { return FCurrentPath; }
    const QDateTime& StartedAt() const { return FStartedAt; }
    int32_t Device() const { return FDevice; }
    // Why appending to the WAV file failed during the current or last recording, in Dutch
    // with the system's reason; empty when every write succeeded.
    QString WriteError() const;

private:
    friend BOOL RecordCallback(HRECORD Handle, const void* Buffer, DWORD Length, void* User);
    // (fields and private operations as the implementation needs)
};

BOOL RecordCallback(HRECORD Handle, const void* Buffer, DWORD Length, void* User);

struct TDeviceEntry {
    QString Text;
    int32_t Value = 0;
};
using TDeviceList = QVector<TDeviceEntry>;

// Clears List and fills it with every recording device, in device-number order.
void ListRecordDevices(TDeviceList& List);
