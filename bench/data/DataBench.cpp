// Times the two database paths an operator waits for, each against the sqlite3 command running
// the same statements on an equal file: saving all 168 schedule cells, and opening a database
// that holds 100,000 recordings.

#include "data/uData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Runs = 7;
constexpr int Recordings = 100000;

const char* const OpeningScript =
    "PRAGMA locking_mode=NORMAL;\n"
    "PRAGMA synchronous=NORMAL;\n"
    "PRAGMA journal_mode=DELETE;\n"
    "CREATE TABLE IF NOT EXISTS presets (  id INTEGER PRIMARY KEY AUTOINCREMENT,  name TEXT NOT "
    "NULL,  format TEXT NOT NULL,  samplerate INTEGER NOT NULL,  channels INTEGER NOT NULL,  "
    "bitrate INTEGER NOT NULL,  sortorder INTEGER NOT NULL);\n"
    "CREATE TABLE IF NOT EXISTS schedule (  day INTEGER NOT NULL,  hour INTEGER NOT NULL,  "
    "preset_id INTEGER NOT NULL DEFAULT 0,  PRIMARY KEY(day, hour));\n"
    "CREATE TABLE IF NOT EXISTS recordings (  id INTEGER PRIMARY KEY AUTOINCREMENT,  rec_dt TEXT "
    "NOT NULL,  rec_date TEXT NOT NULL,  rec_hour INTEGER NOT NULL,  rec_number INTEGER NOT "
    "NULL,  preset_name TEXT,  format TEXT,  filename TEXT,  filepath TEXT,  title TEXT,  "
    "persons TEXT,  duration_sec INTEGER,  created_at TEXT);\n"
    "CREATE TABLE IF NOT EXISTS events (  id INTEGER PRIMARY KEY AUTOINCREMENT,  event_dt TEXT "
    "NOT NULL,  event TEXT NOT NULL,  kind TEXT NOT NULL,  text TEXT,  filepath TEXT);\n"
    "CREATE INDEX IF NOT EXISTS recordings_rec_dt ON recordings(rec_dt);\n"
    "SELECT COUNT(*) FROM presets;\n";

