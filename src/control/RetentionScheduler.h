#pragma once

#include "base/uClock.h"
#include "control/FreeSpacePolicy.h"
#include "control/Retention.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>

class TConfig;
class TLogData;

// Runs the retention rules at start-up and once an hour, a few minutes after the boundary and
// never in the minute of the hour switch. A run reads the log, deletes the files and writes
// their events on a thread of its own with a database connection of its own; the tick only
// starts it and takes up its summary. Lives on the user-interface thread.
class TRetentionScheduler : public QObject {
    Q_OBJECT
public:
    // What a run did, as the tick takes it up.
    struct TOutcome {
        int Count = 0;
        int64_t Bytes = 0;
        int LinksLeft = 0;
        int Unrecorded = 0; // deletions whose events could not be written
        QString Error;      // the engine's message when the run broke off
    };
    // How a run removes the recording at Path below Root; false when it was left.
    using TRemover = std::function<bool(const QString& Path, const QString& Root)>;

    TRetentionScheduler(const TConfig& Settings, std::unique_ptr<TLogData>& Data, TClock Clock,
                        TFreeSpaceProbe Probe, TRemover Remove = DeleteRecording,
                        QObject* Parent = nullptr);
    // Stops and waits for a run that still goes on.
    ~TRetentionScheduler() override;

    // The minute of each hour in which the hourly run starts.
    static constexpr int RunMinute = 5;
    // Logged recordings read at a time.
    static constexpr int PageRows = 500;
    // Deletions written to the events log in one transaction.
    static constexpr int EventBatch = 500;

    // The clock tick: takes up a run that ended, and starts one when it is due. InUse is the
    // recording being written (empty when none). Never waits for a run.
    void Tick(const QString& InUse);
    // Asks a run that goes on to stop after the file it is at. Returns at once.
    void RequestStop();
    // Waits until a run that goes on has ended, and takes it up.
    void Finish();

signals:
    // A run that deleted anything, passed over a link, or could not go on ended: one line in
    // Dutch that sums it up.
    void RunEnded(const QString& Summary);

private:
    bool Due(const QDateTime& Moment) const;
    void TakeUp();

    const TConfig& FSettings;
    std::unique_ptr<TLogData>& FData;
    TClock FClock;
    TFreeSpaceProbe FProbe;
    TRemover FRemove;
    // The local hour of the last run; none before the first.
    std::optional<QDateTime> FLastRun;
    // Set to end a run early; read by the run between files.
    std::atomic<bool> FStop{false};
    std::optional<std::future<TOutcome>> FRun;
};
