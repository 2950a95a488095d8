#include "control/RetentionScheduler.h"

#include "base/uConfig.h"
#include "control/ClockHour.h"
#include "control/EventJournal.h"
#include "control/StatusText.h"
#include "data/uData.h"

#include <QElapsedTimer>
#include <QStringList>
#include <chrono>
#include <utility>

namespace {

using TOutcome = TRetentionScheduler::TOutcome;

struct TRunInput {
    QString DbPath;
    TRetentionSettings Rules;
    QDateTime Now;
    QString Root;
    QString InUse;
    TFreeSpaceProbe Probe;
    TRetentionScheduler::TRemover Remove;
};

// One run of the rules on its own connection to the database, off the tick. Its events go
// into the log a batch at a time; a database that refuses them ends the run.
TOutcome Run(const TRunInput& In, const std::atomic<bool>& Stop) {
    TOutcome Outcome;
    QVector<TEventRow> Batch;
    try {
        TRetentionData Data(In.DbPath);
        QElapsedTimer Since;
        Since.start();
        const auto Flush = [&] {
            if (Batch.isEmpty())
                return;
            Data.LogEvents(Batch);
            Batch.clear();
        };
        const auto Delete = [&](const TRetentionDeletion& Recording) {
            if (!In.Remove(Recording.Path, In.Root))
                return false;
            ++Outcome.Count;
            Outcome.Bytes += Recording.Bytes;
            Batch.append(DeletionEvent(Recording, In.Now.addMSecs(Since.elapsed())));
            if (Batch.size() >= TRetentionScheduler::EventBatch)
                Flush();
            return true;
        };
        const auto Pages = [&Data](const TPageStart& After, const QDateTime& Before) {
            return Data.LoggedFilesAfter(After, Before, TRetentionScheduler::PageRows);
        };
        Outcome.LinksLeft =
            ApplyRetention(Pages, In.Rules, In.Now, In.Root, In.InUse, In.Probe, Delete, &Stop)
                .LinksLeft;
        Flush();
    } catch (const EDatabaseError& E) {
        Outcome.Error = QString::fromUtf8(E.what());
        Outcome.Unrecorded = static_cast<int>(Batch.size());
    }
    return Outcome;
}

QString Summary(const TOutcome& Outcome) {
    QStringList Parts;
    if (Outcome.Count > 0)
        Parts << ControlText::RetentionSummary(Outcome.Count, Outcome.Bytes);
    if (Outcome.LinksLeft > 0)
        Parts << ControlText::RetentionLinksLeft(Outcome.LinksLeft);
    if (!Outcome.Error.isEmpty())
        Parts << ControlText::RetentionBrokenOff(Outcome.Error);
    if (Outcome.Unrecorded > 0)
        Parts << ControlText::RetentionUnrecorded(Outcome.Unrecorded);
    return Parts.join(u' ');
}

} // namespace

TRetentionScheduler::TRetentionScheduler(const TConfig& Settings, std::unique_ptr<TLogData>& Data,
                                         TClock Clock, TFreeSpaceProbe Probe, TRemover Remove,
                                         QObject* Parent)
    : QObject(Parent), FSettings(Settings), FData(Data), FClock(std::move(Clock)),
      FProbe(std::move(Probe)), FRemove(std::move(Remove)) {}

TRetentionScheduler::~TRetentionScheduler() {
    RequestStop();
    if (FRun)
        FRun->wait();
}

bool TRetentionScheduler::Due(const QDateTime& Moment) const {
    const QDateTime Local = Moment.toLocalTime();
    const int Minute = Local.time().minute();
    if (!FLastRun)
        return Minute != 0;
    return ClockHourOf(*FLastRun) != ClockHourOf(Moment) && Minute >= RunMinute;
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
    FStop = false;
    FRun = std::async(std::launch::async,
                      [this, In = TRunInput{FData->Connection().databaseName(), Rules, Now,
                                            FSettings.RootFolder(), InUse, FProbe, FRemove}] {
                          return Run(In, FStop);
                      });
}

void TRetentionScheduler::RequestStop() {
    FStop = true;
}

void TRetentionScheduler::Finish() {
    if (FRun)
        TakeUp();
}

void TRetentionScheduler::TakeUp() {
    const TOutcome Outcome = FRun->get();
    FRun.reset();
    if (const QString Text = Summary(Outcome); !Text.isEmpty())
        emit RunEnded(Text);
}
