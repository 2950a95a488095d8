// Opening the recordings log window on logs of 1,000, 10,000 and 100,000 recordings, against
// the sqlite3 command-line shell running the same listing on the same file. Reading the log
// and sizing its columns must cost the same per row however long the log grows.

#include "data/uData.h"
#include "ui/DarkStyle.h"
#include "ui/uLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Runs = 3;

void Check(bool Ok, const QSqlQuery& Query) {
    if (!Ok)
        throw std::runtime_error(Query.lastError().text().toStdString());
}

// Fills the log with Count recordings, one per hour, in one transaction: the program logs
// one statement at a time, but a benchmark needs its data quickly.
void FillLog(int Count) {
    QSqlDatabase Db = LogData->Connection();
    Db.transaction();
    QSqlQuery Insert(Db);
    Check(Insert.prepare("INSERT INTO recordings(rec_dt,rec_date,rec_hour,rec_number,"
                         "preset_name,format,filename,filepath,title,persons,duration_sec,"
                         "created_at) VALUES(:dt,:dd,:hh,1,:pn,:fm,:fn,:fp,:t,:p,3600,:dt)"),
          Insert);
    const QDateTime Start(QDate(2014, 1, 1), QTime(0, 0));
    for (int I = 0; I < Count; ++I) {
        const QDateTime At = Start.addSecs(3600LL * I);
        const bool Mp3 = I % 3 != 0;
        const QString Name = At.toString("ddMMyyyyHH") + "1" + (Mp3 ? ".mp3" : ".wav");
        Insert.bindValue(":dt", DateTimeText(At));
        Insert.bindValue(":dd", DateText(At));
        Insert.bindValue(":hh", At.time().hour());
        Insert.bindValue(":pn", Mp3 ? "MP3 128 Kbit Stereo" : "WAV 44 kHz Stereo");
        Insert.bindValue(":fm", Mp3 ? "MP3" : "WAV");
        Insert.bindValue(":fn", Name);
        Insert.bindValue(":fp", "/srv/opnames/" + At.toString("yyyy/MM/dd/") + Name);
        Insert.bindValue(":t", I % 5 == 0 ? QString("Uitzending %1").arg(I) : QString());
        Insert.bindValue(":p", I % 7 == 0 ? QString("Anna de Vries, Bert Jansen") : QString());
        Check(Insert.exec(), Insert);
    }
    Db.commit();
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values[Values.size() / 2];
}

// Milliseconds from creating the window until it is shown and painted.
double OpenWindowMs() {
    QElapsedTimer Timer;
    Timer.start();
    TfrmLog Window;
    Window.show();
    QApplication::processEvents();
    return Timer.nsecsElapsed() / 1e6;
}

double Sqlite3Ms(const QString& DbPath) {
    QProcess Shell;
    Shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer Timer;
    Timer.start();
    Shell.start("sqlite3", {"-readonly", DbPath, LogListingSql});
    if (!Shell.waitForFinished(600000) || Shell.exitCode() != 0)
        throw std::runtime_error("sqlite3 ontbreekt of faalde");
    return Timer.nsecsElapsed() / 1e6;
}

} // namespace

int main(int Argc, char** Argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    ApplyBuiltInStyle(App);

    std::printf("Log window opening (median of %d) against sqlite3 running the same listing\n",
                Runs);
    std::printf("%9s %12s %10s %12s %9s %14s\n", "rows", "window ms", "us/row", "sqlite3 ms",
                "ratio", "us/row vs 1k");
    double FirstPerRow = 0;
    for (const int Count : {1000, 10000, 100000}) {
        QTemporaryDir Dir;
        const QString DbPath = Dir.filePath("Vantor2026.sqlite");
        LogData = std::make_unique<TLogData>(DbPath);
        FillLog(Count);
        std::vector<double> Window, Shell;
        for (int Run = 0; Run < Runs; ++Run) {
            Window.push_back(OpenWindowMs());
            Shell.push_back(Sqlite3Ms(DbPath));
        }
        LogData.reset();
        const double WindowMs = Median(Window), ShellMs = Median(Shell);
        const double PerRow = WindowMs * 1000 / Count;
        if (FirstPerRow == 0)
            FirstPerRow = PerRow;
        std::printf("%9d %12.1f %10.2f %12.1f %9.1f %14.2f\n", Count, WindowMs, PerRow, ShellMs,
                    WindowMs / ShellMs, PerRow / FirstPerRow);
    }
    return 0;
}
