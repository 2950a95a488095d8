#pragma once

#include <QDateTime>
#include <chrono>
#include <cstdint>
#include <functional>

// The local time as the recorder and the controller read it. The program uses the real
// clock; tests pass their own to walk across hour boundaries.
using TClock = std::function<QDateTime()>;

inline QDateTime SystemNow() {
    return QDateTime::currentDateTime();
}

// Milliseconds passed since some fixed moment, for lengths. The program reads the monotonic
// clock, which a step of the wall clock (a correction, a resume after suspend) does not move.
using TElapsedClock = std::function<int64_t()>;

inline int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The passing of time that goes with Clock: the monotonic clock for the system's own clock;
// a test's clock stands for both.
inline TElapsedClock ElapsedClockOf(const TClock& Clock) {
    if (const auto* Function = Clock.target<QDateTime (*)()>(); Function && *Function == &SystemNow)
        return SteadyMilliseconds;
    return [Clock] { return Clock().toMSecsSinceEpoch(); };
}