// The upsert of every cell with its named values, as the schedule editor's OK runs it.
QByteArray ScheduleScript(int PresetId) {
    QByteArray Script = ".timeout 5000\nPRAGMA locking_mode=NORMAL;\nPRAGMA synchronous=NORMAL;\n"
                        "PRAGMA journal_mode=DELETE;\n";
    for (int Day = 1; Day <= 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour)
            Script += QStringLiteral(".parameter set :d %1\n.parameter set :h %2\n"
                                     ".parameter set :p %3\n.parameter set :p2 %3\n"
                                     "INSERT INTO schedule(day,hour,preset_id) VALUES(:d,:h,:p) "
                                     "ON CONFLICT(day,hour) DO UPDATE SET preset_id=:p2;\n")
                          .arg(Day)
                          .arg(Hour)
                          .arg(PresetId)
                          .toUtf8();
    return Script;
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

// Medians of the two actions, run in turns so that a busy disk weighs on both alike.
std::pair<double, double> MedianMsInTurns(const std::function<void()>& Own,
                                          const std::function<void()>& Reference) {
    std::vector<double> OwnTimes, ReferenceTimes;
    for (int I = 0; I < Runs; ++I) {
        OwnTimes.push_back(ElapsedMs(Own));
        ReferenceTimes.push_back(ElapsedMs(Reference));
    }
    return {Median(OwnTimes), Median(ReferenceTimes)};
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

void FillRecordings(TLogData& Data) {
    QSqlQuery Q(Data.Connection());
    Q.exec(QStringLiteral("BEGIN"));
    Q.prepare(QStringLiteral("INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,"
                             "preset_name,format,filename,filepath,title,persons,duration_sec,"
                             "created_at) VALUES(:dt,:dd,:hh,1,'MP3 128 Kbit Stereo','MP3',:fn,"
                             ":fp,'','',3600,:dt)"));
    const QDateTime First(QDate(2014, 1, 1), QTime(0, 0));
    for (int I = 0; I < Recordings; ++I) {
        const QDateTime At = First.addSecs(3600LL * I);
        Q.bindValue(QStringLiteral(":dt"), DateTimeText(At));
        Q.bindValue(QStringLiteral(":dd"), DateText(At));
        Q.bindValue(QStringLiteral(":hh"), At.time().hour());
        Q.bindValue(QStringLiteral(":fn"), At.toString(QStringLiteral("ddMMyyyyhh")) + "1.mp3");
        Q.bindValue(QStringLiteral(":fp"),
                    "/srv/opnamen/" + At.toString("yyyy/MM/dd/ddMMyyyyhh") + "1.mp3");
        if (!Q.exec())
            throw std::runtime_error(Q.lastError().text().toStdString());
    }
    Q.exec(QStringLiteral("COMMIT"));
}

void Report(const char* Name, double OwnMs, double ReferenceMs) {
    std::printf("%-34s %9.2f ms   sqlite3 %9.2f ms   ratio %.2f\n", Name, OwnMs, ReferenceMs,
                OwnMs / ReferenceMs);
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    // On the disk of the working folder, not a memory file system: every save syncs.
    QTemporaryDir Dir(QDir::currentPath() + QStringLiteral("/data-bench-XXXXXX"));
    try {
        const QString OwnDb = Dir.filePath(QStringLiteral("own.sqlite"));
        const QString RefDb = Dir.filePath(QStringLiteral("ref.sqlite"));
        {
            TLogData Own(OwnDb);
            TLogData Ref(RefDb);
            const QString Scripts[2] = {
                WriteScript(Dir.filePath(QStringLiteral("s1.sql")), ScheduleScript(1)),
                WriteScript(Dir.filePath(QStringLiteral("s2.sql")), ScheduleScript(2))};
            int Round = 0;
            const auto [OwnMs, RefMs] = MedianMsInTurns(
                [&] {
                    ++Round;
                    for (int Day = 1; Day <= 7; ++Day)
                        for (int Hour = 0; Hour < 24; ++Hour)
                            Own.SetSchedulePreset(Day, Hour, Round % 2 + 1);
                },
                [&] { RunSqlite3(RefDb, Scripts[Round % 2]); });
            Report("schedule save, 168 cells", OwnMs, RefMs);
        }
        {
            {
                TLogData Own(OwnDb);
                FillRecordings(Own);
            }
            QFile::remove(RefDb);
            QFile::copy(OwnDb, RefDb);
            // The command's own start is taken out: one opening is the difference between a
            // run with 1 + OpensPerRun openings and a run with one.
            constexpr int OpensPerRun = 100;
            const QByteArray Opening = ".open " + RefDb.toUtf8() + "\n" + OpeningScript;
            const QString Once = WriteScript(Dir.filePath(QStringLiteral("o1.sql")), Opening);
            const QString Many = WriteScript(Dir.filePath(QStringLiteral("on.sql")),
                                             Opening.repeated(OpensPerRun + 1));
            std::vector<double> OwnTimes, RefTimes;
            for (int I = 0; I < Runs; ++I) {
                OwnTimes.push_back(ElapsedMs([&] {
                                       for (int Open = 0; Open < OpensPerRun; ++Open)
                                           TLogData Own(OwnDb);
                                   }) /
                                   OpensPerRun);
                const double OnceMs = ElapsedMs([&] { RunSqlite3(RefDb, Once); });
                const double ManyMs = ElapsedMs([&] { RunSqlite3(RefDb, Many); });
                RefTimes.push_back((ManyMs - OnceMs) / OpensPerRun);
            }
            Report("open with 100,000 recordings", Median(OwnTimes), Median(RefTimes));
        }
    } catch (const std::exception& E) {
        std::fprintf(stderr, "data_bench: %s\n", E.what());
        return 1;
    }
    return 0;
}
