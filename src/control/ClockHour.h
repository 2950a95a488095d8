#pragma once

#include <QDateTime>
#include <cstdint>

// The clock hour a moment falls in, as the local clock names it: its wall-clock hour and the
// offset from UTC in force. The autumn hour that the clock shows twice is two hours here, as
// it is two hours of audio; a moment reached by a step of the clock falls in its own hour
// like any other.
struct TClockHour {
    int64_t WallHour = 0; // whole hours of local wall-clock time since the epoch
    int32_t OffsetSeconds = 0;
    bool operator==(const TClockHour&) const = default;
};

TClockHour ClockHourOf(const QDateTime& Moment);
