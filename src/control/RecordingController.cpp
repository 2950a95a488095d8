#include "control/RecordingController.h"

#include "audio/FileRepair.h"
#include "audio/uRecorder.h"
#include "base/RegionalText.h"
#include "base/uConfig.h"
#include "control/RecordingRepair.h"
#include "data/uData.h"
#include "soundlib/bass.h"

#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

namespace {

const QString ReadyText = QStringLiteral("Klaar.");
const QString WaitClockText = QStringLiteral("Wachten op interne klok...");
const QString NothingScheduledText = QStringLiteral("Geen opname gepland voor dit uur.");
const QString WaitNextHourText = QStringLiteral("Wachten op volgende geplande uur...");
const QString StoppedText = QStringLiteral("Opname gestopt.");
const QString NoDeviceText = QStringLiteral("Geen opname-apparaat beschikbaar.");
const QString ChooseDeviceText =
    QStringLiteral("Kies een apparaat via Instellingen > Opname-apparaat.");

constexpr int64_t OneGiB = int64_t{1} << 30;
constexpr int64_t OneMiB = int64_t{1} << 20;
// After the volume filled up, a new recording waits until this much more is free than when
// the writes failed.
constexpr int64_t ResumeFreeBytes = 64 * OneMiB;

QString MegabyteText(int64_t Bytes) {
    return GroupedNumber(Bytes / OneMiB) + QStringLiteral(" Mb");
}

QString ClockText(const QDateTime& Moment) {
    return TimeDisplayText(Moment.toLocalTime().time());
}

QDateTime HourStart(const QDateTime& Moment) {
    const QDateTime Local = Moment.toLocalTime();
    return QDateTime(Local.date(), QTime(Local.time().hour(), 0));
}

// The bytes one hour of P writes.
int64_t HourBytes(const TPreset& P) {
    if (IsEncodedFormat(P.Format))
        return int64_t{P.Bitrate} * 1000 / 8 * 3600;
    return int64_t{P.SampleRate} * P.Channels * 2 * 3600;
}

// Moments are read on the local clock, as the log stores them, whatever zone they carry.
QDate LocalDate(const QDateTime& Moment) {
    return Moment.toLocalTime().date();
}

int LocalHour(const QDateTime& Moment) {
    return Moment.toLocalTime().time().hour();
}

} // namespace

QString OpenLogData() {
    LogData.reset();
    try {
        LogData = std::make_unique<TLogData>(Config->DatabasePath());
    } catch (const std::exception& E) {
        return QString::fromUtf8(E.what());
    }
    return {};
}

TRecordingController::TRecordingController(TClock Clock, QObject* Parent)
    : QObject(Parent), FClock(std::move(Clock)) {
    FStatus.FormatText = ControlText::NoRecording;
}

TRecordingController::~TRecordingController() = default;

void TRecordingController::Startup() {
    FLastTriggerHour = -1;
    FCurrentRecId = 0;
    FRetry.reset();
    FRecorder = std::make_unique<TRecorder>(FClock);
    // Before anything of this run is recorded, so that its own file is never touched.
    const QString Repaired = RepairInterrupted();
    CheckDevice();
    // Without a device the check's own texts stay up: they tell the operator what to do.
    if (FDeviceOK)
        SetStatus(QString(), LogData ? ReadyText : ControlText::NoDatabase, WaitClockText);
    UpdateRecordingState();
    const QDateTime Now = FClock();
    FLastTriggerHour = LocalHour(Now);
    TPreset P;
    std::exception_ptr StartError;
    if (Config->AutoRecord() && FindScheduledPreset(Now, P)) {
        if (FDeviceOK)
            StartError = StartRecordingKeepingFileError(P, Now, ControlText::ByClock);
        if (!IsRecording())
            PlanRetry(P, ControlText::ByClock, Now, 0);
    }
    if (!Repaired.isEmpty())
        SetStatus(FStatus.FileText, Repaired, FStatus.SourceText);
    TimerClockTimer();
    if (StartError)
        std::rethrow_exception(StartError);
}

QString TRecordingController::RepairInterrupted() {
    if (!LogData)
        return {};
    QStringList Repaired;
    try {
        Repaired = RepairInterruptedRecordings(*LogData);
    } catch (const std::exception& E) {
        // A failed repair must not keep this run from recording.
        return QStringLiteral("Herstel van onderbroken opnamen mislukt: %1")
            .arg(QString::fromUtf8(E.what()));
    }
    QStringList Names;
    for (const QString& Path : Repaired)
        Names << QFileInfo(Path).fileName();
    if (Names.size() == 1)
        return QStringLiteral("Onderbroken opname hersteld: %1").arg(Names.first());
    if (Names.size() > 1)
        return QStringLiteral("%1 onderbroken opnamen hersteld: %2")
            .arg(Names.size())
            .arg(Names.join(QStringLiteral(", ")));
    return {};
}

