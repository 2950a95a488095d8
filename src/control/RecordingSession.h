#pragma once

#include "base/uClock.h"
#include "base/uConfig.h"
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
#include <functional>
#include <memory>

class TLogData;

// The settings the operator changes in the settings dialog.
struct TRunSettings {
    QString RootFolder;
    QString DatabasePath;
    bool AutoRecord = true;
    TAlarmSettings Alarm;
    TRetentionSettings Retention;
};

// Whether two database paths name the same database: the same text, or the same existing
// file. Letter case counts, as it does for the file system.
bool SameDatabase(const QString& A, const QString& B);

// Whether the operator lets new settings go on, asked with the database in use after the
// change (Data).
using TConfirmSettings = std::function<bool(TLogData& Data)>;

// One run of the recorder, the same under the window and without one: it owns the database
// the settings name (the views and dialogs get it from here), the recording controller and its
// clock tick, and runs the start-up, the shutdown and the hand-overs to another capture device or
// another database. Trouble that begins or ends runs the alert command and goes into the events
// log; the retention rules and the metrics ([Metrics] Listen) follow the same tick. The views show
// the controller's status and events and forward the operator's commands; nothing else.
//
// Everything runs on the user-interface thread. An error of a tick reaches the application's
// error trap (the error box, or standard error without a window).
class TRecordingSession : public QObject {
    Q_OBJECT
public:
    // Works on Settings (the program's Config); no database is open before Start.
    explicit TRecordingSession(TConfig& Settings, TClock Clock = SystemNow,
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
    // The settings New from now on, as one step. Another database file is opened first; when
    // it cannot be, nothing changes and the engine's error propagates. Confirm is then asked
    // with the database in use after the change; when it says no, nothing changes and false
    // is returned. A running recording is logged in the old database and goes on, under a
    // new row, in the new one; the old database is closed only after the settings file was
    // written. On any failure the settings, the settings file and the database stay as they
    // were, a stopped recording starts again, and the error propagates.
    bool ApplySettings(const TRunSettings& New, const TConfirmSettings& Confirm = {});
    // The settings ApplySettings changes, as they are now.
    TRunSettings Settings() const;
    // Opens the database the settings name; the engine's message when that fails (no database
    // is open then, and the run goes on without one). Start does this; a change under a
    // running session goes through ApplySettings.
    QString OpenDatabase();
    // The database of this run; null when none is open.
    TLogData* Data() const { return FData.get(); }

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
    // Declared before the controller, the journal and the retention rules, which hold on to
    // it: they go before it does.
    std::unique_ptr<TLogData> FData;
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
