#include "control/RecordingController.h"

#include "app/uConfig.h"
#include "audio/uRecorder.h"
#include "control/RegionalText.h"
#include "data/uData.h"
#include "soundlib/bass.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <filesystem>
#include <system_error>

namespace {

const QString ReadyText = QStringLiteral("Klaar.");
const QString WaitClockText = QStringLiteral("Wachten op interne klok...");
const QString NothingScheduledText = QStringLiteral("Geen opname gepland voor dit uur.");
const QString WaitNextHourText = QStringLiteral("Wachten op volgende geplande uur...");
const QString StoppedText = QStringLiteral("Opname gestopt.");
const QString NoDeviceText = QStringLiteral("Geen opname-apparaat beschikbaar.");
const QString ChooseDeviceText =
    QStringLiteral("Kies een apparaat via Instellingen > Opname-apparaat.");

// Moments are read on the local clock, as the log stores them, whatever zone they carry.
QDate LocalDate(const QDateTime& Moment) {
    return Moment.toLocalTime().date();
}

int LocalHour(const QDateTime& Moment) {
    return Moment.toLocalTime().time().hour();
}

QString WithDelimiter(const QString& Folder) {
    return Folder.endsWith(u'/') ? Folder : Folder + u'/';
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
    FRecorder = std::make_unique<TRecorder>(FClock);
    CheckDevice();
    // Without a device the check's own texts stay up: they tell the operator what to do.
    if (FDeviceOK)
        SetStatus(QString(), LogData ? ReadyText : ControlText::NoDatabase, WaitClockText);
    UpdateRecordingState();
    const QDateTime Now = FClock();
    FLastTriggerHour = LocalHour(Now);
    TPreset P;
    if (FDeviceOK && Config->AutoRecord() && FindScheduledPreset(Now, P))
        StartRecording(P, Now, ControlText::ByClock);
    TimerClockTimer();
}

void TRecordingController::Shutdown() {
    if (!FRecorder)
        return;
    StopRecording();
    FRecorder.reset();
}

void TRecordingController::TimerClockTimer() {
    if (!FRecorder)
        return;
    const QDateTime T = FClock();
    const QDateTime Local = T.toLocalTime();
    FStatus.DateText = DateDisplayText(Local.date());
    FStatus.TimeText = TimeDisplayText(Local.time());
    FStatus.FreeText = QStringLiteral("Vrije Schijfruimte : ") + GroupedNumber(FreeSpaceMB()) +
                       QStringLiteral(" Mb");
    emit ClockChanged();
    ShowWriteError();
    CheckHourTrigger(T);
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

void TRecordingController::CheckHourTrigger(const QDateTime& Moment) {
    const QTime Time = Moment.toLocalTime().time();
    if (Time.minute() != 0 || Time.hour() == FLastTriggerHour)
        return;
    FLastTriggerHour = Time.hour();
    StopRecording();
    TPreset P;
    if (Config->AutoRecord() && FindScheduledPreset(Moment, P)) {
        StartRecording(P, Moment, ControlText::ByClock);
        return;
    }
    SetStatus(QString(), LogData ? NothingScheduledText : ControlText::NoDatabase,
              WaitNextHourText);
}

bool TRecordingController::FindScheduledPreset(const QDateTime& Moment, TPreset& P) {
    if (!LogData)
        return false;
    const int32_t Id = LogData->GetSchedulePreset(LocalDate(Moment).dayOfWeek(), LocalHour(Moment));
    if (Id == 0)
        return false;
    return LogData->GetPreset(Id, P);
}

int64_t TRecordingController::FreeSpaceMB() const {
    std::error_code Error;
    const auto Space =
        std::filesystem::space(WithDelimiter(Config->RootFolder()).toStdString(), Error);
    if (Error)
        return 0;
    return static_cast<int64_t>(Space.available / 1048576);
}

void TRecordingController::StartRecording(const TPreset& P, const QDateTime& StartedAt,
                                          const QString& Source) {
    if (!FRecorder)
        return;
    if (!FDeviceOK)
        CheckDevice();
    if (!FDeviceOK)
        return;
    StopRecording();
    const int32_t Number = NextRecNumber(StartedAt);
    const QString Folder = RecordingFolder(StartedAt);
    const QString FileName = FreeFileName(Folder, RecordingFileName(StartedAt, Number, P.Format));
    const QString FullPath = Folder + FileName;
    FShownWriteError.clear();
    if (!FRecorder->Start(P, FullPath)) {
        // The name was free a moment ago: what lies there now is the failed start's own
        // empty file. Removing it lets the retry use the same name.
        QFile::remove(FullPath);
        SetStatus(
            FullPath,
            QStringLiteral("Kon opname niet starten (BASS fout %1).").arg(BASS_ErrorGetCode()),
            Source);
        return;
    }
    FCurrentPreset = P;
    FCurrentSource = Source;
    if (LogData)
        FCurrentRecId = LogData->LogRecording(P, StartedAt, Number, FileName, FullPath);
    SetStatus(FullPath, FormatLine(P), Source);
    UpdateRecordingState();
}

void TRecordingController::StopRecording() {
    if (!IsRecording())
        return;
    if (FCurrentRecId != 0 && LogData) {
        const qint64 Msecs = std::abs(FRecorder->StartedAt().msecsTo(FClock()));
        LogData->SetRecordingDuration(FCurrentRecId, static_cast<int32_t>(Msecs / 1000));
    }
    FRecorder->Stop();
    FCurrentRecId = 0;
    UpdateRecordingState();
}

int32_t TRecordingController::NextRecNumber(const QDateTime& Moment) {
    if (!LogData)
        return 1;
    QSqlQuery Query(LogData->Connection());
    Query.prepare(
        QStringLiteral("SELECT COUNT(*) FROM recordings WHERE rec_date=:d AND rec_hour=:h"));
    Query.bindValue(QStringLiteral(":d"), DateText(Moment));
    Query.bindValue(QStringLiteral(":h"), LocalHour(Moment));
    if (!Query.exec() || !Query.next()) {
        const QSqlError Error = Query.lastError();
        const QString Text =
            Error.databaseText().isEmpty() ? Error.driverText() : Error.databaseText();
        throw EDatabaseError(Text.toStdString());
    }
    return std::min<int32_t>(Query.value(0).toInt() + 1, 9);
}

QString TRecordingController::RecordingFolder(const QDateTime& Moment) const {
    const QDate D = LocalDate(Moment);
    return WithDelimiter(Config->RootFolder()) +
           QString::asprintf("%04d/%02d/%02d/", D.year(), D.month(), D.day());
}

QString TRecordingController::RecordingFileName(const QDateTime& Moment, int32_t Number,
                                                TAudioFormat Format) {
    const QDate D = LocalDate(Moment);
    return QString::asprintf("%02d%02d%04d%02d%d", D.day(), D.month(), D.year(), LocalHour(Moment),
                             Number) +
           FormatToExt(Format);
}

QString TRecordingController::FreeFileName(const QString& Folder, const QString& FileName) {
    const auto Taken = [&](const QString& Name) {
        const QFileInfo Info(Folder + Name);
        return Info.exists() || Info.isSymLink();
    };
    if (!Taken(FileName))
        return FileName;
    const qsizetype Dot = FileName.lastIndexOf(u'.');
    const QString Stem = FileName.left(Dot);
    const QString Extension = FileName.mid(Dot);
    for (int N = 2;; ++N) {
        const QString Candidate = QStringLiteral("%1_%2%3").arg(Stem).arg(N).arg(Extension);
        if (!Taken(Candidate))
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
    SetStatus(QString(), StoppedText, WaitClockText);
}

bool TRecordingController::IsRecording() const {
    return FRecorder && FRecorder->State() == rsRecording;
}

void TRecordingController::RestartRecording(const std::function<void()>& Change) {
    const bool WasRecording = IsRecording();
    const TPreset P = FCurrentPreset;
    const QString Source = FCurrentSource;
    StopRecording();
    Change();
    if (WasRecording && FDeviceOK)
        StartRecording(P, FClock(), Source);
}

bool TRecordingController::GetLevels(float& L, float& R) const {
    if (!FRecorder) {
        L = R = 0.0f;
        return false;
    }
    return FRecorder->GetLevels(L, R);
}
