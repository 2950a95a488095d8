#pragma once

#include "base/uClock.h"
#include "base/uTypes.h"
#include "control/ClockHour.h"
#include "control/ClockWatch.h"
#include "control/Coverage.h"
#include "control/FreeSpacePolicy.h"
#include "control/PreparedFile.h"
#include "control/RecordingLog.h"
#include "control/RetryPolicy.h"
#include "control/StartAttempt.h"
#include "control/StatusText.h"
#include "control/Trouble.h"
#include "control/TroubleTracker.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>

struct TCutDone;
struct TFileTimes;
struct TRecorderSnapshot;
class TConfig;
class TLogData;
class TRecorder;

// How much the information line's text weighs. The controller owns the status lines; others
// (the retention rules, the events journal, the alert command, the start-up repair) hand it
// notices. A notice never replaces trouble: a lost capture and its retry, a failed start, a
// failing write, a full volume or a log that falls behind stay up until the controller's next
// state line (a recording that runs again, the next hour) replaces them.
enum class TInfoWeight { Notice, Trouble };

// What the main window (or the windowless mode) shows of the controller.
struct TControlStatus {
    // The three status lines: file, information, source.
    QString FileText;
    QString InfoText;
    QString SourceText;
    TInfoWeight InfoWeight = TInfoWeight::Notice;
    // The format label: "Geen opname" or the running preset's name.
    QString FormatText;
    bool StartEnabled = true;
    bool StopEnabled = false;
    // Date, time and free space as the clock tick formats them.
    QString DateText;
    QString TimeText;
    QString FreeText;
    // The free space is below what one more hour of recording needs: drawn as a warning.
    bool FreeSpaceLow = false;
    // What keeps the wanted recording from being kept, once that has lasted more than one
    // tick (the capture died, or the file writes fail), or, from the first tick on and while
    // that recording runs, the audio it lost; empty while recording works.
    QString TroubleText;
};

// A change of settings made as one step: Apply puts the new values in place, Commit makes
// them last (saves the settings file), and Revert undoes Apply when Apply or Commit failed.
struct TSettingsChange {
    std::function<void()> Apply;
    std::function<void()> Commit;
    std::function<void()> Revert;
};

// Runs Apply and Commit; when either throws, runs Revert and throws on.
void RunSettingsChange(const TSettingsChange& Change);

// The recording controller: starts and stops recordings at hour boundaries as the weekly
// schedule says, by hand, and at start-up; numbers and names the files, logs every recording
// in the database the session holds (when there is one) and keeps the status the view draws. It
// owns the recorder.
//
// Every method runs on the thread of the event loop (with or without a window). The start-up
// and a retry open the device and start on a start thread, which the ticks take up; until
// then the controller touches the recorder only to set its silence level. Errors of the database
// and of the file layer are not caught: they end the operation and reach the caller (the standard
// error report).
class TRecordingController : public QObject {
    Q_OBJECT
public:
    // Works on Settings and on the database Data holds (empty: none open), which a hand-over
    // may replace; reads time from Clock, the passing of time from Elapsed (empty: the one that
    // goes with Clock) and free space from Probe.
    TRecordingController(TConfig& Settings, std::unique_ptr<TLogData>& Data,
                         TClock Clock = SystemNow, TFreeSpaceProbe Probe = VolumeFreeBytes,
                         TElapsedClock Elapsed = {});
    ~TRecordingController() override;

    // The start-up sequence after the database was opened: creates the recorder, repairs the
    // recordings an earlier run left cut short, takes the current hour as handled, and checks
    // the device and starts the scheduled recording of that hour (when there is one and
    // automatic recording is on) on a thread of its own, retrying it while the device does
    // not answer; then ticks once. When the device answers at once, its texts and recording
    // are there on return, else a later tick takes them up. A file error of that start is
    // thrown by the tick that takes it up.
    void Startup();
    // Before Startup: this run records nothing at all (another copy records in this folder).
    // Reason stays in the information line and answers the menu's start; the clock, the free
    // space and the log keep working.
    void RecordNothing(const QString& Reason) { FRecordsNothing = Reason; }
    bool RecordsNothing() const { return !FRecordsNothing.isEmpty(); }
    // The end of the run: stops a running recording (its duration is logged) and releases the
    // recorder, the capture device and the sound library. Ticks do nothing afterwards.
    void Shutdown();

