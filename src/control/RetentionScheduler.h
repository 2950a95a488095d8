#pragma once

#include "base/uClock.h"
#include "control/FreeSpacePolicy.h"
#include "control/Retention.h"

#include <QObject>
#include <QString>
#include <future>
#include <memory>
#include <optional>
#include <vector>

class TConfig;
class TLogData;

// Runs the retention rules at start-up and once an hour, a few minutes after the boundary and
// never in the minute of the hour switch. The files are deleted on a thread of their own; a
// later tick takes up what was deleted. Lives on the user-interface thread.
class TRetentionScheduler : public QObject {
    Q_OBJECT
public:
    TRetentionScheduler(const TConfig& Settings, std::unique_ptr<TLogData>& Data, TClock Clock,
                        TFreeSpaceProbe Probe, QObject* Parent = nullptr);
    // Waits for a run that still goes on.
    ~TRetentionScheduler() override;

    // The minute of each hour in which the hourly run starts.
    static constexpr int RunMinute = 5;

    // The clock tick: takes up a run that ended, and starts one when it is due. InUse is the
    // recording being written (empty when none).
    void Tick(const QString& InUse);
    // Waits until a run that goes on has ended, and takes it up.
    void Finish();

signals:
    // A run deleted a recording.
    void Deleted(const TRetentionDeletion& Deletion);
    // A run that deleted anything ended: one line that sums it up.
    void RunEnded(const QString& Summary);

private:
    bool Due(const QDateTime& Moment) const;
    void TakeUp();

    const TConfig& FSettings;
    std::unique_ptr<TLogData>& FData;
    TClock FClock;
    TFreeSpaceProbe FProbe;
    // The local hour of the last run; none before the first.
    std::optional<QDateTime> FLastRun;
    std::optional<std::future<std::vector<TRetentionDeletion>>> FRun;
};
