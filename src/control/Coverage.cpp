#include "control/Coverage.h"

#include "base/RegionalText.h"

#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

constexpr int64_t HourMs = 3600 * 1000;
// The hour rule cuts every recording at the end of its clock hour; the store looks this far
// back for recordings that reach into a span, and the ledger lets a recording whose end was
// never written hold audio no longer than that either.
constexpr int64_t LongestRecordingMs = 3 * HourMs;

// [First, Last) in milliseconds since the epoch.
struct TSpan {
    int64_t First = 0;
    int64_t Last = 0;
    bool Holds(int64_t From, int64_t To) const { return First <= From && To <= Last; }
};

// A gap row as the ledger reads it: its span and cause, and which row began latest.
struct TCauseSpan {
    TSpan Span;
    TGapCause Cause = TGapCause::NotRunning;
    std::pair<int64_t, int64_t> Began; // its start, then its id
};

QDateTime LocalAt(int64_t Ms) {
    return QDateTime::fromMSecsSinceEpoch(Ms);
}

int32_t OffsetAt(int64_t Ms) {
    return LocalAt(Ms).offsetFromUtc();
}

// The start of the local clock hour after the one that holds Ms: the next full hour of the
// wall clock, or the change of the offset from UTC when that comes first (the autumn hour that
// repeats, the spring hour that is skipped).
int64_t NextHourStart(int64_t Ms) {
    const int32_t Offset = OffsetAt(Ms);
    const int64_t Wall = Ms + int64_t{Offset} * 1000;
    const int64_t IntoHour = (Wall % HourMs + HourMs) % HourMs;
    const int64_t FullHour = Ms + HourMs - IntoHour;
    if (OffsetAt(FullHour - 1) == Offset)
        return FullHour;
    // The offset changes within the hour: find the first millisecond with the new one.
    int64_t Same = Ms, Changed = FullHour - 1;
    while (Changed - Same > 1) {
        const int64_t Middle = Same + (Changed - Same) / 2;
        (OffsetAt(Middle) == Offset ? Same : Changed) = Middle;
    }
    return Changed;
}

// From local midnight to the next.
std::pair<QDateTime, QDateTime> DaySpan(const QDate& Day) {
    return {QDateTime(Day, QTime(0, 0)), QDateTime(Day.addDays(1), QTime(0, 0))};
}

// The local clock hours of Day in order, each as [First, Last).
QVector<TSpan> HoursOfDay(const QDate& Day) {
    const auto [From, To] = DaySpan(Day);
    const int64_t DayEnd = To.toMSecsSinceEpoch();
    QVector<TSpan> Hours;
    for (int64_t Start = From.toMSecsSinceEpoch(); Start < DayEnd;) {
        const int64_t End = std::min(NextHourStart(Start), DayEnd);
        Hours.append({Start, End});
        Start = End;
    }
    return Hours;
}

bool InsideAFile(TGapCause Cause) {
    return Cause == TGapCause::Dropped || Cause == TGapCause::Clock;
}

