// Times a retention run over a log of 100,000 recordings, 10,000 of them due (KeepDays), from
// reading the log to the last emptied folder, against `find -delete` removing the same 10,000
// files (chosen by their modification time) from an equal tree. Each side runs on a fresh copy
// of the tree; the lower of three runs counts.

#include "control/Retention.h"
#include "control/RetentionScheduler.h"
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
#include <optional>
#include <utime.h>

namespace {

constexpr int Recordings = 100000;
constexpr int Due = 10000;
constexpr int Runs = 3;
const QDateTime Now(QDate(2026, 3, 5), QTime(14, 5));

// The moment recording I (0 the oldest) started: one an hour up to Now.
QDateTime StartedAt(int I) {
    return Now.addSecs(-3600LL * (Recordings - I));
}

QString PathOf(const QString& Root, int I) {
    return Root + StartedAt(I).toString("/yyyy/MM/dd/ddMMyyyyhh") + QStringLiteral("1.mp3");
}

// A tree of one small file a recording, each with its start as modification time.
void MakeTree(const QString& Root) {
    QString Folder;
    for (int I = 0; I < Recordings; ++I) {
        const QString Path = PathOf(Root, I);
        if (const QString Day = QFileInfo(Path).path(); Day != Folder) {
            QDir().mkpath(Day);
            Folder = Day;
        }
        QFile F(Path);
        F.open(QIODevice::WriteOnly);
        F.write("x");
        F.close();
        const utimbuf Times{StartedAt(I).toSecsSinceEpoch(), StartedAt(I).toSecsSinceEpoch()};
        utime(QFile::encodeName(Path).constData(), &Times);
    }
}

void FillLog(TLogData& Data, const QString& Root) {
    TPreset P;
    Data.GetPreset(1, P);
    QSqlQuery(Data.Connection()).exec("BEGIN");
    for (int I = 0; I < Recordings; ++I)
        Data.LogRecording(P, StartedAt(I), 1, QFileInfo(PathOf(Root, I)).fileName(),
                          PathOf(Root, I));
    QSqlQuery(Data.Connection()).exec("COMMIT");
}

// Seconds of a retention run with KeepDays set so that the Due oldest go.
double OurRun(TLogData& Data, const QString& Root) {
    const int KeepDays = static_cast<int>(StartedAt(Due).daysTo(Now));
    QElapsedTimer Clock;
    Clock.start();
    TRetentionData Pages(Data.Connection().databaseName());
    const auto Deleted =
        ApplyRetention(
            [&Pages](const TPageStart& After, const QDateTime& Before) {
                return Pages.LoggedFilesAfter(After, Before, TRetentionScheduler::PageRows);
            },
            {KeepDays, 0, true}, Now, Root, QString(), [](const QString&) { return int64_t{-1}; },
            [&Root](const TRetentionDeletion& Recording) {
                return DeleteRecording(Recording.Path, Root);
            })
            .Deleted;
    const double Seconds = Clock.nsecsElapsed() / 1e9;
    if (static_cast<int>(Deleted.size()) < Due - 24 || static_cast<int>(Deleted.size()) > Due + 24)
        std::printf("retention deleted %zu files, not about %d\n", Deleted.size(), Due);
    return Seconds;
}

// Seconds of find deleting the files that started before the same day, and their empty
// folders.
double FindRun(const QString& Root) {
    const int KeepDays = static_cast<int>(StartedAt(Due).daysTo(Now));
    const QString Before = Now.addDays(-KeepDays).toString("yyyy-MM-dd hh:mm:ss");
    QElapsedTimer Clock;
    Clock.start();
    QProcess::execute("find", {Root, "-type", "f", "!", "-newermt", Before, "-delete"});
    QProcess::execute("find", {Root, "-mindepth", "1", "-type", "d", "-empty", "-delete"});
    return Clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    QTemporaryDir Dir;
    const QString Root = Dir.filePath("Opnames");
    std::optional<double> Ours;
    std::optional<double> Find;
    for (int Run = 0; Run < Runs; ++Run) {
        QDir(Root).removeRecursively();
        QFile::remove(Dir.filePath("log.sqlite"));
        MakeTree(Root);
        {
            TLogData Data(Dir.filePath("log.sqlite"));
            FillLog(Data, Root);
            const double Seconds = OurRun(Data, Root);
            Ours = std::min(Ours.value_or(Seconds), Seconds);
        }
        QDir(Root).removeRecursively();
        MakeTree(Root);
        const double Seconds = FindRun(Root);
        Find = std::min(Find.value_or(Seconds), Seconds);
    }
    std::printf("retention: %d logged recordings, %d due: retention run %.3f s, find -delete "
                "%.3f s: ratio %.2f\n",
                Recordings, Due, *Ours, *Find, *Ours / *Find);
    return 0;
}
