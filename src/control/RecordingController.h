#pragma once

#include "app/uClock.h"
#include "app/uTypes.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class TRecorder;

// What the main window (or the windowless mode) shows of the controller.
struct TControlStatus {
    // The three status lines: file, information, source.
    QString FileText;
    QString InfoText;
    QString SourceText;
    // The format label: "Geen opname" or the running preset's name.
    QString FormatText;
    bool StartEnabled = true;
    bool StopEnabled = false;
    // Date, time and free space as the clock tick formats them.
    QString DateText;
    QString TimeText;
    QString FreeText;
};

// The texts the controller shows; the view and the tests use the same constants.
namespace ControlText {
inline const QString NoRecording = QStringLiteral("Geen opname");
inline const QString ByClock = QStringLiteral("Opname gestart door interne klok");
inline const QString ByHand = QStringLiteral("Opname handmatig gestart");
inline const QString NoDatabase = QStringLiteral("Geen database beschikbaar.");
inline const QString NoPresets = QStringLiteral("Er zijn geen opname-presets gedefinieerd.");
inline const QString NoDatabasePresets =
    QStringLiteral("Er is geen database beschikbaar, dus ook geen opname-presets.");
} // namespace ControlText

// Opens the program's database into LogData from Config's database path. Returns the
// engine's message when that fails; LogData is then empty and the program goes on without.
QString OpenLogData();

// The recording controller: starts and stops recordings at hour boundaries as the weekly
// schedule says, by hand, and at start-up; numbers and names the files, logs every recording
// in LogData (when there is one) and keeps the status the view draws. It owns the recorder.
//
// Everything runs on the user-interface thread. Errors of the database and of the file layer
// are not caught: they end the operation and reach the caller (the standard error report).
class TRecordingController : public QObject {
    Q_OBJECT
public:
    explicit TRecordingController(TClock Clock = SystemNow, QObject* Parent = nullptr);
    ~TRecordingController() override;

    // The start-up sequence after the database was opened: creates the recorder, checks the
    // device, shows the first texts, takes the current hour as handled, starts the scheduled
    // recording of that hour when there is one and automatic recording is on, then ticks once.
    void Startup();
    // The end of the run: stops a running recording (its duration is logged) and releases the
    // recorder, the capture device and the sound library. Ticks do nothing afterwards.
    void Shutdown();

    // The clock tick, four times a second: date, time, free space, a failed WAV write, the
    // hour rule.
    void TimerClockTimer();
    void CheckHourTrigger(const QDateTime& Moment);
    bool FindScheduledPreset(const QDateTime& Moment, TPreset& P);
    // Free space for recordings on the root folder's volume in MiB; 0 when it cannot be read.
    int64_t FreeSpaceMB() const;

    void StartRecording(const TPreset& P, const QDateTime& StartedAt, const QString& Source);
    void StopRecording();
    int32_t NextRecNumber(const QDateTime& Moment);
    QString RecordingFolder(const QDateTime& Moment) const;
    static QString RecordingFileName(const QDateTime& Moment, int32_t Number, TAudioFormat Format);
    // The format line of a recording, for example "MP3 128 Kbps, 44100 Hz, Stereo".
    static QString FormatLine(const TPreset& P);
    void CheckDevice();
    void SetStatus(const QString& FileText, const QString& InfoText, const QString& SourceText);
    void UpdateRecordingState();

    // The menu's manual start and stop.
    void ManualStart();
    void ManualStop();

    // Whether a recording runs.
    bool IsRecording() const;
    // For a change under a running recording (another capture device, another database):
    // stops the running recording and logs its duration where it was logged, runs Change,
    // and when the device is usable starts the same preset again at once, for the current
    // moment, with the same source text (numbered and logged in the database then in use).
    // Without a running recording only Change runs. An error of Change propagates after the
    // old recording was stopped.
    void RestartRecording(const std::function<void()>& Change);

    bool DeviceOK() const { return FDeviceOK; }
    int32_t LastTriggerHour() const { return FLastTriggerHour; }
    int32_t CurrentRecId() const { return FCurrentRecId; }
    const TPreset& CurrentPreset() const { return FCurrentPreset; }
    const TControlStatus& Status() const { return FStatus; }
    // The recorder; null before Startup and after Shutdown.
    const TRecorder* Recorder() const { return FRecorder.get(); }
    // The latest peak levels of a running recording; false (and 0.0) when none runs.
    bool GetLevels(float& L, float& R) const;

signals:
    // The three status lines changed.
    void StatusLinesChanged();
    // The format label or the enabling of start and stop changed.
    void RecordingStateChanged();
    // Date, time and free space were refreshed (every tick).
    void ClockChanged();
    // A warning the operator must acknowledge (the menu's start without presets).
    void WarningRaised(const QString& Text);

private:
    // A free file name in Folder: FileName itself, or with "_2", "_3", ... before the
    // extension when a file of that name is already there.
    static QString FreeFileName(const QString& Folder, const QString& FileName);
    void ShowWriteError();

    TClock FClock;
    std::unique_ptr<TRecorder> FRecorder;
    int32_t FCurrentRecId = 0;
    TPreset FCurrentPreset;
    QString FCurrentSource;
    bool FDeviceOK = false;
    int32_t FLastTriggerHour = -1;
    QString FShownWriteError;
    TControlStatus FStatus;
};