void TRecordingController::Shutdown() {
    if (!FRecorder)
        return;
    StopRecording();
    FRetry.reset();
    FRecorder.reset();
}

void TRecordingController::TimerClockTimer() {
    if (!FRecorder)
        return;
    const QDateTime T = FClock();
    const QDateTime Local = T.toLocalTime();
    FStatus.DateText = DateDisplayText(Local.date());
    FStatus.TimeText = TimeDisplayText(Local.time());
    const int64_t FreeBytes = FreeSpaceBytes();
    FStatus.FreeText =
        QStringLiteral("Vrije Schijfruimte : ") + MegabyteText(std::max<int64_t>(FreeBytes, 0));
    emit ClockChanged();
    ShowWriteError();
    CheckHourTrigger(T, FreeBytes);
    CheckCapture(T);
    CheckVolumeFull(T, FreeBytes);
    RetryRecording(T, FreeBytes);
    CheckFreeSpace(FreeBytes);
    UpdateTrouble(T);
}

void TRecordingController::CheckCapture(const QDateTime& Moment) {
    if (!IsRecording() || FRecorder->CaptureAlive())
        return;
    StopForRetry(Moment, 0,
                 QStringLiteral("Apparaat weggevallen om %1, opname bewaard. Nieuwe poging elke "
                                "%2 seconden...")
                     .arg(ClockText(Moment))
                     .arg(RetrySeconds));
}

void TRecordingController::CheckVolumeFull(const QDateTime& Moment, int64_t FreeBytes) {
    // A write that failed with plenty of room left has another cause; that recording is kept
    // as it is until the hour ends, instead of being restarted into the same failure.
    if (!IsRecording() || FRecorder->WriteError().isEmpty() || FreeBytes < 0 ||
        FreeBytes >= FreeSpaceNeeded())
        return;
    const int64_t Awaited = FreeBytes + ResumeFreeBytes;
    StopForRetry(Moment, Awaited,
                 QStringLiteral("Schijf vol om %1, opname bewaard. Hervat zodra er %2 vrij is...")
                     .arg(ClockText(Moment), MegabyteText(Awaited)));
}

void TRecordingController::StopForRetry(const QDateTime& Moment, int64_t AwaitFreeBytes,
                                        const QString& InfoText) {
    const TPreset P = FCurrentPreset;
    const QString Source = FCurrentSource;
    const QString File = FStatus.FileText;
    const std::exception_ptr LogError = StopRecordingKeepingError();
    PlanRetry(P, Source, Moment, AwaitFreeBytes);
    SetStatus(File, InfoText, Source);
    if (LogError)
        std::rethrow_exception(LogError);
}

std::exception_ptr TRecordingController::StartRecordingKeepingFileError(const TPreset& P,
                                                                        const QDateTime& StartedAt,
                                                                        const QString& Source) {
    try {
        StartRecording(P, StartedAt, Source);
    } catch (const EFileError&) {
        return std::current_exception();
    }
    return nullptr;
}

