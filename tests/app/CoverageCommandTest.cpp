#include "base/uConfig.h"
#include "control/FolderLock.h"
#include "data/uData.h"
#include "support/DatabaseLock.h"
#include "support/SqlHelpers.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TRun {
    int Code = -1;
    QString Out;
    QString Err;
};

// The real program without a display, on the Amsterdam clock with Dutch number separators.
TRun RunProgram(const QStringList& Arguments) {
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.remove("DISPLAY");
    Env.remove("WAYLAND_DISPLAY");
    Env.remove("QT_QPA_PLATFORM");
    Env.insert("TZ", "Europe/Amsterdam");
    Env.insert("LC_ALL", "nl_NL.UTF-8");
    P.setProcessEnvironment(Env);
    P.start(VANTOR_EXE, Arguments);
    if (!P.waitForFinished(30000))
        ADD_FAILURE() << "vantor2026 did not finish";
    return {P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1,
            QString::fromUtf8(P.readAllStandardOutput()),
            QString::fromUtf8(P.readAllStandardError())};
}

QDateTime At(const char* Text) {
    return ExactTimeFromText(QString::fromLatin1(Text));
}

// A data folder whose database schedules hours 14 and 15 of Tuesdays, holds a file of the
// hour of 14 on Tuesday 5 March 2024 with a lost capture of 12.4 s, and nothing of 15.
class CoverageCommand : public testing::Test {
protected:
    void SetUp() override {
        TConfig Settings(Dir.path());
        Db = Settings.DatabasePath();
        TLogData Data(Db);
        Data.SetSchedulePreset(2, 14, 1);
        Data.SetSchedulePreset(2, 15, 1);
        for (const auto& [Id, From, To] :
             {std::tuple{1, "2024-03-05T14:00:00.000+01:00", "2024-03-05T14:20:03.120+01:00"},
              std::tuple{2, "2024-03-05T14:20:15.520+01:00", "2024-03-05T15:00:00.000+01:00"}}) {
            TAudioTimes File;
            File.RecordingId = Id;
            File.Start = At(From);
            File.End = At(To);
            File.SampleRate = 44100;
            Data.SetAudioTimes(File);
        }
        Data.LogGap(At("2024-03-05T14:20:03.120+01:00"), At("2024-03-05T14:20:15.520+01:00"),
                    "capture");
    }

    QTemporaryDir Dir;
    QString Db;
};

// The table names each hour; the missing stretches with their causes; the folder's claim,
// held by a recording copy, is no hindrance, nor is a lock on the database held for a second.
TEST_F(CoverageCommand, PrintsTheDayAsATableBesideARunningCopy) {
    TFolderLock Claim(Dir.path());
    ASSERT_TRUE(Claim.TryLock());
    TDatabaseLock Busy(Db, 1);
    const TRun Run = RunProgram({"--coverage", "2024-03-05", "--data-dir", Dir.path()});
    ASSERT_EQ(Run.Code, 0) << Run.Err.toStdString();
    const QStringList Lines = Run.Out.split(u'\n');
    ASSERT_EQ(Lines.size(), 27) << Run.Out.toStdString();
    EXPECT_EQ(Lines[0], "Uur     Gepland  Opgenomen  Ontbreekt  Oorzaak");
    EXPECT_EQ(Lines[1 + 13], "13:00   nee");
    EXPECT_EQ(Lines[1 + 14], "14:00   ja       3587,6 s   12,4 s     "
                             "14:20:03,120\u201314:20:15,520 geluidsserver weg");
    EXPECT_EQ(Lines[1 + 15], "15:00   ja       0,0 s      3600,0 s   "
                             "15:00:00,000\u201316:00:00,000 programma liep niet");
    EXPECT_EQ(Lines[25], "Totaal  2 uur    3587,6 s   3612,4 s");
    EXPECT_TRUE(Run.Err.isEmpty()) << Run.Err.toStdString();
}