TCoverageHour ComputeHour(const TSpan& Hour, bool Scheduled, const TCoverageInput& Input) {
    TCoverageHour Result;
    Result.Start = LocalAt(Hour.First);
    Result.End = LocalAt(Hour.Last);
    Result.Hour = Result.Start.time().hour();
    Result.Scheduled = Scheduled;
    const int64_t Now = Input.Now.toMSecsSinceEpoch();
    const TSpan Passed{Hour.First, std::min(Hour.Last, Now)};
    if (!Scheduled || Passed.Last <= Passed.First)
        return Result;
    const auto Clipped = [&Passed](int64_t First, int64_t Last) {
        return TSpan{std::max(First, Passed.First), std::min(Last, Passed.Last)};
    };

    QVector<int64_t> Cuts{Passed.First, Passed.Last};
    QVector<TSpan> Files;
    for (const TAudioTimes& File : Input.Recordings) {
        if (!File.Start.isValid())
            continue;
        const int64_t First = File.Start.toMSecsSinceEpoch();
        const int64_t Last = File.End.isValid() ? File.End.toMSecsSinceEpoch()
                                                : std::min(Now, First + LongestRecordingMs);
        const TSpan Span = Clipped(First, Last);
        if (Span.First < Span.Last) {
            Files.append(Span);
            Cuts << Span.First << Span.Last;
        }
    }
    QVector<TCauseSpan> Causes;
    for (const TGapRow& Row : Input.Gaps) {
        // A cause this version does not know explains nothing to it.
        const std::optional<TGapCause> Cause = GapCauseFromCode(Row.Cause);
        if (!Cause || !Row.From.isValid())
            continue;
        const int64_t First = Row.From.toMSecsSinceEpoch();
        const TSpan Span = Clipped(First, Row.To.isValid() ? Row.To.toMSecsSinceEpoch() : Now);
        if (Span.First < Span.Last) {
            Causes.append({Span, *Cause, {First, Row.Id}});
            Cuts << Span.First << Span.Last;
        }
    }
    std::sort(Cuts.begin(), Cuts.end());
    Cuts.erase(std::unique(Cuts.begin(), Cuts.end()), Cuts.end());

    // Between two neighbouring cuts every file and gap either holds all the time or none of it.
    for (qsizetype I = 0; I + 1 < Cuts.size(); ++I) {
        const int64_t From = Cuts[I], To = Cuts[I + 1];
        const bool InFile = std::any_of(Files.begin(), Files.end(),
                                        [&](const TSpan& File) { return File.Holds(From, To); });
        const TCauseSpan* Latest = nullptr;
        for (const TCauseSpan& Gap : Causes)
            if (Gap.Span.Holds(From, To) && (!Latest || Latest->Began < Gap.Began))
                Latest = &Gap;
        const bool LostInFile = std::any_of(Causes.begin(), Causes.end(), [&](const auto& Gap) {
            return InsideAFile(Gap.Cause) && Gap.Span.Holds(From, To);
        });
        if (InFile && !LostInFile) {
            Result.RecordedMs += To - From;
            continue;
        }
        Result.MissingMs += To - From;
        const TGapCause Cause = Latest ? Latest->Cause : TGapCause::NotRunning;
        if (!Result.Gaps.isEmpty() && Result.Gaps.last().Cause == Cause &&
            Result.Gaps.last().To.toMSecsSinceEpoch() == From)
            Result.Gaps.last().To = LocalAt(To);
        else
            Result.Gaps.append({LocalAt(From), LocalAt(To), Cause});
    }
    Result.RecordedSeconds = static_cast<double>(Result.RecordedMs) / 1000;
    Result.MissingSeconds = static_cast<double>(Result.MissingMs) / 1000;
    return Result;
}

int64_t Tenths(int64_t Ms) {
    return (Ms + 50) / 100;
}

// Tenths as "3587,6" with the regional decimal separator.
QString TenthsText(int64_t Value) {
    return QString::number(Value / 10) + QLocale().decimalPoint() + QString::number(Value % 10);
}

// Tenths as "3587.6", as JSON writes numbers.
QByteArray TenthsJson(int64_t Value) {
    return QByteArray::number(Value / 10) + '.' + QByteArray::number(Value % 10);
}

// "14:20:03,120" on the 24-hour clock with the regional separators.
QString MomentText(const QDateTime& Moment) {
    const QTime Time = Moment.time();
    return TimeDisplayText(Time) + QLocale().decimalPoint() +
           QStringLiteral("%1").arg(Time.msec(), 3, 10, QLatin1Char('0'));
}

// "14:00", and "02:00 (+01:00)" for an hour whose clock hour the day has twice.
QString HourLabel(const TCoverageHour& Hour, const TCoverageDay& Day) {
    const QString Label = QStringLiteral("%1%2%3")
                              .arg(Hour.Hour, 2, 10, QLatin1Char('0'))
                              .arg(TimeSeparator())
                              .arg(QStringLiteral("00"));
    const bool Repeated = std::count_if(Day.Hours.begin(), Day.Hours.end(),
                                        [&](const auto& H) { return H.Hour == Hour.Hour; }) > 1;
    if (!Repeated)
        return Label;
    const int32_t Minutes = Hour.Start.offsetFromUtc() / 60;
    return Label + QStringLiteral(" (%1%2%3%4)")
                       .arg(QChar(Minutes < 0 ? u'-' : u'+'))
                       .arg(std::abs(Minutes) / 60, 2, 10, QLatin1Char('0'))
                       .arg(TimeSeparator())
                       .arg(std::abs(Minutes) % 60, 2, 10, QLatin1Char('0'));
}