    // The clock tick, four times a second: date, time, free space, a failed write, the hour
    // rule, a capture that died (stopped and logged at once, then retried every
    // RetrySeconds within the hour), the trouble status, and log writes the database refused
    // (tried again every RetrySeconds).
    void TimerClockTimer();
    // The hour rule: at the first tick in another clock hour than the last one acted on (at
    // the hour, or after the clock stepped or the machine slept across it), the running
    // recording stops and the hour's scheduled one starts. A scheduled start that fails is
    // retried within the hour; on a volume with almost no room left, once room is made.
    void CheckHourTrigger(const QDateTime& Moment, int64_t FreeBytes);
    bool FindScheduledPreset(const QDateTime& Moment, TPreset& P);
    // Free space for recordings on the root folder's volume (or on the volume of its nearest
    // existing parent) in bytes; -1 when it cannot be read.
    int64_t FreeSpaceBytes() const;
    // FreeSpaceBytes as the tick at Moment needs it: read anew once a second.
    int64_t FreeSpaceAt(const QDateTime& Moment);
    // The free space below which the operator is warned: one hour of the running preset, and
    // never less than 1 GiB.
    int64_t FreeSpaceNeeded() const;
    static constexpr int RetrySeconds = TRetryPolicy::RetrySeconds;
    // The recording thread's cut at the next hour is prepared this long before it.
    static constexpr int CutLeadSeconds = 10;
    // A capture that brings no audio for this long counts as lost: stopped, logged and
    // retried. Shorter times without audio are trouble of their own.
    static constexpr double SilenceLostSeconds = 10;

    void StartRecording(const TPreset& P, const QDateTime& StartedAt, const QString& Source);
    void StopRecording();
    int32_t NextRecNumber(const QDateTime& Moment);
    void CheckDevice();
    // The controller's state lines; InfoText weighs as Weight.
    void SetStatus(const QString& FileText, const QString& InfoText, const QString& SourceText,
                   TInfoWeight Weight = TInfoWeight::Notice);
    // A notice in the information line, unless trouble stands there; the file and source lines
    // stay.
    void ShowInfo(const QString& Text);
    void UpdateRecordingState();

    // The menu's manual start and stop.
    void ManualStart();
    void ManualStop();

    // Whether a recording runs.
    bool IsRecording() const;
    // Whether a recording is wanted in this hour but its capture does not run (it died, or it
    // would not start): the controller retries it every RetrySeconds.
    bool RetryPending() const { return FRetry.has_value(); }
    // Whether the recording thread's cut at the next hour is prepared and not yet taken up.
    bool CutPending() const { return FHourCut.has_value(); }
    // Makes Change under a running recording (another capture device, another database) as
    // one step. The running recording's duration is logged where it was logged first; when
    // that fails, nothing changes, the recording goes on and the error propagates. Otherwise
    // the recording is stopped, Change is run, and the same preset starts again at once, for
    // the current moment, with the same source text (numbered and logged in the database then
    // in use). When Change fails it is reverted, the recording starts again as it was, and
    // the error propagates. A restart that does not start is retried within the hour.
    // Without a running recording only Change runs.
    void RestartRecording(const TSettingsChange& Change);

