#pragma once

#include "base/uClock.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

// The kernel's view of the wall clock: whether a time daemon keeps it synchronised with a time
// server, and how far off it may be.
struct TClockStatus {
    bool Synced = false;
    int64_t MaxErrorMicroseconds = 0;
    bool operator==(const TClockStatus&) const = default;
};

// Reads the clock's status; none when it cannot be read.
using TClockProbe = std::function<std::optional<TClockStatus>()>;

// The kernel's clock status, read through adjtimex without changing anything: synchronised
// when the call reports no error state and the unsynchronised flag is clear.
std::optional<TClockStatus> KernelClockStatus();

// A step of the wall clock between two ticks: someone set it, or a time daemon stepped it
// instead of slewing it. Milliseconds is positive when it was set forward. Before is what the
// wall clock would show without the step, After what it shows: After - Before is the step.
struct TClockStep {
    int64_t Milliseconds = 0;
    QDateTime Before;
    QDateTime After;
    bool operator==(const TClockStep&) const = default;
};

// "De klok is 3,2 s vooruitgezet." or "... teruggezet."
QString ClockStepText(const TClockStep& Step);
// The trouble text of a clock that has not been synchronised since Since.
QString ClockUnsyncedText(const QDateTime& Since, int64_t MaxErrorMicroseconds);

// Watches the wall clock from the clock tick: its status as the kernel tells it (read every
// ProbeMilliseconds of elapsed time, not every tick) and every step it makes. A step shows as
// a change of more than StepMilliseconds in the difference between the wall clock and the
// monotonic clock from one tick to the next; a slow correction never does.
//
// Lives on the thread of the clock tick.
class TClockWatch {
public:
    static constexpr int64_t ProbeMilliseconds = 10000;
    static constexpr int64_t StepMilliseconds = 1000;

    // Clock: the wall clock; Elapsed: the monotonic one that goes with it.
    TClockWatch(TClock Clock, TElapsedClock Elapsed, TClockProbe Probe = KernelClockStatus);

    // One clock tick: reads both clocks, and the status when it is due. Returns the step the
    // wall clock made since the last tick, if it made one.
    std::optional<TClockStep> Tick();
    // The status as last read; none before the first tick or when it could not be read.
    const std::optional<TClockStatus>& Current() const { return FCurrent; }
    // For how long, by the monotonic clock, the status has said the clock is not synchronised,
    // up to the last tick; 0 while it is, or cannot be read.
    double UnsyncedSeconds() const;

private:
    TClock FClock;
    TElapsedClock FElapsed;
    TClockProbe FProbe;
    std::optional<TClockStatus> FCurrent;
    // The monotonic clock at the last tick, at the last read of the status, and at the first
    // read of the status that found the clock unsynchronised.
    int64_t FTickedAt = 0;
    std::optional<int64_t> FProbedAt;
    std::optional<int64_t> FUnsyncedSince;
    // Wall clock minus monotonic clock at the last tick, in milliseconds.
    std::optional<int64_t> FOffset;
};
