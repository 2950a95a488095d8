// Times the coverage ledger on a log of a year of hourly recordings with some hundreds of gaps:
// the ledger of 30 days picked at random (ReadCoverage: two queries, the day's schedule and the
// reckoning) and of 30 single hours (ReadCoverageHour, as at the end of each hour), each against
// the sqlite3 command running the same two queries for those days or hours. The command's own
// start is taken out: its time is that of a run with the queries less that of a run without.

#include "control/Coverage.h"
#include "data/uData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Runs = 7;
constexpr int Hours = 8760;
constexpr int Picks = 30;
const QDateTime First(QDate(2025, 1, 1), QTime(0, 0));
const QDateTime Now(QDate(2026, 3, 5), QTime(14, 5));

// The store's two statements, as AudioTimesOverlapping and GapsOverlapping run them.
const char* const RecordingsQuery =
    "SELECT recording_id, start_at, end_at, frames, sample_rate, drift_ppm, clock_synced, "
    "clock_max_error_us, end_estimated FROM recording_times WHERE start_ms < :to AND start_ms "
    ">= :earliest AND (end_ms IS NULL OR end_ms > :from) ORDER BY start_ms, recording_id;\n";
const char* const GapsQuery = "SELECT id, from_at, to_at, cause FROM gaps WHERE from_ms < :to AND "
                              "(to_ms IS NULL OR to_ms > :from) ORDER BY from_ms, id;\n";
constexpr int64_t LongestRecordingMs = 3 * 3600 * 1000;

// One file an hour, each cut a few milliseconds after the hour, and every 20th hour a gap of
// one of the causes (some inside a file, some between two).
void FillLog(TLogData& Data) {
    TPreset P;
    Data.GetPreset(1, P);
    for (int Day = 1; Day <= 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour)
            Data.SetSchedulePreset(Day, Hour, Hour == 3 ? 0 : P.Id);
    std::mt19937 Random(7);
    QSqlQuery(Data.Connection()).exec("BEGIN");
    for (int I = 0; I < Hours; ++I) {
        const QDateTime Start = First.addSecs(3600LL * I).addMSecs(I == 0 ? 0 : 15);
        const QDateTime End = First.addSecs(3600LL * (I + 1)).addMSecs(15);
        TAudioTimes Times;
        Times.RecordingId = Data.LogRecording(P, Start, 1, QStringLiteral("bestand.mp3"),
                                              QStringLiteral("/srv/opnamen/bestand.mp3"));
        Times.Start = Start;
        Times.End = End;
        Times.SampleRate = 44100;
        Times.Frames = Start.msecsTo(End) * 441 / 10;
        Data.SetAudioTimes(Times);
        if (I % 20 == 10) {
            const QDateTime From = Start.addSecs(std::uniform_int_distribution(60, 3000)(Random));
            const QString Cause = GapCauseCode(GapCauses[size_t(I / 20) % GapCauses.size()].Cause);
            Data.LogGap(From, From.addMSecs(std::uniform_int_distribution(500, 90000)(Random)),
                        Cause);
        }
    }
    QSqlQuery(Data.Connection()).exec("COMMIT");
}

// The two queries for [From, To) in a script for the sqlite3 command.
QByteArray QueriesScript(const QDateTime& From, const QDateTime& To) {
    const int64_t FromMs = From.toMSecsSinceEpoch(), ToMs = To.toMSecsSinceEpoch();
    return QStringLiteral(".parameter set :to %1\n.parameter set :earliest %2\n"
                          ".parameter set :from %3\n")
               .arg(ToMs)
               .arg(FromMs - LongestRecordingMs)
               .arg(FromMs)
               .toUtf8() +
           RecordingsQuery + GapsQuery;
}

double Median(std::vector<double> Times) {
    std::sort(Times.begin(), Times.end());
    return Times[Times.size() / 2];
}

double ElapsedMs(const std::function<void()>& Action) {
    QElapsedTimer Timer;
    Timer.start();
    Action();
    return static_cast<double>(Timer.nsecsElapsed()) / 1e6;
}

void RunSqlite3(const QString& DbPath, const QString& ScriptPath) {
    QProcess P;
    P.setStandardInputFile(ScriptPath);
    P.setStandardOutputFile(QProcess::nullDevice());
    P.start(QStringLiteral("sqlite3"), {DbPath});
    if (!P.waitForFinished(60000) || P.exitCode() != 0)
        throw std::runtime_error("sqlite3 failed: " + P.readAllStandardError().toStdString());
}

QString WriteScript(const QString& Path, const QByteArray& Text) {
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly) || F.write(Text) != Text.size())
        throw std::runtime_error("cannot write " + Path.toStdString());
    return Path;
}

// Medians of the own action and of sqlite3 running Script less sqlite3 running Empty, in turns
// so that a busy machine weighs on both alike.
void Compare(const char* Name, const std::function<void()>& Own, const QString& DbPath,
             const QString& Script, const QString& Empty) {
    std::vector<double> OwnTimes, RefTimes;
    for (int I = 0; I < Runs; ++I) {
        OwnTimes.push_back(ElapsedMs(Own));
        const double WithQueries = ElapsedMs([&] { RunSqlite3(DbPath, Script); });
        const double Without = ElapsedMs([&] { RunSqlite3(DbPath, Empty); });
        RefTimes.push_back(WithQueries - Without);
    }
    const double OwnMs = Median(OwnTimes), RefMs = Median(RefTimes);
    std::printf("%-34s %9.2f ms   sqlite3 %9.2f ms   ratio %.2f\n", Name, OwnMs, RefMs,
                OwnMs / RefMs);
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    QTemporaryDir Dir(QDir::currentPath() + QStringLiteral("/coverage-bench-XXXXXX"));
    try {
        const QString DbPath = Dir.filePath(QStringLiteral("log.sqlite"));
        TLogData Data(DbPath);
        FillLog(Data);

        std::mt19937 Random(2026);
        std::uniform_int_distribution<int> AnyDay(0, Hours / 24 - 1);
        std::uniform_int_distribution<int> AnyHour(0, Hours - 1);
        std::vector<QDate> Days;
        std::vector<QDateTime> HourStarts;
        QByteArray DayScript, HourScript;
        for (int I = 0; I < Picks; ++I) {
            Days.push_back(First.date().addDays(AnyDay(Random)));
            DayScript += QueriesScript(QDateTime(Days.back(), QTime(0, 0)),
                                       QDateTime(Days.back().addDays(1), QTime(0, 0)));
            HourStarts.push_back(First.addSecs(3600LL * AnyHour(Random)));
            HourScript += QueriesScript(HourStarts.back(), HourStarts.back().addSecs(3600));
        }
        const QString Empty = WriteScript(Dir.filePath("empty.sql"), "SELECT 1;\n");
        Compare(
            "coverage of 30 days",
            [&] {
                for (const QDate& Day : Days)
                    ReadCoverage(Data, Day, Now);
            },
            DbPath, WriteScript(Dir.filePath("days.sql"), DayScript), Empty);
        Compare(
            "coverage of 30 single hours",
            [&] {
                for (const QDateTime& Start : HourStarts)
                    ReadCoverageHour(Data, Start, Now);
            },
            DbPath, WriteScript(Dir.filePath("hours.sql"), HourScript), Empty);
    } catch (const std::exception& E) {
        std::fprintf(stderr, "coverage_bench: %s\n", E.what());
        return 1;
    }
    return 0;
}