QString GapsText(const TCoverageHour& Hour) {
    QStringList Parts;
    for (const TCoverageGap& Gap : Hour.Gaps)
        Parts << MomentText(Gap.From) + u'\u2013' + MomentText(Gap.To) + u' ' +
                     GapCauseDutch(Gap.Cause);
    return Parts.join(QStringLiteral("; "));
}

// Rows of cells, each column as wide as its widest cell and two blanks apart; the last cell
// of a row is not padded.
QString TableText(const QVector<QStringList>& Rows) {
    QVector<qsizetype> Widths;
    for (const QStringList& Row : Rows)
        for (qsizetype I = 0; I < Row.size(); ++I) {
            if (Widths.size() <= I)
                Widths.append(0);
            Widths[I] = std::max(Widths[I], Row[I].size());
        }
    QString Text;
    for (const QStringList& Row : Rows) {
        QString Line;
        for (qsizetype I = 0; I < Row.size(); ++I)
            Line += I + 1 < Row.size() ? Row[I].leftJustified(Widths[I] + 2) : Row[I];
        Text += Line.trimmed() + u'\n';
    }
    return Text;
}

} // namespace

QString GapCauseCode(TGapCause Cause) {
    for (const TGapCauseNames& Names : GapCauses)
        if (Names.Cause == Cause)
            return QString::fromUtf8(Names.Code.data(), qsizetype(Names.Code.size()));
    return {};
}

QString GapCauseDutch(TGapCause Cause) {
    for (const TGapCauseNames& Names : GapCauses)
        if (Names.Cause == Cause)
            return QString::fromUtf8(Names.Dutch.data(), qsizetype(Names.Dutch.size()));
    return {};
}

std::optional<TGapCause> GapCauseFromCode(const QString& Code) {
    for (const TGapCauseNames& Names : GapCauses)
        if (Code == QLatin1String(Names.Code.data(), qsizetype(Names.Code.size())))
            return Names.Cause;
    return std::nullopt;
}

TCoverageHour::TState TCoverageHour::State() const {
    if (!Scheduled)
        return TState::NotScheduled;
    if (RecordedMs + MissingMs == 0)
        return TState::Future;
    if (MissingMs == 0)
        return TState::Full;
    return RecordedMs == 0 ? TState::Missing : TState::Partial;
}

TCoverageDay ComputeCoverage(const QDate& Day, const TCoverageInput& Input) {
    TCoverageDay Result{Day, {}};
    for (const TSpan& Hour : HoursOfDay(Day)) {
        const int ClockHour = LocalAt(Hour.First).time().hour();
        Result.Hours.append(ComputeHour(Hour, Input.Scheduled[size_t(ClockHour)], Input));
    }
    return Result;
}

TCoverageDay ReadCoverage(TLogData& Data, const QDate& Day, const QDateTime& Now) {
    const auto [From, To] = DaySpan(Day);
    TCoverageInput Input;
    Input.Recordings = Data.AudioTimesOverlapping(From, To);
    Input.Gaps = Data.GapsOverlapping(From, To);
    // The weekly schedule keeps no history: a past day is measured against the schedule in
    // force now.
    for (int Hour = 0; Hour < 24; ++Hour)
        Input.Scheduled[size_t(Hour)] = Data.GetSchedulePreset(Day.dayOfWeek(), Hour) != 0;
    Input.Now = Now;
    return ComputeCoverage(Day, Input);
}

