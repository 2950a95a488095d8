#include "support/ProgramFixture.h"
#include "support/PulseTestServer.h"
#include "support/SqlHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QThread>
#include <cmath>

// The real program on the real sound server under libfaketime: at the change of the clock's
// offset and across a lost sound server, the files' exact times meet or leave a hole that a
// gap explains, and the coverage ledger adds every hour up.

namespace {

// A moment as the log and the ledger write it ("2026-10-25T02:00:00.000+01:00"), in
// milliseconds since the epoch.
int64_t MsOf(const QString& Text) {
    const QDateTime Moment = QDateTime::fromString(Text, Qt::ISODateWithMs);
    EXPECT_TRUE(Moment.isValid()) << Text.toStdString();
    return Moment.toMSecsSinceEpoch();
}

// The exact times of one recording, as logged.
struct TLoggedTimes {
    QString FileName;
    QString StartText;
    QString EndText;
    int64_t Start() const { return MsOf(StartText); }
    int64_t End() const { return MsOf(EndText); }
};

// A ledger entry's recorded and missing seconds in tenths, as printed.
int64_t PassedTenths(const QJsonObject& Hour) {
    return std::llround(Hour["recorded_s"].toDouble() * 10) +
           std::llround(Hour["missing_s"].toDouble() * 10);
}

QString Dump(const QJsonValue& Value) {
    return Value.isArray() ? QString::fromUtf8(QJsonDocument(Value.toArray()).toJson())
                           : QString::fromUtf8(QJsonDocument(Value.toObject()).toJson());
}

class Continuity : public testing::Test, public TProgramFixture {
protected:
    void SetUp() override { Prepare(1); } // "MP3 128 Kbit Stereo"

    // Waits until the program tells it records into Path (the file of the next hour exists
    // a little ahead of it) and returns the output so far.
    static QString WaitForRecording(QProcess& Program, const QString& Path) {
        const QString Out =
            ReadOutputUntil(Program, [&Path](const QString& Text) { return Text.contains(Path); });
        EXPECT_TRUE(Out.contains(Path))
            << Out.toStdString() << Program.readAllStandardError().toStdString();
        return Out;
    }

    // Waits until the program records into Path, lets it record Seconds more and stops it.
    static void RecordInto(QProcess& Program, const QString& Path, int Seconds) {
        if (WaitForRecording(Program, Path).contains(Path))
            QThread::sleep(Seconds);
        StopCleanly(Program);
    }

    // Every recording's file name and exact times, the earliest first.
    QList<TLoggedTimes> Logged() const {
        QList<TLoggedTimes> Times;
        for (const QStringList& Row :
             Rows("SELECT r.filename, t.start_at, t.end_at FROM recordings r JOIN "
                  "recording_times t ON t.recording_id = r.id ORDER BY t.start_ms"))
            Times.append({Row[0], Row[1], Row[2]});
        return Times;
    }

    // The hours of Day's ledger as `--coverage Day --json` prints them under a clock at At.
    QJsonArray CoverageHours(const QString& Day, const QDateTime& At) {
        QProcess Command;
        StartAt(Command, true, At, Exe, {"--coverage", Day, "--json", "--data-dir", Dir.path()});
        EXPECT_TRUE(Command.waitForFinished(15000));
        EXPECT_EQ(Command.exitCode(), 0) << Command.readAllStandardError().toStdString();
        QJsonParseError Error{};
        const QByteArray Out = Command.readAllStandardOutput();
        const QJsonDocument Ledger = QJsonDocument::fromJson(Out, &Error);
        EXPECT_EQ(Error.error, QJsonParseError::NoError) << Out.toStdString();
        return Ledger.object()["hours"].toArray();
    }