std::exception_ptr TRecordingController::StopRecordingKeepingError() {
    try {
        StopRecording();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

void TRecordingController::PlanRetry(const TPreset& P, const QString& Source,
                                     const QDateTime& Moment, int64_t AwaitFreeBytes) {
    FRetry = TRetry{P, Source, HourStart(Moment), Moment.addSecs(RetrySeconds), AwaitFreeBytes};
}

void TRecordingController::RetryRecording(const QDateTime& Moment, int64_t FreeBytes) {
    if (!FRetry || IsRecording())
        return;
    if (HourStart(Moment) != FRetry->HourStart) {
        FRetry.reset();
        return;
    }
    if (Moment < FRetry->Next || FreeBytes < FRetry->AwaitFreeBytes)
        return;
    FRetry->Next = Moment.addSecs(RetrySeconds);
    // A device that was lost is opened afresh; the texts of the loss stay up meanwhile.
    if (!FDeviceOK)
        FDeviceOK = FRecorder->InitDevice(Config->RecordDevice());
    if (!FDeviceOK)
        return;
    const TRetry Wanted = *FRetry;
    try {
        QString FullPath;
        BeginRecording(Wanted.Preset, Moment, Wanted.Source, FullPath);
    } catch (const std::exception& E) {
        // A file error here would otherwise come back as an error box every few seconds.
        const QString Text = QString::fromUtf8(E.what());
        if (Text != FStatus.InfoText)
            SetStatus(FStatus.FileText, Text, Wanted.Source);
    }
}

void TRecordingController::CheckFreeSpace(int64_t FreeBytes) {
    const bool Low = FreeBytes >= 0 && FreeBytes < FreeSpaceNeeded();
    if (Low != FStatus.FreeSpaceLow) {
        FStatus.FreeSpaceLow = Low;
        emit TroubleChanged();
    }
    if (Low && !FFreeSpaceWarned && FStatus.TroubleText.isEmpty()) {
        FFreeSpaceWarned = true;
        SetStatus(
            FStatus.FileText,
            QStringLiteral("Let op: weinig schijfruimte, minder dan voor een uur opname (%1).")
                .arg(MegabyteText(FreeSpaceNeeded())),
            FStatus.SourceText);
    } else if (!Low && FFreeSpaceWarned) {
        FFreeSpaceWarned = false;
        if (IsRecording())
            SetStatus(FStatus.FileText, FormatLine(FCurrentPreset), FStatus.SourceText);
    }
}

void TRecordingController::UpdateTrouble(const QDateTime& Moment) {
    const bool Waiting = FRetry.has_value();
    const bool WritesFail = IsRecording() && !FRecorder->WriteError().isEmpty();
    const double LostSeconds = IsRecording() ? FRecorder->DroppedSeconds() : 0;
    if (LostSeconds <= 0)
        FAudioLostAt = QDateTime();
    else if (!FAudioLostAt.isValid())
        FAudioLostAt = Moment;
    if (!Waiting && !WritesFail) {
        FTroubleTicks = 0;
    } else if (FTroubleTicks++ == 0) {
        FTroubleSince = Moment;
    }
    QString Text;
    if (FTroubleTicks > 1) {
        const QString Since = ClockText(FTroubleSince);
        if (WritesFail)
            Text = QStringLiteral("Schrijven mislukt sinds %1").arg(Since);
        else if (FRetry->AwaitFreeBytes > 0)
            Text = QStringLiteral("Geen opname sinds %1: schijf vol").arg(Since);
        else
            Text = QStringLiteral("Geen opname sinds %1: geen geluid").arg(Since);
    } else if (FAudioLostAt.isValid()) {
        // Shown at once and for the rest of the recording: the gap stays in its file.
        Text = QStringLiteral("Audio verloren om %1: %2 s (schijf te traag)")
                   .arg(ClockText(FAudioLostAt))
                   .arg(static_cast<int64_t>(std::ceil(LostSeconds)));
    }
    if (Text == FStatus.TroubleText)
        return;
    FStatus.TroubleText = Text;
    emit TroubleChanged();
}

void TRecordingController::ShowWriteError() {
    if (!IsRecording())
        return;
    const QString Error = FRecorder->WriteError();
    if (Error.isEmpty() || Error == FShownWriteError)
        return;
    FShownWriteError = Error;
    SetStatus(FStatus.FileText, Error, FStatus.SourceText);
}

void TRecordingController::CheckHourTrigger(const QDateTime& Moment, int64_t FreeBytes) {
    const QTime Time = Moment.toLocalTime().time();
    if (Time.minute() != 0 || Time.hour() == FLastTriggerHour)
        return;
    FLastTriggerHour = Time.hour();
    const std::exception_ptr LogError = StopRecordingKeepingError();
    FRetry.reset();
    TPreset P;
    std::exception_ptr StartError;
    if (Config->AutoRecord() && FindScheduledPreset(Moment, P)) {
        StartError = StartRecordingKeepingFileError(P, Moment, ControlText::ByClock);
        // On a volume with almost no room left, the retry waits for room to be made.
        const bool NoRoom = FreeBytes >= 0 && FreeBytes < ResumeFreeBytes;
        if (!IsRecording())
            PlanRetry(P, ControlText::ByClock, Moment, NoRoom ? FreeBytes + ResumeFreeBytes : 0);
    } else {
        SetStatus(QString(), LogData ? NothingScheduledText : ControlText::NoDatabase,
                  WaitNextHourText);
    }
    if (StartError)
        std::rethrow_exception(StartError);
    if (LogError)
        std::rethrow_exception(LogError);
}

bool TRecordingController::FindScheduledPreset(const QDateTime& Moment, TPreset& P) {
    if (!LogData)
        return false;
    const int32_t Id = LogData->GetSchedulePreset(LocalDate(Moment).dayOfWeek(), LocalHour(Moment));
    if (Id == 0)
        return false;
    return LogData->GetPreset(Id, P);
}

int64_t TRecordingController::FreeSpaceBytes() const {
    // The root folder may not exist before the first recording creates it.
    std::filesystem::path Folder = Config->RootFolder().toStdString();
    std::error_code Error;
    while (!std::filesystem::exists(Folder, Error) && Folder.has_relative_path())
        Folder = Folder.parent_path();
    const auto Space = std::filesystem::space(Folder, Error);
    if (Error)
        return -1;
    return static_cast<int64_t>(Space.available);
}

int64_t TRecordingController::FreeSpaceNeeded() const {
    return std::max(IsRecording() ? HourBytes(FCurrentPreset) : 0, OneGiB);
}

void TRecordingController::StartRecording(const TPreset& P, const QDateTime& StartedAt,
                                          const QString& Source) {
    if (!FRecorder)
        return;
    if (!FDeviceOK)
        CheckDevice();
    if (!FDeviceOK)
        return;
    QString FullPath;
    if (!BeginRecording(P, StartedAt, Source, FullPath))
        SetStatus(
            FullPath,
            QStringLiteral("Kon opname niet starten (BASS fout %1).").arg(FRecorder->StartError()),
            Source);
}

bool TRecordingController::BeginRecording(const TPreset& P, const QDateTime& StartedAt,
                                          const QString& Source, QString& FullPath) {
    StopRecording();
    const int32_t Number = NextRecNumber(StartedAt);
    const QString Folder = RecordingFolder(StartedAt);
    const QString Wanted = RecordingFileName(StartedAt, Number, P.Format);
    FShownWriteError.clear();
    // Only a failed start's own empty file is removed, so that the retry can use its name.
    const auto RemoveEmptyFile = [this, &FullPath] {
        if (FRecorder->LeftEmptyFile())
            QFile::remove(FullPath);
    };
    // A file that appears after its name was found free is left alone: the next name is tried.
    QString FileName;
    bool Started = false;
    for (int Suffix = 1; !Started; ++Suffix) {
        FileName = FreeFileName(Folder, Wanted, Suffix);
        FullPath = Folder + FileName;
        try {
            Started = FRecorder->Start(P, FullPath);
        } catch (const EFileError&) {
            RemoveEmptyFile();
            throw;
        }
        if (!Started && !FRecorder->NameTaken()) {
            RemoveEmptyFile();
            return false;
        }
    }
    FRetry.reset();
    FFreeSpaceWarned = false;
    FCurrentPreset = P;
    FCurrentSource = Source;
    if (LogData)
        FCurrentRecId = LogData->LogRecording(P, StartedAt, Number, FileName, FullPath);
    SetStatus(FullPath, FormatLine(P), Source);
    UpdateRecordingState();
    return true;
}

void TRecordingController::StopRecording() {
    if (!IsRecording())
        return;
    const int64_t Seconds = ElapsedSeconds();
    const int32_t RecId = std::exchange(FCurrentRecId, 0);
    // The file is completed first: a failing log must not leave it open.
    FRecorder->Stop();
    UpdateRecordingState();
    if (RecId == 0 || !LogData)
        return;
    // After a failed write or lost audio the file holds less than the clock says; the log
    // tells what it holds.
    std::optional<int64_t> Kept;
    if (!FRecorder->WriteError().isEmpty() || FRecorder->DroppedSeconds() > 0)
        Kept = RecordedDurationSec(FRecorder->CurrentPath(), FCurrentPreset.Format);
    LogData->SetRecordingDuration(RecId,
                                  static_cast<int32_t>(std::min(Seconds, Kept.value_or(Seconds))));
}

int64_t TRecordingController::ElapsedSeconds() const {
    return std::abs(FRecorder->StartedAt().msecsTo(FClock())) / 1000;
}

int32_t TRecordingController::NextRecNumber(const QDateTime& Moment) {
    if (!LogData)
        return 1;
    return std::min<int32_t>(LogData->CountRecordingsInHour(Moment) + 1, 9);
}

QString TRecordingController::RecordingFolder(const QDateTime& Moment) const {
    const QDate D = LocalDate(Moment);
    return WithTrailingDelimiter(Config->RootFolder()) +
           QString::asprintf("%04d/%02d/%02d/", D.year(), D.month(), D.day());
}

QString TRecordingController::RecordingFileName(const QDateTime& Moment, int32_t Number,
                                                TAudioFormat Format) {
    const QDate D = LocalDate(Moment);
    return QString::asprintf("%02d%02d%04d%02d%d", D.day(), D.month(), D.year(), LocalHour(Moment),
                             Number) +
           FormatToExt(Format);
}

QString TRecordingController::FreeFileName(const QString& Folder, const QString& FileName,
                                           int& Suffix) {
    const qsizetype Dot = FileName.lastIndexOf(u'.');
    const QString Stem = FileName.left(Dot);
    const QString Extension = FileName.mid(Dot);
    for (;; ++Suffix) {
        const QString Candidate =
            Suffix <= 1 ? FileName : QStringLiteral("%1_%2%3").arg(Stem).arg(Suffix).arg(Extension);
        const QFileInfo Info(Folder + Candidate);
        if (!Info.exists() && !Info.isSymLink())
            return Candidate;
    }
}

QString TRecordingController::FormatLine(const TPreset& P) {
    const QString Channels = P.Channels == 2 ? QStringLiteral("Stereo") : QStringLiteral("Mono");
    if (IsEncodedFormat(P.Format))
        return QStringLiteral("%1 %2 Kbps, %3 Hz, %4")
            .arg(FormatToStr(P.Format))
            .arg(P.Bitrate)
            .arg(P.SampleRate)
            .arg(Channels);
    return QStringLiteral("WAV 16-bit, %1 Hz, %2").arg(P.SampleRate).arg(Channels);
}

void TRecordingController::CheckDevice() {
    if (!FRecorder)
        return;
    FDeviceOK = FRecorder->InitDevice(Config->RecordDevice());
    if (!FDeviceOK)
        SetStatus(QString(), NoDeviceText, ChooseDeviceText);
}

void TRecordingController::SetStatus(const QString& FileText, const QString& InfoText,
                                     const QString& SourceText) {
    FStatus.FileText = FileText;
    FStatus.InfoText = InfoText;
    FStatus.SourceText = SourceText;
    emit StatusLinesChanged();
}

void TRecordingController::UpdateRecordingState() {
    const bool Recording = IsRecording();
    FStatus.FormatText = Recording ? FCurrentPreset.Name : ControlText::NoRecording;
    FStatus.StartEnabled = !Recording;
    FStatus.StopEnabled = Recording;
    emit RecordingStateChanged();
}

void TRecordingController::ManualStart() {
    if (!FRecorder)
        return;
    const QDateTime T = FClock();
    TPreset P;
    if (!FindScheduledPreset(T, P)) {
        if (!LogData) {
            emit WarningRaised(ControlText::NoDatabasePresets);
            return;
        }
        TPresetList Presets;
        LogData->LoadPresets(Presets);
        if (Presets.isEmpty()) {
            emit WarningRaised(ControlText::NoPresets);
            return;
        }
        P = Presets.first();
    }
    StartRecording(P, T, ControlText::ByHand);
}

void TRecordingController::ManualStop() {
    StopRecording();
    FRetry.reset();
    SetStatus(QString(), StoppedText, WaitClockText);
}

bool TRecordingController::IsRecording() const {
    return FRecorder && FRecorder->State() == rsRecording;
}

void RunSettingsChange(const TSettingsChange& Change) {
    try {
        Change.Apply();
        Change.Commit();
    } catch (...) {
        Change.Revert();
        throw;
    }
}

void TRecordingController::RestartRecording(const TSettingsChange& Change) {
    if (!IsRecording()) {
        RunSettingsChange(Change);
        return;
    }
    const TPreset P = FCurrentPreset;
    const QString Source = FCurrentSource;
    // The database that logged the recording must take its length before anything stops:
    // when it refuses (locked, full), nothing has changed and the recording goes on.
    if (FCurrentRecId != 0 && LogData)
        LogData->SetRecordingDuration(FCurrentRecId, static_cast<int32_t>(ElapsedSeconds()));
    std::exception_ptr Error = StopRecordingKeepingError();
    if (!Error) {
        try {
            RunSettingsChange(Change);
        } catch (...) {
            Error = std::current_exception();
        }
    }
    // Under the new settings, or again under the old ones when the change failed.
    const QDateTime Now = FClock();
    try {
        if (FDeviceOK)
            StartRecording(P, Now, Source);
    } catch (...) {
        if (!Error)
            Error = std::current_exception();
    }
    if (!IsRecording())
        PlanRetry(P, Source, Now, 0);
    if (Error)
        std::rethrow_exception(Error);
}

bool TRecordingController::GetLevels(float& L, float& R) const {
    if (!FRecorder) {
        L = R = 0.0f;
        return false;
    }
    return FRecorder->GetLevels(L, R);
}
