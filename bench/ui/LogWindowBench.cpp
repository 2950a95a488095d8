// The recordings log window on logs of 1,000, 10,000 and 100,000 recordings: the time until it
// is first painted, against the time on 1,000 (it reads one page, so it must stay flat); and
// narrowing 100,000 recordings to a text, against the sqlite3 command-line shell running the
// same statements with the same values on the same file.

#include "data/uData.h"
#include "ui/DarkStyle.h"
#include "ui/ListingGrid.h"
#include "ui/uLog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace {

constexpr int Runs = 5;

void Check(bool Ok, const QSqlQuery& Query) {
    if (!Ok)
        throw std::runtime_error(Query.lastError().text().toStdString());
}

// Fills the log with Count recordings, one per hour, in one transaction: the program logs
// one statement at a time, but a benchmark needs its data quickly.
void FillLog(TLogData& Data, int Count) {
    QSqlDatabase Db = Data.Connection();
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
double OpenWindowMs(TLogData& Data) {
    QElapsedTimer Timer;
    Timer.start();
    TfrmLog Window(&Data);
    Window.show();
    QApplication::processEvents();
    return Timer.nsecsElapsed() / 1e6;
}

// The statement as the sqlite3 shell takes it: its values set as parameters first.
QByteArray ShellScript(const TStatement& Statement) {
    QByteArray Script;
    for (const auto& [Name, Value] : Statement.Values) {
        const QString Literal =
            Value.typeId() == QMetaType::QString
                ? u'\'' + Value.toString().replace(u'\'', QStringLiteral("''")) + u'\''
                : Value.toString();
        Script += (QStringLiteral(".parameter set ") + Name + u' ' + Literal + u'\n').toUtf8();
    }
    return Script + Statement.Sql.toUtf8() + ";\n";
}

double ShellMs(const QString& DbPath, const QByteArray& Script) {
    QProcess Shell;
    Shell.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer Timer;
    Timer.start();
    Shell.start("sqlite3", {"-readonly", DbPath});
    Shell.write(Script);
    Shell.closeWriteChannel();
    if (!Shell.waitForFinished(600000) || Shell.exitCode() != 0)
        throw std::runtime_error("sqlite3 ontbreekt of faalde");
    return Timer.nsecsElapsed() / 1e6;
}

// The window narrowing its listing to Text: the first page, the count and the column widths.
double FindMs(TLogData& Data, const QString& Text) {
    TfrmLog Window(&Data);
    Window.show();
    QApplication::processEvents();
    Window.findChild<QLineEdit*>("edtFind")->setText(Text);
    QElapsedTimer Timer;
    Timer.start();
    Window.LoadLog(-1);
    return Timer.nsecsElapsed() / 1e6;
}

// The same statements in the sqlite3 shell; its own start is taken out by running them once
// and Repeats + 1 times.
double ShellFindMs(const QString& DbPath, const QString& Text) {
    constexpr int Repeats = 10;
    const TLogFilter Filter{{}, {}, Text};
    const QByteArray Once = ShellScript(RecordingsListing(Filter, {}, TListing::PageSize)) +
                            ShellScript(RecordingsCount(Filter));
    return (ShellMs(DbPath, Once.repeated(Repeats + 1)) - ShellMs(DbPath, Once)) / Repeats;
}

} // namespace

int main(int Argc, char** Argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(Argc, Argv);
    ApplyBuiltInStyle(App);
    const QString Text = QStringLiteral("jansen");

    std::printf("Log window, median of %d runs\n", Runs);
    std::printf("%9s %16s %12s\n", "rows", "first paint ms", "vs 1,000");
    double FirstMs = 0;
    for (const int Count : {1000, 10000, 100000}) {
        QTemporaryDir Dir;
        const QString DbPath = Dir.filePath("Vantor2026.sqlite");
        TLogData Data(DbPath);
        FillLog(Data, Count);
        std::vector<double> Window;
        for (int Run = 0; Run < Runs; ++Run)
            Window.push_back(OpenWindowMs(Data));
        const double WindowMs = Median(Window);
        if (FirstMs == 0)
            FirstMs = WindowMs;
        std::printf("%9d %16.1f %12.2f\n", Count, WindowMs, WindowMs / FirstMs);
        if (Count == 100000) {
            std::vector<double> Own, Shell;
            for (int Run = 0; Run < Runs; ++Run) {
                Own.push_back(FindMs(Data, Text));
                Shell.push_back(ShellFindMs(DbPath, Text));
            }
            const double OwnMs = Median(Own), ShellFind = Median(Shell);
            std::printf("find \"%s\" in %d rows: window %.1f ms, sqlite3 %.1f ms, ratio %.2f\n",
                        qPrintable(Text), Count, OwnMs, ShellFind, OwnMs / ShellFind);
        }
    }
    return 0;
}