TEST_F(CoverageCommand, PrintsTheDayAsJson) {
    const TRun Run = RunProgram({"--coverage=2024-03-05", "--json", "--data-dir", Dir.path()});
    ASSERT_EQ(Run.Code, 0) << Run.Err.toStdString();
    QJsonParseError Error;
    const QJsonObject Day = QJsonDocument::fromJson(Run.Out.toUtf8(), &Error).object();
    ASSERT_EQ(Error.error, QJsonParseError::NoError) << Run.Out.toStdString();
    EXPECT_EQ(Day.value("date"), "2024-03-05");
    const QJsonArray Hours = Day.value("hours").toArray();
    ASSERT_EQ(Hours.size(), 24);
    const QJsonObject Hour = Hours[14].toObject();
    EXPECT_EQ(Hour.value("start"), "2024-03-05T14:00:00.000+01:00");
    EXPECT_EQ(Hour.value("recorded_s").toDouble(), 3587.6);
    EXPECT_EQ(Hour.value("missing_s").toDouble(), 12.4);
    const QJsonObject Gap = Hour.value("gaps").toArray()[0].toObject();
    EXPECT_EQ(Gap.value("from"), "2024-03-05T14:20:03.120+01:00");
    EXPECT_EQ(Gap.value("to"), "2024-03-05T14:20:15.520+01:00");
    EXPECT_EQ(Gap.value("cause"), "capture");
    EXPECT_EQ(Hours[15].toObject().value("gaps").toArray()[0].toObject().value("cause"),
              "not-running");
}

// What cannot give a ledger is said in Dutch on standard error, with nothing on standard
// output: 1 for a day or database that is wrong, 2 for a wrong command line.
TEST(CoverageCommandRefuses, WhatGivesNoLedger) {
    QTemporaryDir Dir;
    const QString Empty = Dir.filePath("leeg");
    ASSERT_TRUE(QDir().mkpath(Empty));
    const QString NoDatabase = Dir.filePath("geen-database");
    ASSERT_TRUE(QDir().mkpath(NoDatabase));
    TConfig{NoDatabase};
    const QString NotADatabase = Dir.filePath("tekst");
    ASSERT_TRUE(QDir().mkpath(NotADatabase));
    TConfig{NotADatabase};
    QFile Text(NotADatabase + "/Vantor2026.sqlite");
    ASSERT_TRUE(Text.open(QIODevice::WriteOnly));
    Text.write(QByteArray("Dit is geen database, alleen wat tekst.\n").repeated(100));
    Text.close();
    const QString Missing = Dir.filePath("bestaat-niet");
    const struct {
        QStringList Arguments;
        int Code;
        QString Error;
    } Cases[] = {
        {{"--coverage", "2024-02-30", "--data-dir", Empty}, 1, "2024-02-30 is geen datum"},
        {{"--coverage", "5-3-2024", "--data-dir", Empty}, 1, "5-3-2024 is geen datum"},
        {{"--coverage", "2024-03-05x", "--data-dir", Empty}, 1, "2024-03-05x is geen datum"},
        {{"--coverage", "2024-03-05", "--data-dir", Missing}, 1, "De map " + Missing},
        {{"--coverage", "2024-03-05", "--data-dir", Empty}, 1, "Er is geen instellingenbestand"},
        {{"--coverage", "2024-03-05", "--data-dir", NoDatabase}, 1, "Er is geen database"},
        {{"--coverage", "2024-03-05", "--data-dir", NotADatabase},
         1,
         "het bestand is geen database"},
        {{"--coverage"}, 2, "--coverage verwacht een dag"},
        {{"--coverage", "--json"}, 2, "--coverage verwacht een dag"},
        {{"--json"}, 2, "--json hoort bij --coverage"},
        {{"--coverage", "2024-03-05", "--headless"}, 2, "--coverage gaat niet samen"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Arguments.join(' ').toStdString());
        const TRun Run = RunProgram(C.Arguments);
        EXPECT_EQ(Run.Code, C.Code);
        EXPECT_TRUE(Run.Err.contains(C.Error)) << Run.Err.toStdString();
        EXPECT_TRUE(Run.Out.isEmpty()) << Run.Out.toStdString();
    }
    // Nothing was made on the way.
    EXPECT_FALSE(QFileInfo::exists(Missing));
    EXPECT_EQ(QDir(Empty).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    EXPECT_FALSE(QFileInfo::exists(NoDatabase + "/Vantor2026.sqlite"));
}

} // namespace
