#include "control/RecordingSession.h"

#include "audio/uRecorder.h"
#include "base/SystemReason.h"
#include "base/uConfig.h"
#include "control/StatusText.h"
#include "data/uData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

// Why recordings cannot be made in Root (created when missing); empty when they can.
QString RecordingsFolderProblem(const QString& Root) {
    const QByteArray Path = QFile::encodeName(Root);
    std::error_code Made;
    std::filesystem::create_directories(Path.toStdString(), Made);
    if (Made)
        return QStringLiteral("De opnamemap %1 kan niet worden gemaakt: %2")
            .arg(Root, SystemReasonText(Made.value()));
    if (::access(Path.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("In de opnamemap %1 kan niet worden geschreven: %2")
            .arg(Root, SystemReasonText(errno));
    return {};
}

} // namespace

bool SameDatabase(const QString& A, const QString& B) {
    if (A == B)
        return true;
    const QFileInfo InfoA(A);
    const QFileInfo InfoB(B);
    return InfoA.exists() && InfoB.exists() &&
           InfoA.canonicalFilePath() == InfoB.canonicalFilePath();
}

QString TRecordingSession::OpenDatabase() {
    FData.reset();
    try {
        FData = std::make_unique<TLogData>(FSettings.DatabasePath());
    } catch (const std::exception& E) {
        return QString::fromUtf8(E.what());
    }
    return {};
}

TRecordingSession::TRecordingSession(TConfig& Settings, TClock Clock, TFreeSpaceProbe Probe,
                                     std::chrono::milliseconds AlertTimeLimit)
    : FSettings(Settings), FController(Settings, FData, Clock, Probe), FJournal(FData, Clock),
      FAlertCommand(AlertTimeLimit), FRetention(Settings, FData, Clock, std::move(Probe)),
      // The instance is the name of the data folder: one per input on a machine.
      FMetrics(FController, QFileInfo(Settings.IniPath()).absoluteDir().dirName()),
      FFolderLock(QFileInfo(Settings.IniPath()).absolutePath()) {
    FTick.setInterval(TickMilliseconds);
    connect(&FTick, &QTimer::timeout, this, &TRecordingSession::Tick);
    connect(&FRetention, &TRetentionScheduler::RunEnded, &FController,
            &TRecordingController::ShowInfo);
    connect(&FController, &TRecordingController::TroubleBegan, this,
            [this](const TTrouble& T) { Alert(T, true); });
    connect(&FController, &TRecordingController::TroubleEnded, this,
            [this](const TTrouble& T) { Alert(T, false); });
    connect(&FController, &TRecordingController::Repaired, &FJournal, &TEventJournal::Repaired);
    connect(&FController, &TRecordingController::ClockStepped, &FJournal,
            &TEventJournal::ClockStepped);
    connect(&FController, &TRecordingController::HourAccounted, &FMetrics,
            &TMetricsExporter::HourAccounted);
    connect(&FAlertCommand, &TAlertCommand::RunEnded, &FJournal,
            [this](const QString& Text) { FJournal.CommandRan(Text); });
    // A command that fails, or an events log that cannot be written, is told once in the
    // information line; recording goes on.
    connect(&FAlertCommand, &TAlertCommand::FailureToReport, &FController,
            &TRecordingController::ShowInfo);
    connect(&FJournal, &TEventJournal::WriteFailed, &FController, &TRecordingController::ShowInfo);
    connect(&FController, &TRecordingController::TroubleBegan, &FMetrics,
            &TMetricsExporter::TroubleBegan);
    connect(&FController, &TRecordingController::TroubleEnded, &FMetrics,
            &TMetricsExporter::TroubleEnded);
    connect(&FController, &TRecordingController::RecordingStarted, &FMetrics,
            [this](const TRecordingEvent& Recording) {
                FMetrics.RecordingStarted(Recording.FilePath);
            });
    connect(&FController, &TRecordingController::RecordingStopped, &FMetrics,
            &TMetricsExporter::RecordingStopped);
    connect(&FAlertCommand, &TAlertCommand::RunEnded, &FMetrics,
            [this](const QString&, bool Failed) { FMetrics.AlertCommandEnded(Failed); });
}

void TRecordingSession::Tick() {
    FController.TimerClockTimer();
    // The copy that records in this folder keeps its disk from filling.
    if (!FController.RecordsNothing())
        FRetention.Tick(RunningFile());
    FMetrics.Tick();
    emit Ticked();
}

bool TRecordingSession::CanRecord() const {
    return !FController.RecordsNothing() && FData && FRecordingsFolderUsable;
}

QString TRecordingSession::RunningFile() const {
    const TRecorder* Recorder = FController.Recorder();
    return FController.IsRecording() && Recorder ? Recorder->CurrentPath() : QString();
}

void TRecordingSession::Alert(const TTrouble& Trouble, bool Began) {
    if (Began)
        FJournal.TroubleBegan(Trouble);
    else
        FJournal.TroubleEnded(Trouble);
    FAlertCommand.Run(FSettings.Alarm().Command, Trouble, Began);
}

TRecordingSession::~TRecordingSession() {
    try {
        Shutdown();
    } catch (const std::exception&) {
        // Nobody is left to tell: the length stays 0 and the next start repairs it.
    }
}

QStringList TRecordingSession::Start() {
    QStringList Errors;
    if (!FFolderLock.TryLock()) {
        FController.RecordNothing(ControlText::OtherCopyRecords);
        Errors << ControlText::OtherCopyRecords;
    }
    // Without a database the run goes on: it records nothing by schedule and logs nothing,
    // and the status lines say so.
    if (const QString Error = OpenDatabase(); !Error.isEmpty())
        Errors << Error;
    const QString FolderError = RecordingsFolderProblem(FSettings.RootFolder());
    FRecordingsFolderUsable = FolderError.isEmpty();
    if (!FRecordingsFolderUsable)
        Errors << FolderError;
    FRunning = true;
    try {
        FController.Startup();
    } catch (const std::exception& E) {
        Errors << QString::fromUtf8(E.what());
    }
    // The copy that records in this folder keeps its disk from filling and serves its metrics.
    if (!FController.RecordsNothing()) {
        FRetention.Tick(RunningFile());
        if (!FSettings.MetricsListen().isEmpty())
            if (const QString Error = FMetrics.Start(FSettings.MetricsListen()); !Error.isEmpty())
                Errors << Error;
    }
    FTick.start();
    return Errors;
}

void TRecordingSession::Shutdown() {
    if (!FRunning)
        return;
    FRunning = false;
    FTick.stop();
    // The recording is finished first; a retention run stops after the file it is at.
    FRetention.RequestStop();
    std::exception_ptr Error;
    try {
        FController.Shutdown();
    } catch (...) {
        Error = std::current_exception();
    }
    FRetention.Finish();
    FData.reset();
    if (Error)
        std::rethrow_exception(Error);
}

void TRecordingSession::ChangeDevice(int32_t Device) {
    const int32_t Previous = FSettings.RecordDevice();
    // A running recording moves to the chosen device at once: it is stopped and logged, and
    // the same preset starts again on the reopened device.
    FController.RestartRecording({[this, Device] {
                                      FSettings.SetRecordDevice(Device);
                                      FController.CheckDevice();
                                  },
                                  [this] { FSettings.Save(); },
                                  [this, Previous] {
                                      FSettings.SetRecordDevice(Previous);
                                      FController.CheckDevice();
                                  }});
}

TRunSettings TRecordingSession::Settings() const {
    return {FSettings.RootFolder(), FSettings.DatabasePath(), FSettings.AutoRecord(),
            FSettings.Alarm(), FSettings.Retention()};
}

bool TRecordingSession::ApplySettings(const TRunSettings& New, const TConfirmSettings& Confirm) {
    // The new database is opened before anything changes, so a file that cannot be opened
    // leaves the database in use, the settings and the settings file as they were.
    std::unique_ptr<TLogData> NewData;
    if (!FData || !SameDatabase(New.DatabasePath, FSettings.DatabasePath()))
        NewData = std::make_unique<TLogData>(New.DatabasePath);
    if (Confirm && !Confirm(NewData ? *NewData : *FData))
        return false;
    const TRunSettings Old = Settings();
    const auto Put = [this](const TRunSettings& Values) {
        FSettings.SetRootFolder(Values.RootFolder);
        FSettings.SetDatabasePath(Values.DatabasePath);
        FSettings.SetAutoRecord(Values.AutoRecord);
        FSettings.SetAlarm(Values.Alarm);
        FSettings.SetRetention(Values.Retention);
    };
    // The database in use stays open until the settings file names the new one.
    std::unique_ptr<TLogData> Previous;
    bool Switched = false;
    const TSettingsChange Change{[&] {
                                     Put(New);
                                     if (NewData) {
                                         Previous = std::exchange(FData, std::move(NewData));
                                         Switched = true;
                                     }
                                 },
                                 [this] { FSettings.Save(); },
                                 [&] {
                                     Put(Old);
                                     if (Switched) {
                                         FData = std::move(Previous);
                                         Switched = false;
                                     }
                                 }};
    // A recording running while the database changes is logged in the old one and goes on,
    // under a new row, in the new one.
    if (NewData)
        FController.RestartRecording(Change);
    else
        RunSettingsChange(Change);
    return true;
}
