#include "data/SqlRows.h"
#include "data/uData.h"

namespace {

// Recordings end at the latest an hour and some seconds after they start (the hour rule cuts
// them), so a start this long before a span is the earliest that can reach into it; the
// index on the start then bounds the search.
constexpr int64_t LongestRecordingMs = 3 * 3600 * 1000;

QVariant Optional(const auto& Value) {
    return Value ? QVariant::fromValue(*Value) : QVariant();
}

QVariant MsOrNull(const QDateTime& Moment) {
    return Moment.isValid() ? QVariant::fromValue(Moment.toMSecsSinceEpoch()) : QVariant();
}

QVariant TextOrNull(const QDateTime& Moment) {
    return Moment.isValid() ? QVariant(ExactTimeText(Moment)) : QVariant();
}

const QString AudioTimesColumns = QStringLiteral(
    "SELECT recording_id, start_at, end_at, frames, sample_rate, drift_ppm, clock_synced, "
    "clock_max_error_us, end_estimated FROM recording_times");

TAudioTimes AudioTimesFromRow(const QSqlQuery& Q) {
    TAudioTimes T;
    T.RecordingId = Q.value(0).toInt();
    T.Start = ExactTimeFromText(Q.value(1).toString());
    T.End = ExactTimeFromText(Q.value(2).toString());
    T.Frames = Q.value(3).toLongLong();
    T.SampleRate = Q.value(4).toInt();
    if (!Q.value(5).isNull())
        T.DriftPpm = Q.value(5).toDouble();
    if (!Q.value(6).isNull())
        T.ClockSynced = Q.value(6).toBool();
    if (!Q.value(7).isNull())
        T.ClockMaxErrorMicroseconds = Q.value(7).toLongLong();
    T.EndEstimated = Q.value(8).toBool();
    return T;
}

} // namespace

QString ExactTimeText(const QDateTime& Moment) {
    return Moment.toOffsetFromUtc(Moment.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QDateTime ExactTimeFromText(const QString& Text) {
    return Text.isEmpty() ? QDateTime() : QDateTime::fromString(Text, Qt::ISODateWithMs);
}

void TLogData::SetAudioTimes(const TAudioTimes& T) {
    Run(QStringLiteral("INSERT OR REPLACE INTO recording_times (recording_id, start_at, start_ms, "
                       "end_at, end_ms, frames, sample_rate, drift_ppm, clock_synced, "
                       "clock_max_error_us, end_estimated) VALUES (:id, :sa, :sm, :ea, :em, :fr, "
                       ":sr, :dp, :cs, :ce, :ee)"),
        {{":id", T.RecordingId},
         {":sa", ExactTimeText(T.Start)},
         {":sm", T.Start.toMSecsSinceEpoch()},
         {":ea", TextOrNull(T.End)},
         {":em", MsOrNull(T.End)},
         {":fr", QVariant::fromValue(T.Frames)},
         {":sr", T.SampleRate},
         {":dp", Optional(T.DriftPpm)},
         {":cs", T.ClockSynced ? QVariant(*T.ClockSynced ? 1 : 0) : QVariant()},
         {":ce", Optional(T.ClockMaxErrorMicroseconds)},
         {":ee", T.EndEstimated ? 1 : 0}});
}

QVector<TAudioTimes> TLogData::AudioTimesOverlapping(const QDateTime& From, const QDateTime& To) {
    const int64_t FromMs = From.toMSecsSinceEpoch();
    QSqlQuery Q = Run(
        AudioTimesColumns +
            QStringLiteral(" WHERE start_ms < :to AND start_ms >= :earliest AND (end_ms IS NULL "
                           "OR end_ms > :from) ORDER BY start_ms, recording_id"),
        {{":to", To.toMSecsSinceEpoch()},
         {":earliest", QVariant::fromValue(FromMs - LongestRecordingMs)},
         {":from", QVariant::fromValue(FromMs)}});
    QVector<TAudioTimes> Rows;
    while (NextRow(Q))
        Rows.append(AudioTimesFromRow(Q));
    return Rows;
}

QVector<TAudioTimes> TLogData::AudioTimesWithoutEnd() {
    QSqlQuery Q =
        Run(AudioTimesColumns + QStringLiteral(" WHERE end_ms IS NULL ORDER BY start_ms"));
    QVector<TAudioTimes> Rows;
    while (NextRow(Q))
        Rows.append(AudioTimesFromRow(Q));
    return Rows;
}

int64_t TLogData::LogGap(const QDateTime& From, const QDateTime& To, const QString& Cause) {
    Run(QStringLiteral("INSERT INTO gaps (from_at, from_ms, to_at, to_ms, cause) VALUES (:fa, "
                       ":fm, :ta, :tm, :c)"),
        {{":fa", ExactTimeText(From)},
         {":fm", From.toMSecsSinceEpoch()},
         {":ta", TextOrNull(To)},
         {":tm", MsOrNull(To)},
         {":c", Cause}});
    return Single(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
}

void TLogData::CloseGap(int64_t Id, const QDateTime& To) {
    Run(QStringLiteral("UPDATE gaps SET to_at=:ta, to_ms=:tm WHERE id=:id"),
        {{":ta", ExactTimeText(To)},
         {":tm", To.toMSecsSinceEpoch()},
         {":id", QVariant::fromValue(Id)}});
}

void TLogData::CloseOpenGaps(const QDateTime& To) {
    // A gap never ends before it began, even when the clock was set back since.
    Run(QStringLiteral("UPDATE gaps SET to_at=CASE WHEN from_ms > :tm THEN from_at ELSE :ta END, "
                       "to_ms=MAX(from_ms, :tm2) WHERE to_ms IS NULL"),
        {{":ta", ExactTimeText(To)},
         {":tm", To.toMSecsSinceEpoch()},
         {":tm2", To.toMSecsSinceEpoch()}});
}

QVector<TGapRow> TLogData::GapsOverlapping(const QDateTime& From, const QDateTime& To) {
    QSqlQuery Q = Run(QStringLiteral("SELECT id, from_at, to_at, cause FROM gaps WHERE from_ms < "
                                     ":to AND (to_ms IS NULL OR to_ms > :from) ORDER BY from_ms, "
                                     "id"),
                      {{":to", To.toMSecsSinceEpoch()}, {":from", From.toMSecsSinceEpoch()}});
    QVector<TGapRow> Rows;
    while (NextRow(Q))
        Rows.append({Q.value(0).toLongLong(), ExactTimeFromText(Q.value(1).toString()),
                     ExactTimeFromText(Q.value(2).toString()), Q.value(3).toString()});
    return Rows;
}
