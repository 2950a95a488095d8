#include "control/RetryPolicy.h"

#include <utility>

namespace {

QDateTime HourStart(const QDateTime& Moment) {
    const QDateTime Local = Moment.toLocalTime();
    return QDateTime(Local.date(), QTime(Local.time().hour(), 0));
}

} // namespace

TRetryPolicy::TRetryPolicy(TPreset P, QString Source, const QDateTime& Moment,
                           int64_t AwaitFreeBytes)
    : FPreset(std::move(P)), FSource(std::move(Source)), FHourStart(HourStart(Moment)),
      FNext(Moment.addSecs(RetrySeconds)), FAwaitFreeBytes(AwaitFreeBytes) {}

bool TRetryPolicy::Expired(const QDateTime& Moment) const {
    return HourStart(Moment) != FHourStart;
}

bool TRetryPolicy::Due(const QDateTime& Moment, int64_t FreeBytes) const {
    return !Expired(Moment) && Moment >= FNext &&
           (FAwaitFreeBytes == 0 || FreeBytes >= FAwaitFreeBytes);
}

void TRetryPolicy::Tried(const QDateTime& Moment) {
    FNext = Moment.addSecs(RetrySeconds);
}
