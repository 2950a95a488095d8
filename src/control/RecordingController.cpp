#include "control/RecordingController.h"

#include "audio/FileRepair.h"
#include "audio/uRecorder.h"
#include "base/RegionalText.h"
#include "base/uConfig.h"
#include "control/HourCheck.h"
#include "control/RecordingNames.h"
#include "control/RecordingRepair.h"
#include "control/StartAttempt.h"
#include "data/uData.h"

#include <QFileInfo>
#include <chrono>
#include <cmath>
#include <exception>
#include <future>
#include <map>
#include <optional>
#include <utility>

namespace {

// Moments are read on the local clock, as the log stores them, whatever zone they carry.
QDate LocalDate(const QDateTime& Moment) {
    return Moment.toLocalTime().date();
}

int LocalHour(const QDateTime& Moment) {
    return Moment.toLocalTime().time().hour();
}

// The first moment of the clock hour after Moment's: an hour after the start of Moment's own,
// which is what the local clock shows at the whole hour, also across a change of its offset.
QDateTime NextHourStart(const QDateTime& Moment) {
    const QTime Time = Moment.toLocalTime().time();
    const int64_t IntoHour = (Time.minute() * 60 + Time.second()) * 1000 + Time.msec();
    return Moment.toLocalTime().addMSecs(3'600'000 - IntoHour);
}

// A wall-clock time of the recorder (ns since the epoch) as a local moment, to the millisecond.
QDateTime MomentOf(int64_t Nanoseconds) {
    return QDateTime::fromMSecsSinceEpoch((Nanoseconds + 500'000) / 1'000'000);
}

int64_t NanosecondsOf(const QDateTime& Moment) {
    return Moment.toMSecsSinceEpoch() * 1'000'000;
}

} // namespace

TRecordingController::TRecordingController(TConfig& Settings, std::unique_ptr<TLogData>& Data,
                                           TClock Clock, TFreeSpaceProbe Probe,
                                           TElapsedClock Elapsed)
    : FSettings(Settings), FData(Data), FClock(std::move(Clock)),
      FElapsed(Elapsed ? std::move(Elapsed) : ElapsedClockOf(FClock)), FProbe(std::move(Probe)),
      FLog(Data), FClockWatch(FClock, FElapsed),
      FPreparedFile(QFileInfo(Settings.IniPath()).absolutePath()) {
    FStatus.FormatText = ControlText::NoRecording;
}

TRecordingController::~TRecordingController() = default;

void TRecordingController::Startup() {
    FHandledHour.reset();
    FCurrentTicket = 0;
    FRetry.reset();
    FRecorder = std::make_unique<TRecorder>(FClock);
    if (RecordsNothing()) {
        FHandledHour = ClockHourOf(FClock());
        UpdateRecordingState();
        SetStatus(QString(), FRecordsNothing, QString());
        TimerClockTimer();
        return;
    }
    // Before anything of this run is recorded, so that its own file is never touched.
    const QString Repaired = RepairInterrupted();
    FClockWatch.Tick(); // the clock's state goes with the first recording's start

    UpdateRecordingState();
    const QDateTime Now = FClock();
    FHandledHour = ClockHourOf(Now);
    TPreset P;
    const bool Scheduled = FSettings.AutoRecord() && FindScheduledPreset(Now, P);
    // The device is opened, and the scheduled recording started, on a thread of its own: a
    // sound server that hangs must hold up neither the window nor the clock.
    const TWantedStart Wanted{P, Now, ControlText::ByClock, Scheduled ? NextRecNumber(Now) : 0};
    FPendingStart.emplace(TPendingStart{
        Wanted,
        std::async(std::launch::async,
                   [Recorder = FRecorder.get(), Device = FSettings.RecordDevice(), Scheduled, P,
                    Folder = RecordingFolder(FSettings.RootFolder(), Now),
                    Name = RecordingFileName(Now, Wanted.Number, P.Format)] {
                       if (Scheduled)
                           return AttemptStart(*Recorder, false, Device, P, Folder, Name);
                       TStartAttempt DeviceOnly;
                       DeviceOnly.DeviceOK = Recorder->InitDevice(Device);
                       return DeviceOnly;
                   }),
        TStartupStart{Scheduled, Repaired}});
    FinishPendingStart(StartWait);
    TimerClockTimer();
}

void TRecordingController::FinishStartup(const TStartAttempt& Attempt, const TWantedStart& Wanted,
                                         const TStartupStart& Startup) {
    FDeviceOK = Attempt.DeviceOK;
    // Without a device the check's own texts stay up: they tell the operator what to do.
    if (FDeviceOK)
        SetStatus(QString(), FData ? ControlText::Ready : ControlText::NoDatabase,
                  ControlText::WaitClock);
    else
        SetStatus(QString(), ControlText::NoDevice, ControlText::ChooseDevice);
    if (Startup.Scheduled) {
        try {
            if (FDeviceOK && !CompleteStart(Attempt, Wanted))
                SetStatus(Attempt.FullPath, ControlText::StartFailed(Attempt.StartError),
                          Wanted.Source, TInfoWeight::Trouble);
        } catch (const EFileError&) {
            FStartupError = std::current_exception();
        }
        if (!IsRecording())
            PlanRetry(Wanted.Preset, Wanted.Source, Wanted.StartedAt, 0);
    }
    if (!Startup.Repaired.isEmpty()) {
        ShowInfo(Startup.Repaired);
        emit Repaired(Startup.Repaired);
    }
}

QString TRecordingController::RepairInterrupted() {
    if (!FData)
        return {};
    QStringList Repaired;
    try {
        FPreparedFile.RemoveLeftBehind(*FData);
        Repaired = RepairInterruptedRecordings(*FData, FClock());
    } catch (const std::exception& E) {
        // A failed repair must not keep this run from recording.
        return ControlText::RepairFailed(QString::fromUtf8(E.what()));
    }
    QStringList Names;
    for (const QString& Path : Repaired)
        Names << QFileInfo(Path).fileName();
    return ControlText::Repaired(Names);
}

void TRecordingController::Shutdown() {
    WaitForPendingStart();
    if (!FRecorder)
        return;
    StopRecording();
    // From now on the program does not run: that is the cause of what follows.
    if (FOpenGap != 0)
        FLog.GapEnded(std::exchange(FOpenGap, 0), FClock());
    FRetry.reset();
    FRecorder.reset();
    // The log's last chance, waiting for a lock as long as the database says.
    if (!FLog.Flush(TBusyWait::Unchanged))
        throw EDatabaseError(FLog.LastError().toStdString());
}

void TRecordingController::TimerClockTimer() {
    if (!FRecorder)
        return;
    FinishPendingStart(std::chrono::milliseconds(0));
    const TAlarmSettings& Alarm = FSettings.Alarm();
    FRecorder->SetSilenceLevel(Alarm.SilenceSeconds > 0 ? std::optional(Alarm.SilenceLevel)
                                                        : std::nullopt);
    const QDateTime T = FClock();
    const QDateTime Local = T.toLocalTime();
    FStatus.DateText = DateDisplayText(Local.date());
    FStatus.TimeText = TimeDisplayText(Local.time());
    const int64_t FreeBytes = FreeSpaceAt(T);
    FStatus.FreeText = ControlText::FreeSpace(FreeBytes);
    emit ClockChanged();
    WatchClock();
    ReadNextHourAhead(T);
    PrepareHourCut(T);
    const std::optional<TClockHour> Handled = FHandledHour;
    CheckHourTrigger(T, FreeBytes);
    if (Handled && FHandledHour != Handled)
        FHourToAccount = NextHourStart(T).addSecs(-2 * 3600);
    // What the recorder tells is read once a tick; the steps below look at IsRecording()
    // afresh, since one of them may have stopped the recording.
    const TRecorderSnapshot Recorded = IsRecording() ? FRecorder->Snapshot() : TRecorderSnapshot{};
    CloseGapWhenAudioCame();
    NoteDroppedAudio(T, Recorded);
    ShowWriteError(Recorded);
    CheckCapture(T, Recorded);
    CheckVolumeFull(T, FreeBytes, Recorded);
    RetryRecording(T, FreeBytes);
    CheckFreeSpace(FreeBytes);
    UpdateTrouble(T, Recorded);
    FlushLog(T);
    AccountEndedHour(T);
    // The start-up's file error reaches the operator once, after its retry was planned.
    if (FStartupError)
        std::rethrow_exception(std::exchange(FStartupError, nullptr));
}

void TRecordingController::CheckCapture(const QDateTime& Moment,
                                        const TRecorderSnapshot& Recorded) {
    // A capture whose sound server hangs stays open but brings nothing: after a while it
    // counts as lost, like one whose server went away.
    if (!IsRecording() ||
        (Recorded.CaptureAlive && Recorded.SecondsWithoutAudio < SilenceLostSeconds))
        return;
    StopForRetry(Moment, 0, ControlText::CaptureLost(Moment, RetrySeconds), TGapCause::Capture);
}

void TRecordingController::CheckVolumeFull(const QDateTime& Moment, int64_t FreeBytes,
                                           const TRecorderSnapshot& Recorded) {
    // A write that failed with plenty of room left has another cause; that recording is kept
    // as it is until the hour ends, instead of being restarted into the same failure.
    if (!IsRecording() || Recorded.WriteError.isEmpty() ||
        !FreeSpace::Low(FreeBytes, FreeSpaceNeeded()))
        return;
    const int64_t Awaited = FreeBytes + FreeSpace::ResumeBytes;
    StopForRetry(Moment, Awaited, ControlText::VolumeFull(Moment, Awaited), TGapCause::VolumeFull);
}

void TRecordingController::StopForRetry(const QDateTime& Moment, int64_t AwaitFreeBytes,
                                        const QString& InfoText, TGapCause Cause) {
    const TPreset P = FCurrentPreset;
    const QString Source = FCurrentSource;
    const QString File = FStatus.FileText;
    const std::exception_ptr LogError = StopRecordingKeepingError();
    OpenGap(FLastAudioEnd.isValid() ? FLastAudioEnd : Moment, Cause);
    PlanRetry(P, Source, Moment, AwaitFreeBytes);
    SetStatus(File, InfoText, Source, TInfoWeight::Trouble);
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
    FRetry.emplace(P, Source, Moment, AwaitFreeBytes);
}

void TRecordingController::RetryRecording(const QDateTime& Moment, int64_t FreeBytes) {
    if (!FRetry || IsRecording() || FPendingStart)
        return;
    if (FRetry->Expired(Moment)) {
        FRetry.reset();
        return;
    }
    if (!FRetry->Due(Moment, FreeBytes))
        return;
    FRetry->Tried(Moment);
    // A sound server that hangs would hold this thread up to its time limit: the device is
    // opened (when it was lost) and the capture started on a thread of its own, and the
    // ticks take the result up once it is there. The texts of the loss stay up meanwhile.
    const TWantedStart Wanted{FRetry->Preset(), Moment, FRetry->Source(), NextRecNumber(Moment)};
    FShownWriteError.clear();
    FPendingStart.emplace(TPendingStart{
        Wanted,
        std::async(std::launch::async,
                   [Recorder = FRecorder.get(), DeviceOK = FDeviceOK,
                    Device = FSettings.RecordDevice(), P = Wanted.Preset,
                    Folder = RecordingFolder(FSettings.RootFolder(), Moment),
                    Name = RecordingFileName(Moment, Wanted.Number, Wanted.Preset.Format)] {
                       return AttemptStart(*Recorder, DeviceOK, Device, P, Folder, Name);
                   }),
        std::nullopt});
    FinishPendingStart(StartWait);
}

void TRecordingController::CheckFreeSpace(int64_t FreeBytes) {
    const bool Low = FreeSpace::Low(FreeBytes, FreeSpaceNeeded());
    if (Low != FStatus.FreeSpaceLow) {
        FStatus.FreeSpaceLow = Low;
        emit TroubleChanged();
    }
    // A stop for lack of room says more than the warning would.
    if (Low && !FFreeSpaceWarned && FStatus.TroubleText.isEmpty() && !FRetry) {
        FFreeSpaceWarned = true;
        SetStatus(FStatus.FileText, ControlText::LowSpace(FreeSpaceNeeded()), FStatus.SourceText);
    } else if (!Low && FFreeSpaceWarned) {
        FFreeSpaceWarned = false;
        if (IsRecording())
            SetStatus(FStatus.FileText, ControlText::FormatLine(FCurrentPreset),
                      FStatus.SourceText);
    }
}

void TRecordingController::UpdateTrouble(const QDateTime& Moment,
                                         const TRecorderSnapshot& Recorded) {
    const bool Recording = IsRecording();
    TTroubleSigns Signs;
    Signs.Recording = Recording;
    Signs.RetryPending = FRetry.has_value();
    Signs.WaitsForRoom = FRetry && FRetry->WaitsForRoom();
    Signs.StartFileFails = FRetry && !FStartFileError.isEmpty();
    Signs.WritesFail = Recording && !Recorded.WriteError.isEmpty();
    Signs.DroppedSeconds = Recorded.DroppedSeconds;
    Signs.SecondsWithoutAudio = Recorded.SecondsWithoutAudio;
    Signs.SilentSeconds = Recorded.SilentSeconds;
    Signs.SilenceLimit = FSettings.Alarm().SilenceSeconds;
    Signs.FreeSpaceLow = FStatus.FreeSpaceLow;
    Signs.FreeSpaceNeeded = FreeSpaceNeeded();
    Signs.File = FStatus.FileText;
    Signs.ClockUnsyncedSeconds = FClockWatch.UnsyncedSeconds();
    Signs.ClockUnsyncedLimit = FSettings.Alarm().ClockUnsyncedMinutes * 60;
    Signs.ClockMaxErrorMicroseconds =
        FClockWatch.Current() ? FClockWatch.Current()->MaxErrorMicroseconds : 0;
    const TTroubleTracker::TChange Change = FTroubles.Update(Moment, Signs);
    const QString Text = FTroubles.Text();
    if (Text != FStatus.TroubleText) {
        FStatus.TroubleText = Text;
        emit TroubleChanged();
    }
    for (const TTrouble& T : Change.Ended)
        emit TroubleEnded(T);
    for (const TTrouble& T : Change.Began)
        emit TroubleBegan(T);
}

void TRecordingController::ShowWriteError(const TRecorderSnapshot& Recorded) {
    if (!IsRecording())
        return;
    const QString& Error = Recorded.WriteError;
    if (Error.isEmpty() || Error == FShownWriteError)
        return;
    FShownWriteError = Error;
    SetStatus(FStatus.FileText, Error, FStatus.SourceText, TInfoWeight::Trouble);
}

void TRecordingController::CheckHourTrigger(const QDateTime& Moment, int64_t FreeBytes) {
    const TClockHour Hour = ClockHourOf(Moment);
    if (Hour == FHandledHour)
        return;
    std::optional<TGapCause> GapCause;
    if (FHourCut) {
        switch (SettleHourCut(Moment, Hour)) {
        case TCutOutcome::Waiting:
            return;
        case TCutOutcome::WentOn:
            FHandledHour = Hour;
            FRetry.reset();
            return;
        case TCutOutcome::Ended:
            GapCause = TGapCause::FormatChange;
            break;
        case TCutOutcome::TakenBack:
            GapCause = TGapCause::Capture; // its audio did not come through
            break;
        }
    }
    FHandledHour = Hour;
    if (RecordsNothing())
        return;
    const TPreset Ended = FCurrentPreset;
    const bool WasRecording = IsRecording();
    const bool WriteFailed = WasRecording && !FRecorder->WriteError().isEmpty();
    const std::exception_ptr LogError = StopRecordingKeepingError();
    FRetry.reset();
    TPreset P;
    std::exception_ptr StartError;
    if (FSettings.AutoRecord() && FindScheduledPreset(Moment, P)) {
        if (WasRecording && !GapCause)
            GapCause = WriteFailed ? TGapCause::Write
                       : P.SampleRate != Ended.SampleRate || P.Channels != Ended.Channels
                           ? TGapCause::FormatChange
                           : TGapCause::Capture;
        if (GapCause && FLastAudioEnd.isValid())
            OpenGap(FLastAudioEnd, *GapCause);
        StartError = StartRecordingKeepingFileError(P, Moment, ControlText::ByClock);
        // On a volume with almost no room left, the retry waits for room to be made.
        if (!IsRecording()) {
            OpenGap(Moment, StartError ? TGapCause::Write : TGapCause::Capture);
            PlanRetry(P, ControlText::ByClock, Moment, FreeSpace::AwaitedForStart(FreeBytes));
        }
    } else {
        SetStatus(QString(), FData ? ControlText::NothingScheduled : ControlText::NoDatabase,
                  ControlText::WaitNextHour);
    }
    if (StartError)
        std::rethrow_exception(StartError);
    if (LogError)
        std::rethrow_exception(LogError);
}

void TRecordingController::PrepareHourCut(const QDateTime& Moment) {
    if (FHourCut) {
        // A clock set back leaves the cut far ahead; a recordings folder or automatic recording
        // changed since makes it wrong: it is taken back, and prepared again when it is due.
        const bool Stale = Moment.msecsTo(FHourCut->At) > 2 * CutLeadSeconds * 1000 ||
                           (FHourCut->Next && (!FSettings.AutoRecord() ||
                                               !FHourCut->FullPath.startsWith(RecordingFolder(
                                                   FSettings.RootFolder(), FHourCut->At))));
        if (Stale && FRecorder->CancelCut())
            ForgetHourCut();
        return;
    }
    if (!IsRecording() || RecordsNothing())
        return;
    const QDateTime At = NextHourStart(Moment);
    if (Moment.msecsTo(At) > CutLeadSeconds * 1000)
        return;
    THourCut Cut{ClockHourOf(At), At, std::nullopt, {}, {}};
    TPreset P;
    bool GoesOn = false;
    try {
        GoesOn = FSettings.AutoRecord() && FindScheduledPreset(At, P) &&
                 P.SampleRate == FCurrentPreset.SampleRate && P.Channels == FCurrentPreset.Channels;
    } catch (const EDatabaseError&) {
        return; // the hour rule reads the schedule again at the hour
    }
    try {
        if (!GoesOn) {
            if (FRecorder->PrepareCut(std::nullopt, QString(), NanosecondsOf(At)))
                FHourCut = Cut;
            return;
        }
        const int32_t Number = NextRecNumber(At);
        const QString Folder = RecordingFolder(FSettings.RootFolder(), At);
        const QString Wanted = RecordingFileName(At, Number, P.Format);
        for (int Suffix = 1;; ++Suffix) {
            const QString Name = FreeFileName(Folder, Wanted, Suffix);
            if (FRecorder->PrepareCut(P, Folder + Name, NanosecondsOf(At))) {
                Cut.Next = TWantedStart{P, At, ControlText::ByClock, Number};
                Cut.FileName = Name;
                Cut.FullPath = Folder + Name;
                FHourCut = Cut;
                FPreparedFile.Note(Cut.FullPath);
                return;
            }
            if (!FRecorder->NameTaken())
                return; // the hour rule stops and starts the recording itself
        }
    } catch (const EFileError&) {
        // The hour rule's own start meets the same trouble and reports it.
    }
}

TRecordingController::TCutOutcome TRecordingController::SettleHourCut(const QDateTime& Moment,
                                                                      const TClockHour& Hour) {
    if (const std::optional<TCutDone> Done = FRecorder->TakeCut()) {
        CompleteHourCut(*Done, Moment);
        return Done->NextPath.isEmpty() ? TCutOutcome::Ended : TCutOutcome::WentOn;
    }
    // The audio of the hour's first moment comes through a capture's latency after it, and
    // later while the recording thread is held up (a stalled disk): the cut is waited for, as
    // the audio waits in the capture queue, and never forced from here. Only a capture that died
    // (it brings no more) or a clock now in another hour than the one the cut was made for
    // takes it back.
    const bool Overdue = FHourCut->Hour != Hour || !FRecorder->CaptureAlive();
    if (!Overdue || !FRecorder->CancelCut())
        return TCutOutcome::Waiting; // or being made right now
    ForgetHourCut();
    return TCutOutcome::TakenBack;
}

void TRecordingController::CompleteHourCut(const TCutDone& Done, const QDateTime& Moment) {
    const THourCut Cut = *FHourCut;
    ForgetHourCut();
    const int64_t Ticket = std::exchange(FCurrentTicket, 0);
    // Lengths are measured by the passing of time, as at every stop, up to the cut.
    const int64_t SinceCut = std::clamp<int64_t>(MomentOf(Done.CutTime).msecsTo(Moment), 0, 60000);
    const auto Seconds =
        static_cast<int32_t>(std::max<int64_t>(0, FElapsed() - FStartedElapsed - SinceCut) / 1000);
    emit RecordingStopped(
        {Done.EndedPath, FCurrentPreset.Name, FCurrentSource, Done.EndedStartedAt, Seconds});
    FLog.Stopped(Ticket, Seconds, ExactTimes(Done.Ended));
    FLastAudioEnd = MomentOf(Done.Ended.End);
    if (!Done.EndedWriteError.isEmpty() && Done.Ended.End < Done.CutTime)
        FLog.GapBegan(FLastAudioEnd, GapCauseCode(TGapCause::Write), MomentOf(Done.CutTime));
    if (!Cut.Next || Done.NextPath.isEmpty()) {
        FRecorder->Stop(); // the capture that ran on without a file
        UpdateRecordingState();
        return;
    }
    const TWantedStart& Next = *Cut.Next;
    FCurrentPreset = Next.Preset;
    FCurrentSource = Next.Source;
    FShownWriteError.clear();
    FStartedElapsed = FElapsed() - std::clamp<int64_t>(Cut.At.msecsTo(Moment), 0, 60000);
    FLastAudioEnd = MomentOf(Done.CutTime);
    FClockAtStart = FClockWatch.Current();
    TFileTimes Begun;
    Begun.Start = Begun.End = Done.CutTime;
    Begun.Rate = Next.Preset.SampleRate;
    FCurrentTicket = FLog.Started(Next.Preset, Next.StartedAt, Next.Number, Cut.FileName,
                                  Cut.FullPath, ExactTimes(Begun));
    SetStatus(Cut.FullPath, ControlText::FormatLine(Next.Preset), Next.Source);
    UpdateRecordingState();
    emit RecordingStarted({Cut.FullPath, Next.Preset.Name, Next.Source, Next.StartedAt, 0});
}

void TRecordingController::ForgetHourCut() {
    if (FHourCut && FHourCut->Next)
        FPreparedFile.Forget();
    FHourCut.reset();
}

TAudioTimes TRecordingController::ExactTimes(const TFileTimes& Times) const {
    TAudioTimes Exact;
    if (FClockAtStart) {
        Exact.ClockSynced = FClockAtStart->Synced;
        Exact.ClockMaxErrorMicroseconds = FClockAtStart->MaxErrorMicroseconds;
    }
    Exact.Start = MomentOf(Times.Start);
    if (Times.End > Times.Start || Times.Frames > 0)
        Exact.End = MomentOf(Times.End);
    Exact.Frames = static_cast<int64_t>(Times.Frames);
    Exact.SampleRate = Times.Rate;
    Exact.DriftPpm = Times.DriftPpm;
    return Exact;
}

void TRecordingController::OpenGap(const QDateTime& From, TGapCause Cause) {
    if (FOpenGap != 0)
        return;
    FOpenGap = FLog.GapBegan(From, GapCauseCode(Cause));
    FGapEndsWithAudio = false;
}

void TRecordingController::CloseGapWhenAudioCame() {
    if (FOpenGap == 0 || !FGapEndsWithAudio || !IsRecording())
        return;
    if (const std::optional<int64_t> First = FRecorder->FirstFrameTime()) {
        FLog.GapEnded(std::exchange(FOpenGap, 0), MomentOf(*First));
        FGapEndsWithAudio = false;
    }
}

void TRecordingController::WatchClock() {
    const std::optional<TClockStep> Step = FClockWatch.Tick();
    if (!Step)
        return;
    // A file's audio goes on while the clock jumps over the time between: that time holds
    // none of it.
    if (Step->Milliseconds > 0 && IsRecording())
        FLog.GapBegan(Step->Before, GapCauseCode(TGapCause::Clock), Step->After);
    emit ClockStepped(*Step);
}

void TRecordingController::AccountEndedHour(const QDateTime& Moment) {
    // The rows of the hour's end are written first; a log that falls behind is waited for.
    constexpr int SettleSeconds = 5;
    if (!FHourToAccount || !FData || FLog.Waiting() ||
        FHourToAccount->secsTo(Moment) < 3600 + SettleSeconds)
        return;
    TCoverageHour Hour;
    try {
        TBusyWait Wait(*FData, TRecordingLog::LockWaitMilliseconds);
        Hour = ReadCoverageHour(*FData, *FHourToAccount, Moment);
    } catch (const EDatabaseError&) {
        return; // read again at the next tick
    }
    FHourToAccount.reset();
    emit HourAccounted(Hour);
    if (const std::optional<TTrouble> Incomplete =
            IncompleteHourTrouble(Hour, FSettings.Alarm().MaxGapSeconds)) {
        emit TroubleBegan(*Incomplete);
        emit TroubleEnded(*Incomplete);
    }
}

void TRecordingController::NoteDroppedAudio(const QDateTime& Moment,
                                            const TRecorderSnapshot& Recorded) {
    // Where in the file the audio went missing is not known to the millisecond; it was lost
    // since the last tick.
    const double Lost = Recorded.DroppedSeconds - FDroppedSeen;
    if (!Recorded.Recording || Lost < 0.001)
        return;
    FDroppedSeen = Recorded.DroppedSeconds;
    FLog.GapBegan(Moment.addMSecs(-std::llround(Lost * 1000)), GapCauseCode(TGapCause::Dropped),
                  Moment);
}

bool TRecordingController::FindScheduledPreset(const QDateTime& Moment, TPreset& P) {
    if (!FData)
        return false;
    const std::pair<int, int> Cell{LocalDate(Moment).dayOfWeek(), LocalHour(Moment)};
    std::optional<TPreset> Found;
    try {
        TBusyWait Wait(*FData, TRecordingLog::LockWaitMilliseconds);
        const int32_t Id = FData->GetSchedulePreset(Cell.first, Cell.second);
        if (Id != 0 && FData->GetPreset(Id, P))
            Found = P;
        FScheduleRead[Cell] = Found;
    } catch (const EDatabaseError&) {
        // Another program holds the database: the hour is recorded as the schedule said when
        // it was last read, rather than not at all.
        const auto Known = FScheduleRead.find(Cell);
        if (Known == FScheduleRead.end())
            throw;
        Found = Known->second;
    }
    if (Found)
        P = *Found;
    return Found.has_value();
}

void TRecordingController::ReadNextHourAhead(const QDateTime& Moment) {
    const QDateTime Local = Moment.toLocalTime();
    if (Local.time().minute() != 59 || FReadAhead == ClockHourOf(Moment))
        return;
    FReadAhead = ClockHourOf(Moment);
    TPreset Ignored;
    try {
        FindScheduledPreset(Local.addSecs(60), Ignored);
    } catch (const EDatabaseError&) {
        // Read again at the hour itself.
    }
}

int64_t TRecordingController::FreeSpaceAt(const QDateTime& Moment) {
    // The tick comes four times a second; the file system is asked at most once a second of
    // clock time (or when the clock jumped back), the ticks between use its answer.
    if (!FFreeSpaceRead.isValid() || std::abs(FFreeSpaceRead.msecsTo(Moment)) >= 1000) {
        FLastFreeBytes = FreeSpaceBytes();
        FFreeSpaceRead = Moment;
    }
    return FLastFreeBytes;
}

int64_t TRecordingController::FreeSpaceBytes() const {
    return FProbe(FSettings.RootFolder());
}

int64_t TRecordingController::FreeSpaceNeeded() const {
    return FreeSpace::Needed(IsRecording() ? std::optional<TPreset>(FCurrentPreset) : std::nullopt);
}

void TRecordingController::StartRecording(const TPreset& P, const QDateTime& StartedAt,
                                          const QString& Source) {
    WaitForPendingStart();
    if (!FRecorder)
        return;
    if (!FDeviceOK)
        CheckDevice();
    if (!FDeviceOK)
        return;
    QString FullPath;
    if (!BeginRecording(P, StartedAt, Source, FullPath))
        SetStatus(FullPath, ControlText::StartFailed(FRecorder->StartError()), Source,
                  TInfoWeight::Trouble);
}

bool TRecordingController::BeginRecording(const TPreset& P, const QDateTime& StartedAt,
                                          const QString& Source, QString& FullPath) {
    StopRecording();
    const int32_t Number = NextRecNumber(StartedAt);
    FShownWriteError.clear();
    const TStartAttempt Attempt = AttemptStart(*FRecorder, FDeviceOK, FSettings.RecordDevice(), P,
                                               RecordingFolder(FSettings.RootFolder(), StartedAt),
                                               RecordingFileName(StartedAt, Number, P.Format));
    FullPath = Attempt.FullPath;
    return CompleteStart(Attempt, {P, StartedAt, Source, Number});
}

bool TRecordingController::CompleteStart(const TStartAttempt& Attempt, const TWantedStart& Wanted) {
    FDeviceOK = Attempt.DeviceOK;
    if (Attempt.FileError) {
        try {
            std::rethrow_exception(Attempt.FileError);
        } catch (const EFileError& E) {
            FStartFileError = QString::fromUtf8(E.what());
            throw;
        }
    }
    if (!Attempt.Started)
        return false;
    FStartFileError.clear();
    FRetry.reset();
    FFreeSpaceWarned = false;
    FCurrentPreset = Wanted.Preset;
    FCurrentSource = Wanted.Source;
    // The start may have run on a thread of its own a moment before this takes it up.
    FStartedElapsed =
        FElapsed() - std::clamp<int64_t>(FRecorder->StartedAt().msecsTo(FClock()), 0, 60000);
    FClockAtStart = FClockWatch.Current();
    TFileTimes Begun;
    Begun.Start = Begun.End = NanosecondsOf(FRecorder->StartedAt());
    Begun.Rate = Wanted.Preset.SampleRate;
    FCurrentTicket = FLog.Started(Wanted.Preset, Wanted.StartedAt, Wanted.Number, Attempt.FileName,
                                  Attempt.FullPath, ExactTimes(Begun));
    FDroppedSeen = 0;
    FGapEndsWithAudio = FOpenGap != 0;
    SetStatus(Attempt.FullPath, ControlText::FormatLine(Wanted.Preset), Wanted.Source);
    UpdateRecordingState();
    emit RecordingStarted(
        {Attempt.FullPath, Wanted.Preset.Name, Wanted.Source, Wanted.StartedAt, 0});
    return true;
}

void TRecordingController::FinishPendingStart(std::chrono::milliseconds Wait) {
    if (!FPendingStart || FPendingStart->Result.wait_for(Wait) != std::future_status::ready)
        return;
    const TWantedStart Wanted = FPendingStart->Wanted;
    const std::optional<TStartupStart> Startup = FPendingStart->Startup;
    const TStartAttempt Attempt = FPendingStart->Result.get();
    FPendingStart.reset();
    if (Startup) {
        FinishStartup(Attempt, Wanted, *Startup);
        return;
    }
    try {
        CompleteStart(Attempt, Wanted);
    } catch (const std::exception& E) {
        // A file error here would otherwise come back as an error box every few seconds.
        const QString Text = QString::fromUtf8(E.what());
        if (Text != FStatus.InfoText)
            SetStatus(FStatus.FileText, Text, Wanted.Source, TInfoWeight::Trouble);
    }
}

void TRecordingController::StopRecording() {
    WaitForPendingStart();
    if (!IsRecording())
        return;
    // A cut not yet made is taken back; one made meanwhile is logged first, and this stop then
    // ends the file it began.
    if (FHourCut && FRecorder->CancelCut())
        ForgetHourCut();
    FRecorder->Stop();
    if (FHourCut) {
        const std::optional<TCutDone> Done = FRecorder->TakeCut();
        if (Done)
            CompleteHourCut(*Done, FClock());
        ForgetHourCut();
        if (Done && Done->NextPath.isEmpty())
            return; // the file ended at the cut, and nothing ran after it
    }
    int64_t Seconds = ElapsedSeconds();
    const int64_t Ticket = std::exchange(FCurrentTicket, 0);
    UpdateRecordingState();
    // After a failed write or lost audio the file holds less than the clock says; the log
    // tells what it holds.
    if (!FRecorder->WriteError().isEmpty() || FRecorder->DroppedSeconds() > 0)
        Seconds = std::min(
            Seconds,
            RecordedDurationSec(FRecorder->CurrentPath(), FCurrentPreset.Format).value_or(Seconds));
    emit RecordingStopped({FRecorder->CurrentPath(), FCurrentPreset.Name, FCurrentSource,
                           FRecorder->StartedAt(), Seconds});
    const TFileTimes Times = FRecorder->FileTimes();
    if (Times.Start != 0)
        FLastAudioEnd = MomentOf(Times.End);
    FLog.Stopped(Ticket, static_cast<int32_t>(Seconds),
                 Times.Start != 0 ? ExactTimes(Times) : TAudioTimes{});
}

int64_t TRecordingController::ElapsedSeconds() const {
    return std::max<int64_t>(0, FElapsed() - FStartedElapsed) / 1000;
}

void TRecordingController::FlushLog(const QDateTime& Moment) {
    if (FLog.Waiting() &&
        (!FLogTried.isValid() || std::abs(FLogTried.secsTo(Moment)) >= RetrySeconds)) {
        FLogTried = Moment;
        FLog.Flush();
    }
    const QString Error = FLog.Waiting() ? FLog.LastError() : QString();
    if (Error == FShownLogError)
        return;
    const bool Shown = FStatus.InfoText == ControlText::LogBehind(FShownLogError, RetrySeconds);
    if (!Error.isEmpty())
        SetStatus(FStatus.FileText, ControlText::LogBehind(Error, RetrySeconds), FStatus.SourceText,
                  TInfoWeight::Trouble);
    else if (Shown)
        SetStatus(FStatus.FileText, ControlText::LogCaughtUp, FStatus.SourceText);
    else
        ShowInfo(ControlText::LogCaughtUp);
    FShownLogError = Error;
}

int32_t TRecordingController::NextRecNumber(const QDateTime& Moment) {
    int32_t Logged = FLog.RowsWaitingInHour(Moment);
    try {
        if (FData) {
            TBusyWait Wait(*FData, TRecordingLog::LockWaitMilliseconds);
            Logged += FData->CountRecordingsInHour(Moment);
        }
    } catch (const EDatabaseError&) {
        // A database that cannot be read now must not keep the hour from being recorded: the
        // name of a file that exists already gets a suffix.
    }
    return ::NextRecNumber(Logged);
}

void TRecordingController::CheckDevice() {
    WaitForPendingStart();
    if (!FRecorder)
        return;
    FDeviceOK = FRecorder->InitDevice(FSettings.RecordDevice());
    if (!FDeviceOK)
        SetStatus(QString(), ControlText::NoDevice, ControlText::ChooseDevice);
}

void TRecordingController::SetStatus(const QString& FileText, const QString& InfoText,
                                     const QString& SourceText, TInfoWeight Weight) {
    FStatus.FileText = FileText;
    FStatus.InfoText = InfoText;
    FStatus.SourceText = SourceText;
    FStatus.InfoWeight = Weight;
    emit StatusLinesChanged();
}

void TRecordingController::ShowInfo(const QString& Text) {
    if (FStatus.InfoWeight != TInfoWeight::Trouble)
        SetStatus(FStatus.FileText, Text, FStatus.SourceText);
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
    if (RecordsNothing()) {
        emit WarningRaised(FRecordsNothing);
        return;
    }
    const QDateTime T = FClock();
    TPreset P;
    if (!FindScheduledPreset(T, P)) {
        if (!FData) {
            emit WarningRaised(ControlText::NoDatabasePresets);
            return;
        }
        TPresetList Presets;
        FData->LoadPresets(Presets);
        if (Presets.isEmpty()) {
            emit WarningRaised(ControlText::NoPresets);
            return;
        }
        P = Presets.first();
    }
    StartRecording(P, T, ControlText::ByHand);
}

void TRecordingController::ManualStop() {
    const bool WasRecording = IsRecording();
    StopRecording();
    if (WasRecording && FLastAudioEnd.isValid())
        OpenGap(FLastAudioEnd, TGapCause::Stopped);
    FRetry.reset();
    SetStatus(QString(), ControlText::Stopped, ControlText::WaitClock);
}

void TRecordingController::WaitForPendingStart() {
    if (FPendingStart)
        FinishPendingStart(std::chrono::hours(1));
}

bool TRecordingController::IsRecording() const {
    return FRecorder && !FPendingStart && FRecorder->State() == rsRecording;
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
        // What the database in use still owes its log goes there before it is handed over.
        if (!FLog.Flush(TBusyWait::Unchanged))
            throw EDatabaseError(FLog.LastError().toStdString());
        RunSettingsChange(Change);
        return;
    }
    const TPreset P = FCurrentPreset;
    const QString Source = FCurrentSource;
    // The database that logged the recording must take its length before anything stops:
    // when it refuses (locked, full), nothing has changed and the recording goes on.
    FLog.SettleBeforeHandOver(FCurrentTicket, static_cast<int32_t>(ElapsedSeconds()));
    std::exception_ptr Error = StopRecordingKeepingError();
    if (FLastAudioEnd.isValid())
        OpenGap(FLastAudioEnd, TGapCause::FormatChange);
    if (!Error && !FLog.Flush(TBusyWait::Unchanged))
        Error = std::make_exception_ptr(EDatabaseError(FLog.LastError().toStdString()));
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
    if (!FRecorder || FPendingStart) {
        L = R = 0.0f;
        return false;
    }
    return FRecorder->GetLevels(L, R);
}