    // The entries of the ledger for the clock hour Hour, in order.
    static QList<QJsonObject> EntriesOfHour(const QJsonArray& Hours, int Hour) {
        QList<QJsonObject> Entries;
        for (const QJsonValue& Entry : Hours)
            if (Entry.toObject()["hour"].toInt() == Hour)
                Entries.append(Entry.toObject());
        return Entries;
    }
};

// The first and only gap of a ledger entry: not-running from From to To (To not checked when
// it is 0).
void ExpectOnlyNotRunning(const QJsonObject& Hour, int64_t From, int64_t To) {
    const QJsonArray Gaps = Hour["gaps"].toArray();
    ASSERT_EQ(Gaps.size(), 1) << Dump(Hour).toStdString();
    const QJsonObject Gap = Gaps[0].toObject();
    EXPECT_EQ(Gap["cause"].toString(), "not-running");
    EXPECT_EQ(MsOf(Gap["from"].toString()), From) << Dump(Hour).toStdString();
    if (To != 0) {
        EXPECT_EQ(MsOf(Gap["to"].toString()), To) << Dump(Hour).toStdString();
    }
}

// 2026-10-25: at 03:00 summer time (01:00 UTC) the clock goes back to 02:00. Started five
// seconds before, the program cuts its file there and begins the second 02:00 hour in a file
// of its own, numbered on: the end of one is the start of the other, and the ledger lists
// both hours, each with its own offset and no hole at the cut.
TEST_F(Continuity, TheAutumnHourThatRepeatsGetsTwoFilesThatMeet) {
    const QDateTime Cut(QDate(2026, 10, 25), QTime(1, 0), Qt::UTC);
    QProcess Program;
    StartAt(Program, true, Cut.addSecs(-5));
    const QString Folder = Root + "/2026/10/25/";
    RecordInto(Program, Folder + "25102026022.mp3", 3);

    EXPECT_EQ(QDir(Folder).entryList(QDir::Files),
              (QStringList{"25102026021.mp3", "25102026022.mp3"}));
    EXPECT_EQ(Rows("SELECT rec_hour, rec_number FROM recordings ORDER BY id"),
              (QList<QStringList>{{"2", "1"}, {"2", "2"}}));
    const QList<TLoggedTimes> Times = Logged();
    ASSERT_EQ(Times.size(), 2);
    const TLoggedTimes &Summer = Times[0], &Winter = Times[1];
    EXPECT_EQ(Summer.FileName, "25102026021.mp3");
    EXPECT_TRUE(Summer.StartText.startsWith("2026-10-25T02:59:5"))
        << Summer.StartText.toStdString();
    EXPECT_TRUE(Summer.StartText.endsWith("+02:00")) << Summer.StartText.toStdString();
    EXPECT_EQ(Winter.FileName, "25102026022.mp3");
    EXPECT_TRUE(Winter.StartText.startsWith("2026-10-25T02:00:00."))
        << Winter.StartText.toStdString();
    EXPECT_TRUE(Winter.StartText.endsWith("+01:00")) << Winter.StartText.toStdString();
    EXPECT_NEAR(Summer.End(), Cut.toMSecsSinceEpoch(), 5) << Summer.EndText.toStdString();
    EXPECT_NEAR(Winter.Start(), Summer.End(), 5)
        << Summer.EndText.toStdString() << " " << Winter.StartText.toStdString();
    EXPECT_GT(Winter.End(), Winter.Start() + 2000) << Winter.EndText.toStdString();
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM gaps"), QList<QStringList>{{"0"}});

    const QJsonArray Hours = CoverageHours("2026-10-25", Cut.addSecs(60));
    EXPECT_EQ(Hours.size(), 25);
    const QList<QJsonObject> Twos = EntriesOfHour(Hours, 2);
    ASSERT_EQ(Twos.size(), 2) << Dump(Hours).toStdString();
    EXPECT_EQ(Twos[0]["start"].toString(), "2026-10-25T02:00:00.000+02:00");
    EXPECT_EQ(Twos[1]["start"].toString(), "2026-10-25T02:00:00.000+01:00");
    EXPECT_EQ(PassedTenths(Twos[0]), 36000);
    // Missing: before the start, and after the stop; nothing at the cut.
    ExpectOnlyNotRunning(Twos[0], MsOf(Twos[0]["start"].toString()), Summer.Start());
    ExpectOnlyNotRunning(Twos[1], Winter.End(), 0);
}

// 2026-03-29: at 02:00 winter time (01:00 UTC) the clock jumps to 03:00. Started five seconds
// before, the program's next file is the 03:00 file; there is no 02:00 file, row or ledger
// entry, and the ledger shows no hole at the jump.
TEST_F(Continuity, TheSpringHourThatDoesNotExistIsSkippedWithoutAHole) {
    const QDateTime Cut(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC);
    QProcess Program;
    StartAt(Program, true, Cut.addSecs(-5));
    const QString Folder = Root + "/2026/03/29/";
    RecordInto(Program, Folder + "29032026031.mp3", 3);

    EXPECT_EQ(QDir(Folder).entryList(QDir::Files),
              (QStringList{"29032026011.mp3", "29032026031.mp3"}));
    EXPECT_EQ(Rows("SELECT rec_hour, rec_number FROM recordings ORDER BY id"),
              (QList<QStringList>{{"1", "1"}, {"3", "1"}}));
    const QList<TLoggedTimes> Times = Logged();
    ASSERT_EQ(Times.size(), 2);
    const TLoggedTimes &Winter = Times[0], &Summer = Times[1];
    EXPECT_TRUE(Winter.StartText.endsWith("+01:00")) << Winter.StartText.toStdString();
    EXPECT_TRUE(Summer.StartText.startsWith("2026-03-29T03:00:00."))
        << Summer.StartText.toStdString();
    EXPECT_TRUE(Summer.StartText.endsWith("+02:00")) << Summer.StartText.toStdString();
    EXPECT_NEAR(Winter.End(), Cut.toMSecsSinceEpoch(), 5) << Winter.EndText.toStdString();
    EXPECT_NEAR(Summer.Start(), Winter.End(), 5)
        << Winter.EndText.toStdString() << " " << Summer.StartText.toStdString();
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM gaps"), QList<QStringList>{{"0"}});

    const QJsonArray Hours = CoverageHours("2026-03-29", Cut.addSecs(60));
    EXPECT_EQ(Hours.size(), 23);
    EXPECT_TRUE(EntriesOfHour(Hours, 2).isEmpty()) << Dump(Hours).toStdString();
    const QList<QJsonObject> One = EntriesOfHour(Hours, 1), Three = EntriesOfHour(Hours, 3);
    ASSERT_EQ(One.size(), 1);
    ASSERT_EQ(Three.size(), 1);
    EXPECT_EQ(One[0]["start"].toString(), "2026-03-29T01:00:00.000+01:00");
    EXPECT_EQ(PassedTenths(One[0]), 36000);
    ExpectOnlyNotRunning(One[0], MsOf(One[0]["start"].toString()), Winter.Start());
    EXPECT_EQ(Three[0]["start"].toString(), "2026-03-29T03:00:00.000+02:00");
    ExpectOnlyNotRunning(Three[0], Summer.End(), 0);
}

// The sound server dies a few seconds after 14:00 and is back three seconds later; the
// program records on in a new file at its next retry and is stopped at about 14:00:30. An
// hour later the ledger explains every second of 14:00: the hole between the two files is the
// capture's gap, the rest of the hour after the stop is time the program did not run.
TEST_F(Continuity, ALostSoundServerLeavesACaptureGapThatMatchesTheFiles) {
    QElapsedTimer Running;
    Running.start();
    QProcess Program;
    Start(Program, true, "2026-03-05 13:59:55");
    ASSERT_TRUE(WaitForRecording(Program, Folder + "05032026141.mp3").contains("141.mp3"));
    QThread::sleep(3);
    KillPulseServer();
    QThread::sleep(3);
    ASSERT_TRUE(StartPulseServer());
    ASSERT_TRUE(WaitForRecording(Program, Folder + "05032026142.mp3").contains("142.mp3"));
    // Until about 14:00:30 on the program's clock.
    while (Running.elapsed() < 35000)
        QThread::msleep(100);
    StopCleanly(Program);

    const QList<TLoggedTimes> Times = Logged();
    ASSERT_EQ(Times.size(), 3);
    const TLoggedTimes &Before = Times[1], &After = Times[2];
    EXPECT_EQ(Before.FileName, "05032026141.mp3");
    EXPECT_EQ(After.FileName, "05032026142.mp3");
    EXPECT_EQ(Before.StartText, "2026-03-05T14:00:00.000+01:00");
    EXPECT_GT(After.Start(), Before.End() + 2000)
        << Before.EndText.toStdString() << " " << After.StartText.toStdString();
    // The log holds the loss as one gap, closed by the retry's first audio.
    const QList<QStringList> GapRows = Rows("SELECT cause, from_ms, to_ms FROM gaps");
    ASSERT_EQ(GapRows.size(), 1);
    EXPECT_EQ(GapRows[0][0], "capture");
    EXPECT_NEAR(GapRows[0][1].toLongLong(), Before.End(), 10) << Before.EndText.toStdString();
    EXPECT_NEAR(GapRows[0][2].toLongLong(), After.Start(), 10) << After.StartText.toStdString();

    const QDateTime HourLater(QDate(2026, 3, 5), QTime(14, 0, 10), Qt::UTC); // 15:00:10 local
    const QList<QJsonObject> Fourteen = EntriesOfHour(CoverageHours("2026-03-05", HourLater), 14);
    ASSERT_EQ(Fourteen.size(), 1);
    const QJsonObject& Hour = Fourteen[0];
    EXPECT_EQ(PassedTenths(Hour), 36000) << Dump(Hour).toStdString();
    const QJsonArray Gaps = Hour["gaps"].toArray();
    ASSERT_EQ(Gaps.size(), 2) << Dump(Hour).toStdString();
    const QJsonObject Lost = Gaps[0].toObject(), Stopped = Gaps[1].toObject();
    EXPECT_EQ(Lost["cause"].toString(), "capture");
    EXPECT_NEAR(MsOf(Lost["from"].toString()), Before.End(), 10) << Before.EndText.toStdString();
    EXPECT_NEAR(MsOf(Lost["to"].toString()), After.Start(), 10) << After.StartText.toStdString();
    EXPECT_EQ(Stopped["cause"].toString(), "not-running");
    EXPECT_EQ(MsOf(Stopped["from"].toString()), After.End()) << After.EndText.toStdString();
    EXPECT_EQ(Stopped["to"].toString(), "2026-03-05T15:00:00.000+01:00");
}

} // namespace