TCoverageHour ReadCoverageHour(TLogData& Data, const QDateTime& HourStart, const QDateTime& Now) {
    const int64_t At = HourStart.toMSecsSinceEpoch();
    const QDate Day = HourStart.toLocalTime().date();
    const QVector<TSpan> Hours = HoursOfDay(Day);
    const auto Hour = std::find_if(Hours.begin(), Hours.end(),
                                   [At](const TSpan& H) { return H.First <= At && At < H.Last; });
    const TSpan Span = Hour == Hours.end() ? TSpan{At, NextHourStart(At)} : *Hour;
    const QDateTime From = LocalAt(Span.First), To = LocalAt(Span.Last);
    TCoverageInput Input;
    Input.Recordings = Data.AudioTimesOverlapping(From, To);
    Input.Gaps = Data.GapsOverlapping(From, To);
    Input.Now = Now;
    const int ClockHour = From.time().hour();
    const bool Scheduled = Data.GetSchedulePreset(Day.dayOfWeek(), ClockHour) != 0;
    return ComputeHour(Span, Scheduled, Input);
}

int64_t MissingTenths(const TCoverageHour& Hour) {
    return Tenths(Hour.MissingMs);
}

int64_t RecordedTenths(const TCoverageHour& Hour) {
    return Tenths(Hour.RecordedMs + Hour.MissingMs) - MissingTenths(Hour);
}

QString CoverageText(const TCoverageDay& Day) {
    QVector<QStringList> Rows{{QStringLiteral("Uur"), QStringLiteral("Gepland"),
                               QStringLiteral("Opgenomen"), QStringLiteral("Ontbreekt"),
                               QStringLiteral("Oorzaak")}};
    int ScheduledHours = 0;
    int64_t Recorded = 0, Missing = 0;
    for (const TCoverageHour& Hour : Day.Hours) {
        const QString Label = HourLabel(Hour, Day);
        switch (Hour.State()) {
        case TCoverageHour::TState::NotScheduled:
            Rows.append({Label, QStringLiteral("nee")});
            continue;
        case TCoverageHour::TState::Future:
            Rows.append({Label, QStringLiteral("ja"), QString(), QString(),
                         QStringLiteral("nog niet begonnen")});
            ++ScheduledHours;
            continue;
        default:
            break;
        }
        ++ScheduledHours;
        Recorded += RecordedTenths(Hour);
        Missing += MissingTenths(Hour);
        Rows.append({Label, QStringLiteral("ja"), TenthsText(RecordedTenths(Hour)) + " s",
                     TenthsText(MissingTenths(Hour)) + " s", GapsText(Hour)});
    }
    Rows.append({QStringLiteral("Totaal"), QStringLiteral("%1 uur").arg(ScheduledHours),
                 TenthsText(Recorded) + " s", TenthsText(Missing) + " s"});
    return TableText(Rows);
}

QByteArray CoverageJson(const TCoverageDay& Day) {
    // Every text written here is a date, a time or a cause code: none needs escaping.
    const auto Quoted = [](const QString& Text) { return '"' + Text.toUtf8() + '"'; };
    QByteArrayList Hours;
    for (const TCoverageHour& Hour : Day.Hours) {
        QByteArrayList Gaps;
        for (const TCoverageGap& Gap : Hour.Gaps)
            Gaps << "{\"from\": " + Quoted(ExactTimeText(Gap.From)) +
                        ", \"to\": " + Quoted(ExactTimeText(Gap.To)) +
                        ", \"cause\": " + Quoted(GapCauseCode(Gap.Cause)) + '}';
        Hours << "{\"hour\": " + QByteArray::number(Hour.Hour) +
                     ", \"start\": " + Quoted(ExactTimeText(Hour.Start)) +
                     ", \"scheduled\": " + (Hour.Scheduled ? "true" : "false") +
                     ", \"recorded_s\": " + TenthsJson(RecordedTenths(Hour)) +
                     ", \"missing_s\": " + TenthsJson(MissingTenths(Hour)) + ", \"gaps\": [" +
                     Gaps.join(", ") + "]}";
    }
    return "{\"date\": " + Quoted(Day.Date.toString(Qt::ISODate)) + ", \"hours\": [" +
           Hours.join(", ") + "]}";
}
