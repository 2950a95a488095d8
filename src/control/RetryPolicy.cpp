#include "control/RetryPolicy.h"

#include <utility>

TRetryPolicy::TRetryPolicy(TPreset P, QString Source, const QDateTime& Moment,
                           int64_t AwaitFreeBytes)
    : FPreset(std::move(P)), FSource(std::move(Source)), FHour(ClockHourOf(Moment)),
      FNext(Moment.addSecs(RetrySeconds)), FAwaitFreeBytes(AwaitFreeBytes) {}

bool TRetryPolicy::Expired(const QDateTime& Moment) const {
    return ClockHourOf(Moment) != FHour;
}

bool TRetryPolicy::Due(const QDateTime& Moment, int64_t FreeBytes) const {
    return !Expired(Moment) && Moment >= FNext &&
           (FAwaitFreeBytes == 0 || FreeBytes >= FAwaitFreeBytes);
}

void TRetryPolicy::Tried(const QDateTime& Moment) {
    FNext = Moment.addSecs(RetrySeconds);
}
