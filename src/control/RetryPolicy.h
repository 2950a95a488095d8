#pragma once

#include "base/uTypes.h"
#include "control/ClockHour.h"

#include <QDateTime>
#include <QString>
#include <cstdint>

// A recording wanted in this hour that does not run (its capture died, it would not start, or
// the volume filled up): tried again every RetrySeconds until the hour ends, and after a full
// volume only once AwaitFreeBytes are free.
class TRetryPolicy {
public:
    static constexpr int RetrySeconds = 5;

    // Planned at Moment for P and Source; the first try comes RetrySeconds later.
    TRetryPolicy(TPreset P, QString Source, const QDateTime& Moment, int64_t AwaitFreeBytes);

    // Whether the hour it was planned in has ended at Moment.
    bool Expired(const QDateTime& Moment) const;
    // Whether a try is due at Moment with FreeBytes free (-1: unknown).
    bool Due(const QDateTime& Moment, int64_t FreeBytes) const;
    // A try was made at Moment: the next one comes RetrySeconds later.
    void Tried(const QDateTime& Moment);

    const TPreset& Preset() const { return FPreset; }
    const QString& Source() const { return FSource; }
    // Whether it waits for room on the volume rather than for the device.
    bool WaitsForRoom() const { return FAwaitFreeBytes > 0; }

private:
    TPreset FPreset;
    QString FSource;
    TClockHour FHour;
    QDateTime FNext;
    int64_t FAwaitFreeBytes = 0;
};
