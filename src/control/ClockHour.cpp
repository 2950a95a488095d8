#include "control/ClockHour.h"

TClockHour ClockHourOf(const QDateTime& Moment) {
    const QDateTime Local = Moment.toLocalTime();
    const int32_t Offset = Local.offsetFromUtc();
    const int64_t Wall = Local.toSecsSinceEpoch() + Offset;
    // Floor division: wall-clock times before 1970 stay in their own hour.
    const int64_t Hour = Wall >= 0 ? Wall / 3600 : (Wall - 3599) / 3600;
    return {Hour, Offset};
}