    bool DeviceOK() const { return FDeviceOK; }
    // The log ticket of the running recording; 0 when none runs.
    int64_t CurrentTicket() const { return FCurrentTicket; }
    // Log writes the database refused, kept and tried again.
    const TRecordingLog& Log() const { return FLog; }
    const TPreset& CurrentPreset() const { return FCurrentPreset; }
    const TControlStatus& Status() const { return FStatus; }
    // The recorder; null before Startup and after Shutdown.
    const TRecorder* Recorder() const { return FRecorder.get(); }
    // The free bytes on the recording volume as the tick last read them; -1 when unknown.
    int64_t LastFreeBytes() const { return FLastFreeBytes; }
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
    // The trouble text or the low free space flag changed.
    void TroubleChanged();
    // Trouble of a kind began, or the trouble of that kind ended; decided in one place, at
    // the clock tick, after the status shows it.
    void TroubleBegan(const TTrouble& Trouble);
    void TroubleEnded(const TTrouble& Trouble);
    // The start-up repaired what an earlier run left cut short, or failed to: the text the
    // information line shows.
    void Repaired(const QString& Text);
    // A recording started (its file, preset and source), or stopped (with the length logged).
    void RecordingStarted(const TRecordingEvent& Recording);
    void RecordingStopped(const TRecordingEvent& Recording);
    // The wall clock stepped between two ticks.
    void ClockStepped(const TClockStep& Step);
    // An hour ended and its coverage was read from the log: emitted once per clock hour the
    // program saw end.
    void HourAccounted(const TCoverageHour& Hour);

private:
    // StartRecording without the status of a failure: true when the recording runs. FullPath
    // is set to the file it records into (or tried to).
    bool BeginRecording(const TPreset& P, const QDateTime& StartedAt, const QString& Source,
                        QString& FullPath);
    void ShowWriteError(const TRecorderSnapshot& Recorded);
    // StopRecording for the automatic paths: an error of logging the duration is handed back
    // instead of thrown, so that what follows the stop (the next start, the retry) still
    // happens; the caller throws it afterwards.
    std::exception_ptr StopRecordingKeepingError();
    // StartRecording for the scheduled starts: a file error is handed back instead of thrown,
    // so that the caller can plan the retry first.
    std::exception_ptr StartRecordingKeepingFileError(const TPreset& P, const QDateTime& StartedAt,
                                                      const QString& Source);
    // Whole seconds since the running recording started, by the passing of time (a step of
    // the wall clock does not count).
    int64_t ElapsedSeconds() const;
    // In the last minute of an hour, reads the next hour's schedule cell ahead, so that a
    // database another program holds at the hour does not keep that hour from being recorded.
    void ReadNextHourAhead(const QDateTime& Moment);
    // Tries the log writes the database refused, every RetrySeconds; tells the information
    // line when the log falls behind and when it caught up.
    void FlushLog(const QDateTime& Moment);
    // In the last CutLeadSeconds of an hour, prepares the recording thread's cut at the next
    // hour: into the next hour's scheduled recording when it captures as the running one does,
    // else the file just ends there. The recording thread then never waits for the database
    // or the schedule at the hour.
    void PrepareHourCut(const QDateTime& Moment);
    enum class TCutOutcome { Waiting, WentOn, Ended, TakenBack };
    // At a tick of the hour the cut was prepared for: takes the cut up once the recording thread
    // made it; takes it back when its audio will not come.
    TCutOutcome SettleHourCut(const QDateTime& Moment, const TClockHour& Hour);
    // Logs the file the cut ended and the one it began.
    void CompleteHourCut(const TCutDone& Done, const QDateTime& Moment);
    // Audio stopped coming into a file at From, because of Cause: the gap is logged until a
    // recording starts again. A gap already open keeps its cause.
    void OpenGap(const QDateTime& From, TGapCause Cause);
    // Ends the open gap once the running recording's first audio came in.
    void CloseGapWhenAudioCame();
    // Watches the wall clock: a step is an event, and inside a running recording's audio a
    // step forward is a gap.
    void WatchClock();
    // Some seconds after an hour ended, once its rows are written: reads its coverage, tells
    // it, and raises the trouble of an hour with too much missing.
    void AccountEndedHour(const QDateTime& Moment);
    // Logs the audio the capture dropped since the last tick as a gap.
    void NoteDroppedAudio(const QDateTime& Moment, const TRecorderSnapshot& Recorded);
    // The audio times of the file the recorder completed last, or of Times.
    TAudioTimes ExactTimes(const TFileTimes& Times) const;
    // Stops and logs a recording whose capture died, and schedules its retry.
    void CheckCapture(const QDateTime& Moment, const TRecorderSnapshot& Recorded);
    // Stops and logs a recording whose writes failed on a volume that is (nearly) full, and
    // schedules its retry for when room is made again.
    void CheckVolumeFull(const QDateTime& Moment, int64_t FreeBytes,
                         const TRecorderSnapshot& Recorded);
    void RetryRecording(const QDateTime& Moment, int64_t FreeBytes);
    // Stops and logs the running recording, plans its retry and shows InfoText in its place;
    // an error of logging the duration is thrown last.
    void StopForRetry(const QDateTime& Moment, int64_t AwaitFreeBytes, const QString& InfoText,
                      TGapCause Cause);
    // Remembers P and Source to be retried within the hour of Moment, once AwaitFreeBytes are
    // free (0: at once).
    void PlanRetry(const TPreset& P, const QString& Source, const QDateTime& Moment,
                   int64_t AwaitFreeBytes);
    void CheckFreeSpace(int64_t FreeBytes);
    // Works out the trouble in force, updates the status and raises the events of the kinds
    // that ended or began.
    void UpdateTrouble(const QDateTime& Moment, const TRecorderSnapshot& Recorded);

