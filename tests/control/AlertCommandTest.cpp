#include "control/AlertCommand.h"
#include "audio/uRecorder.h"
#include "control/RecordingSession.h"
#include "support/FileSizeLimit.h"
#include "support/Presets.h"
#include "support/RecordingFixture.h"
#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

using namespace std::chrono_literals;

namespace {

// Runs the event loop until Done, for up to Timeout; whether Done became true.
bool SpinUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
    QElapsedTimer Waited;
    Waited.start();
    while (!Done()) {
        if (Waited.elapsed() > Timeout.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QString ReadText(const QString& Path) {
    QFile F(Path);
    return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
}

// An executable shell script at Path.
void WriteScript(const QString& Path, const QByteArray& Body) {
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write("#!/bin/sh\n" + Body);
    F.close();
    F.setPermissions(F.permissions() | QFileDevice::ExeOwner);
}

// A script that appends its VANTOR_ variables and its second argument to the file named by
// its first.
void WriteEnvironmentScript(const QString& Path) {
    WriteScript(Path, "{ env | grep '^VANTOR_' | sort; echo \"ARG=$2\"; } >> \"$1\"\n");
}

TTrouble SilenceSinceTwo() {
    TTrouble T;
    T.Kind = TTroubleKind::Silence;
    T.Since = QDateTime::fromString("2026-03-05T14:00:03+01:00", Qt::ISODate);
    T.Text = "Stilte sinds 14:00:03";
    T.File = "/opnames/2026/03/05/05032026141.mp3";
    return T;
}

// What an alert command reported: every run's text, and the failures told the operator.
struct TReports {
    explicit TReports(const TAlertCommand& Alert) {
        QObject::connect(&Alert, &TAlertCommand::RunEnded,
                         [this](const QString& Text) { Runs << Text; });
        QObject::connect(&Alert, &TAlertCommand::FailureToReport,
                         [this](const QString& Text) { Told << Text; });
    }
    QStringList Runs;
    QStringList Told;
};

} // namespace

// The command line is split by the usual quoting rules and run without a shell: a quoted
// path with a blank works and "$(...)" reaches the program as it is. The details of a begin
// and an end arrive in the environment.
TEST(AlertCommand, RunsDirectlyWithTheDetailsInItsEnvironment) {
    QTemporaryDir Dir;
    const QString Script = Dir.filePath("alarm script.sh");
    const QString Out = Dir.filePath("uit.txt");
    WriteEnvironmentScript(Script);
    const QString Command =
        QStringLiteral("\"%1\" '%2' '$(touch %3)'").arg(Script, Out, Dir.filePath("gevaar"));
    TAlertCommand Alert;
    TReports Reports(Alert);
    TTrouble Trouble = SilenceSinceTwo();
    Alert.Run(Command, Trouble, true);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == 1; }, 10s));
    Trouble.Until = Trouble.Since.addSecs(75);
    Alert.Run(Command, Trouble, false);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == 2; }, 10s));

    const QString Arg = "ARG=$(touch " + Dir.filePath("gevaar") + ")\n";
    EXPECT_EQ(ReadText(Out), "VANTOR_EVENT=begin\n"
                             "VANTOR_FILE=/opnames/2026/03/05/05032026141.mp3\n"
                             "VANTOR_KIND=silence\n"
                             "VANTOR_SINCE=2026-03-05T14:00:03+01:00\n"
                             "VANTOR_TEXT=Stilte sinds 14:00:03\n" +
                                 Arg +
                                 "VANTOR_EVENT=end\n"
                                 "VANTOR_FILE=/opnames/2026/03/05/05032026141.mp3\n"
                                 "VANTOR_KIND=silence\n"
                                 "VANTOR_SINCE=2026-03-05T14:00:03+01:00\n"
                                 "VANTOR_TEXT=Stilte sinds 14:00:03: voorbij na 1 min 15 s\n" +
                                 Arg);
    EXPECT_FALSE(QFile::exists(Dir.filePath("gevaar"))) << "no shell ran the command";
    EXPECT_EQ(Reports.Runs.first(), "Alarmopdracht " + Script + " uitgevoerd, afsluitcode 0");
    EXPECT_TRUE(Reports.Told.isEmpty());
    // An empty command runs nothing.
    Alert.Run("  ", Trouble, true);
    EXPECT_FALSE(SpinUntil([&] { return Reports.Runs.size() > 2; }, 200ms));
}

