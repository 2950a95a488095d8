#include "control/RetentionScheduler.h"

#include "base/uConfig.h"
#include "control/StatusText.h"
#include "data/uData.h"

#include <chrono>
#include <utility>

TRetentionScheduler::TRetentionScheduler(const TConfig& Settings, std::unique_ptr<TLogData>& Data,
                                         TClock Clock, TFreeSpaceProbe Probe, QObject* Parent)
    : QObject(Parent), FSettings(Settings), FData(Data), FClock(std::move(Clock)),
      FProbe(std::move(Probe)) {}

TRetentionScheduler::~TRetentionScheduler() {
    if (FRun)
        FRun->wait();
}

bool TRetentionScheduler::Due(const QDateTime& Moment) const {
    const QDateTime Local = Moment.toLocalTime();
    const int Minute = Local.time().minute();
    if (!FLastRun)
        return Minute != 0;
    const QDateTime Last = FLastRun->toLocalTime();
    const bool SameHour = Last.date() == Local.date() && Last.time().hour() == Local.time().hour();
    return !SameHour && Minute >= RunMinute;
}

void TRetentionScheduler::Tick(const QString& InUse) {
    if (FRun && FRun->wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        TakeUp();
    const QDateTime Now = FClock();
    if (FRun || !Due(Now))
        return;
    FLastRun = Now;
    const TRetentionSettings Rules = FSettings.Retention();
    if (!FData || (Rules.KeepDays <= 0 && Rules.MinFreeMB <= 0))
        return;
    // The log is read here, where the database lives; the files are deleted off this thread.
    FRun = std::async(std::launch::async, [Logged = FData->LoggedFilesOldestFirst(), Rules, Now,
                                           Root = FSettings.RootFolder(), InUse, Probe = FProbe] {
        return ApplyRetention(Logged, Rules, Now, Root, InUse, Probe,
                              [&Root](const QString& Path) { return DeleteRecording(Path, Root); });
    });
}

void TRetentionScheduler::Finish() {
    if (FRun)
        TakeUp();
}

void TRetentionScheduler::TakeUp() {
    const std::vector<TRetentionDeletion> Done = FRun->get();
    FRun.reset();
    if (Done.empty())
        return;
    int64_t Bytes = 0;
    for (const TRetentionDeletion& D : Done) {
        Bytes += D.Bytes;
        emit Deleted(D);
    }
    emit RunEnded(ControlText::RetentionSummary(static_cast<int>(Done.size()), Bytes));
}
