#pragma once

#include "base/uClock.h"
#include "control/AlertCommand.h"
#include "control/EventJournal.h"
#include "control/FolderLock.h"
#include "control/FreeSpacePolicy.h"
#include "control/MetricsExporter.h"
#include "control/RecordingController.h"
#include "control/RetentionScheduler.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>

class TConfig;
class TLogData;

// Opens the database Settings names into Data; the engine's message when that fails (Data is
// then empty and the run goes on without a database).
QString OpenDatabase(const TConfig& Settings, std::unique_ptr<TLogData>& Data);

// One run of the recorder, the same under the window and without one: it opens the database
// the settings name, owns the recording controller and its clock tick, and runs the start-up,
// the shutdown and the hand-overs to another capture device or another database. Trouble
// that begins or ends runs the alert command and goes into the events log; the retention
// rules and the metrics ([Metrics] Listen) follow the same tick. The views
// show the controller's status and events and forward the operator's commands; nothing else.
//
// Everything runs on the user-interface thread. An error of a tick reaches the application's
// error trap (the error box, or standard error without a window).
class TRecordingSession : public QObject {
    Q_OBJECT
public:
    // Works on Settings and on the database slot Data (the program's Config and LogData).
    TRecordingSession(TConfig& Settings, std::unique_ptr<TLogData>& Data, TClock Clock = SystemNow,
                      TFreeSpaceProbe Probe = VolumeFreeBytes,
                      std::chrono::milliseconds AlertTimeLimit = std::chrono::seconds(30));
    // Shuts down when that was not done.
    ~TRecordingSession() override;

    static constexpr int TickMilliseconds = 250;

    // Claims the data folder, opens the database, checks the recordings folder, runs the
    // controller's start-up and starts the clock tick. Returns the errors to report (another
    // copy records in this folder, a database that would not open, a recordings folder that
    // cannot be used, a failed start-up), in that order; the run goes on either way.
    QStringList Start();
    // Whether this run can record: it holds the data folder, and its database and recordings
    // folder could be used at the start.
    bool CanRecord() const;
    // Stops the tick and a running recording (its duration is logged), waits for a retention
    // run, releases the recorder and then the database. An error of logging the duration propagates
    // after all of it.
    void Shutdown();

    // The capture device Device from now on, as one step: settings file written only after
    // the switch; on any failure the device, the settings and the database stay as they
    // were, a stopped recording starts again, and the error propagates.
    void ChangeDevice(int32_t Device);
    // Another database (or other settings) under a running recording, by the same rules.
    void HandOver(const TSettingsChange& Change);

    TRecordingController& Controller() { return FController; }
    // The recording being written; empty when none.
    QString RunningFile() const;

signals:
    // A clock tick has run to its end.
    void Ticked();

private:
    // Runs the alert command for Trouble and logs it as an event.
    void Alert(const TTrouble& Trouble, bool Began);
    // The clock tick: the controller's, then the retention rules'.
    void Tick();

    TConfig& FSettings;
    std::unique_ptr<TLogData>& FData;
    TRecordingController FController;
    TEventJournal FJournal;
    TAlertCommand FAlertCommand;
    TRetentionScheduler FRetention;
    TMetricsExporter FMetrics;
    QTimer FTick;
    TFolderLock FFolderLock;
    bool FRecordingsFolderUsable = false;
    bool FRunning = false;
};