// A command that fails, twice in a row, is told once, in Dutch; one that hangs is killed at
// its time limit, and meanwhile the event loop never waits for it.
TEST(AlertCommand, AFailingOrHangingCommandIsToldOnceAndNeverHoldsUpTheLoop) {
    QTemporaryDir Dir;
    WriteScript(Dir.filePath("hangt.sh"), "exec sleep 60\n");
    WriteScript(Dir.filePath("faalt.sh"), "exit 3\n");
    WriteScript(Dir.filePath("plat.txt"), "exit 0\n");
    QFile(Dir.filePath("plat.txt")).setPermissions(QFileDevice::ReadOwner);
    const struct {
        QString Command;
        QString Told;
    } Cases[] = {
        {Dir.filePath("hangt.sh"),
         "Alarmopdracht " + Dir.filePath("hangt.sh") + " was na 1 s nog niet klaar en is gestopt"},
        {"/geen/alarm-opdracht", "Alarmopdracht niet gevonden: /geen/alarm-opdracht"},
        {"geen-alarm-opdracht-in-het-pad",
         "Alarmopdracht niet gevonden: geen-alarm-opdracht-in-het-pad"},
        {Dir.filePath("plat.txt"), "Alarmopdracht kan niet worden gestart (geen uitvoerbaar "
                                   "programma): " +
                                       Dir.filePath("plat.txt")},
        {"\"/opt/alarm.sh",
         "Alarmopdracht ongeldig (aanhalingsteken niet gesloten): \"/opt/alarm.sh"},
        {Dir.filePath("faalt.sh"),
         "Alarmopdracht " + Dir.filePath("faalt.sh") + " uitgevoerd, afsluitcode 3"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Command.toStdString());
        TAlertCommand Alert(1s);
        TReports Reports(Alert);
        QTimer Tick;
        Tick.setTimerType(Qt::PreciseTimer);
        QElapsedTimer SinceTick;
        qint64 LongestGap = 0;
        QObject::connect(&Tick, &QTimer::timeout,
                         [&] { LongestGap = std::max(LongestGap, SinceTick.restart()); });
        SinceTick.start();
        Tick.start(250);
        Alert.Run(C.Command, SilenceSinceTwo(), true);
        Alert.Run(C.Command, SilenceSinceTwo(), true);
        ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == 2; }, 10s));
        EXPECT_EQ(Reports.Runs, QStringList({C.Told, C.Told}));
        EXPECT_EQ(Reports.Told, QStringList{C.Told});
        EXPECT_LT(LongestGap, 300);
    }
}

namespace {

class AlertKinds : public testing::Test, public TRecordingFixture {};

} // namespace

// A recording that loses its capture, fills its volume, or fails its writes runs the alert
// command with that kind, and each begin and the command's run are rows in the events log.
TEST_F(AlertKinds, EachTroubleRunsTheCommandWithItsKind) {
    const struct {
        const char* Kind;
        int64_t Free;
        bool WritesFail;
        bool ServerLost;
    } Cases[] = {
        {"capture", 10 * FreeSpace::OneGiB, false, true},
        {"volume-full", 10 * FreeSpace::OneMiB, true, false},
        {"write", 10 * FreeSpace::OneGiB, true, false},
    };
    const QString Script = Dir.filePath("alarm.sh");
    WriteEnvironmentScript(Script);
    TPreset Big = Preset(afWAV, 48000, 2);
    Big.Name = "WAV 48 kHz Stereo";
    Big.Id = LogData->AddPreset(Big);
    ScheduleAll(Big.Id);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Kind);
        const QString Out = Dir.filePath(QStringLiteral("uit-%1.txt").arg(C.Kind));
        TAlarmSettings Alarm;
        Alarm.Command = QStringLiteral("%1 %2").arg(Script, Out);
        Config->SetAlarm(Alarm);
        Now = Amsterdam("2026-03-05T13:20:00Z");
        const int64_t Free = C.Free;
        TRecordingSession Session(*Config, LogData, Clock(),
                                  [&Free](const QString&) { return Free; });
        ASSERT_TRUE(Session.Start().isEmpty());
        TRecordingController& Controller = Session.Controller();
        ASSERT_TRUE(Controller.IsRecording());
        std::optional<TFileSizeLimit> Limit;
        if (C.WritesFail) {
            Limit.emplace(512 * 1024);
            ASSERT_TRUE(
                WaitUntil([&] { return !Controller.Recorder()->WriteError().isEmpty(); }, 5s));
        }
        if (C.ServerLost)
            soundlib::SetScriptedServerUp(false);
        const auto Begun = [&] {
            return ReadText(Out).contains(QStringLiteral("VANTOR_EVENT=begin\n"
                                                         "VANTOR_FILE=%1\nVANTOR_KIND=%2\n")
                                              .arg(Controller.Status().FileText, C.Kind));
        };
        EXPECT_TRUE(SpinUntil(
            [&] {
                Now = Now.addMSecs(250);
                Controller.TimerClockTimer();
                return Begun();
            },
            10s))
            << ReadText(Out).toStdString();
        Limit.reset();
        soundlib::SetScriptedServerUp(true);
        EXPECT_TRUE(SpinUntil(
            [&] {
                return SqlRows(LogData->Connection(),
                               "SELECT event FROM events WHERE event='opdracht'")
                           .size() > 0;
            },
            10s));
        EXPECT_FALSE(
            SqlRows(LogData->Connection(),
                    QStringLiteral("SELECT text FROM events WHERE event='begin' AND kind='%1'")
                        .arg(C.Kind))
                .isEmpty());
        Session.Shutdown();
        LogData = std::make_unique<TLogData>(Config->DatabasePath());
        QSqlQuery(LogData->Connection()).exec("DELETE FROM events");
    }
}