    // A start wanted: what it records, from when, why, and under which number.
    struct TWantedStart {
        TPreset Preset;
        QDateTime StartedAt;
        QString Source;
        int32_t Number = 0;
    };
    // What the start-up adds to its start: whether a recording is scheduled (else only the
    // device is opened), and the repair's text.
    struct TStartupStart {
        bool Scheduled = false;
        QString Repaired;
    };
    // A start running on a thread of its own: a retry's, or the start-up's.
    struct TPendingStart {
        TWantedStart Wanted;
        std::future<TStartAttempt> Result;
        std::optional<TStartupStart> Startup;
    };
    // How long a tick (or the start-up) waits for a start before it takes the result up later.
    static constexpr std::chrono::milliseconds StartWait{200};
    // Logs and shows a start that ran; throws its file error; false when it did not start.
    bool CompleteStart(const TStartAttempt& Attempt, const TWantedStart& Wanted);
    // The start-up's texts, its recording (or the retry of it) and the repair's text, once
    // its device check and start came back; a file error is kept for the tick to throw.
    void FinishStartup(const TStartAttempt& Attempt, const TWantedStart& Wanted,
                       const TStartupStart& Startup);
    // Takes up the pending start once it is done, waiting up to Wait for it.
    void FinishPendingStart(std::chrono::milliseconds Wait);
    // Everything else that uses the recorder waits for a pending start first.
    void WaitForPendingStart();
    // Repairs what an earlier run left cut short and returns the information line's text.
    QString RepairInterrupted();

    TConfig& FSettings;
    std::unique_ptr<TLogData>& FData;
    TClock FClock;
    TElapsedClock FElapsed;
    TFreeSpaceProbe FProbe;
    TRecordingLog FLog;
    QDateTime FLogTried; // when kept log writes were last tried
    QString FShownLogError;
    int64_t FLastFreeBytes = -1;
    QDateTime FFreeSpaceRead; // when FLastFreeBytes was read
    std::unique_ptr<TRecorder> FRecorder;
    int64_t FCurrentTicket = 0;
    int64_t FStartedElapsed = 0; // the elapsed clock at the running recording's start
    TPreset FCurrentPreset;
    QString FCurrentSource;
    bool FDeviceOK = false;
    // The clock hour the hour rule last acted on (or the start-up took as handled).
    std::optional<TClockHour> FHandledHour;
    QString FShownWriteError;
    // The schedule's cells (day of the week, hour) as last read, with their presets.
    std::map<std::pair<int, int>, std::optional<TPreset>> FScheduleRead;
    std::optional<TClockHour> FReadAhead;
    QString FRecordsNothing;
    // Why the last start could not make its file or folder; empty once a recording runs.
    QString FStartFileError;
    std::optional<TRetryPolicy> FRetry;
    std::optional<TPendingStart> FPendingStart;
    // A file error of the start-up's start, thrown by the tick that took it up.
    std::exception_ptr FStartupError;
    TTroubleTracker FTroubles;
    bool FFreeSpaceWarned = false;
    // The cut prepared for the next hour: the hour it begins, its first moment, and the
    // recording that goes on from it (none: the file ends there).
    struct THourCut {
        TClockHour Hour;
        QDateTime At;
        std::optional<TWantedStart> Next;
        QString FileName;
        QString FullPath;
    };
    std::optional<THourCut> FHourCut;
    // Notes the next hour's file while it is made ahead and not yet logged.
    TPreparedFile FPreparedFile;
    // The cut is taken up or taken back: nothing is prepared any more.
    void ForgetHourCut();
    // When the audio of the file completed last ended; invalid before the first.
    QDateTime FLastAudioEnd;
    // The log ticket of the gap that lasts, 0 when none; whether a recording runs that ends it
    // once its first audio came.
    int64_t FOpenGap = 0;
    bool FGapEndsWithAudio = false;
    // The audio the running capture had dropped at the last tick, in seconds.
    double FDroppedSeen = 0;
    TClockWatch FClockWatch;
    // The kernel's clock status at the running recording's start.
    std::optional<TClockStatus> FClockAtStart;
    // The first moment of the clock hour that ended last and is still to be accounted for.
    std::optional<QDateTime> FHourToAccount;
    TControlStatus FStatus;
};
