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
#include <QTimeZone>
#include <QTimer>
#include <signal.h>

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

// An incomplete hour begins and ends at once: the command runs once, as its end, and gets the
// hour's text, also when no other run makes its begin wait.
TEST(AlertCommand, AnIncompleteHourRunsOnceWithItsText) {
    QTemporaryDir Dir;
    const QString Script = Dir.filePath("alarm.sh");
    const QString Out = Dir.filePath("uit.txt");
    WriteEnvironmentScript(Script);
    TAlertCommand Alert;
    TReports Reports(Alert);
    const QDateTime End = QDateTime::fromString("2026-03-05T15:00:00+01:00", Qt::ISODate);
    const TTrouble Hour{TTroubleKind::Incomplete, End,
                        "Uur 14:00–15:00 onvolledig: 12,4 s ontbreekt (geluidsserver weg)", "",
                        End};
    Alert.Run(Script + " " + Out, Hour, true);
    Alert.Run(Script + " " + Out, Hour, false);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == 1; }, 10s));
    EXPECT_FALSE(SpinUntil([&] { return Reports.Runs.size() > 1; }, 500ms));
    EXPECT_EQ(ReadText(Out), "VANTOR_EVENT=end\n"
                             "VANTOR_FILE=\n"
                             "VANTOR_KIND=incomplete\n"
                             "VANTOR_SINCE=2026-03-05T15:00:00+01:00\n"
                             "VANTOR_TEXT=Uur 14:00–15:00 onvolledig: 12,4 s ontbreekt "
                             "(geluidsserver weg)\n"
                             "ARG=\n");
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

// VANTOR_SINCE always carries the offset as digits, also in UTC, where ISO 8601 allows "Z"
// and scripts that cut the offset off would miss it.
TEST(AlertCommand, SinceHasANumericOffsetInEveryZone) {
    QTemporaryDir Dir;
    const QString Script = Dir.filePath("alarm.sh");
    const QString Out = Dir.filePath("uit.txt");
    WriteScript(Script, "echo \"$VANTOR_SINCE\" >> \"$1\"\n");
    const QDate Day(2026, 3, 5);
    const struct {
        QDateTime Since;
        const char* Told;
    } Cases[] = {
        {QDateTime(Day, QTime(13, 0, 3), Qt::UTC), "2026-03-05T13:00:03+00:00"},
        {QDateTime(Day, QTime(13, 0, 3), Qt::OffsetFromUTC, 0), "2026-03-05T13:00:03+00:00"},
        {QDateTime(Day, QTime(9, 30, 3), Qt::OffsetFromUTC, -(3 * 3600 + 1800)),
         "2026-03-05T09:30:03-03:30"},
        {QDateTime(QDate(2026, 7, 1), QTime(14, 0, 3), QTimeZone("Europe/Amsterdam")),
         "2026-07-01T14:00:03+02:00"},
    };
    TAlertCommand Alert;
    TReports Reports(Alert);
    QStringList Expected;
    for (const auto& C : Cases) {
        TTrouble Trouble = SilenceSinceTwo();
        Trouble.Since = C.Since;
        Alert.Run(Script + " " + Out, Trouble, true);
        Expected << C.Told;
    }
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == Expected.size(); }, 10s));
    EXPECT_EQ(ReadText(Out), Expected.join(u'\n') + u'\n');
}

// A command still running at its time limit is ended with every process it started, not only
// the one it began as.
TEST(AlertCommand, AtItsTimeLimitEverythingTheCommandStartedEnds) {
    QTemporaryDir Dir;
    const QString Script = Dir.filePath("hangt.sh");
    const QString PidFile = Dir.filePath("pid");
    WriteScript(Script, "sleep 97 &\necho $! > \"$1\"\nwait\n");
    TAlertCommand Alert(1s);
    TReports Reports(Alert);
    Alert.Run(Script + " " + PidFile, SilenceSinceTwo(), true);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == 1; }, 10s));
    EXPECT_EQ(Reports.Runs,
              QStringList{"Alarmopdracht " + Script + " was na 1 s nog niet klaar en is gestopt"});
    const pid_t Child = ReadText(PidFile).trimmed().toInt();
    ASSERT_GT(Child, 0);
    // Gone, or at most a zombie waiting for whoever adopted it.
    const auto Gone = [Child] {
        const QString Stat = ReadText(QStringLiteral("/proc/%1/stat").arg(Child));
        return Stat.isEmpty() || Stat.section(u')', 1).trimmed().startsWith(u'Z');
    };
    const bool Ended = SpinUntil(Gone, 5s);
    if (!Ended)
        ::kill(Child, SIGKILL);
    EXPECT_TRUE(Ended) << "sleep 97 (" << Child << ") outlived the time limit";
}

// The program ignores SIGPIPE; the command gets the default back, so that `producer | head`
// in a script ends as it would from a shell.
TEST(AlertCommand, TheCommandDoesNotInheritTheIgnoredSigpipe) {
    QTemporaryDir Dir;
    const QString Script = Dir.filePath("signalen.sh");
    const QString Out = Dir.filePath("uit.txt");
    WriteScript(Script, "grep '^SigIgn:' /proc/self/status > \"$1\"\n");
    struct sigaction Ignore {
    }, Before{};
    Ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGPIPE, &Ignore, &Before), 0);
    TAlertCommand Alert;
    TReports Reports(Alert);
    Alert.Run(Script + " " + Out, SilenceSinceTwo(), true);
    const bool Ran = SpinUntil([&] { return Reports.Runs.size() == 1; }, 10s);
    sigaction(SIGPIPE, &Before, nullptr);
    ASSERT_TRUE(Ran);
    const QString Ignored = ReadText(Out).section(u':', 1).trimmed();
    ASSERT_FALSE(Ignored.isEmpty());
    EXPECT_EQ(Ignored.toULongLong(nullptr, 16) & (1ull << (SIGPIPE - 1)), 0u)
        << Ignored.toStdString();
}

namespace {

// Runs of a command that notes each run's event, kind and start, and any run that overlaps
// another, in the file it is given.
struct TNotingCommand {
    explicit TNotingCommand(const QTemporaryDir& Dir)
        : Script(Dir.filePath("noteer.sh")), Out(Dir.filePath("uit.txt")) {
        WriteScript(Script, "mkdir \"$1.bezig\" 2>/dev/null || echo overlap >> \"$1\"\n"
                            "echo \"$VANTOR_EVENT $VANTOR_KIND $VANTOR_SINCE\" >> \"$1\"\n"
                            "sleep 0.1\n"
                            "rmdir \"$1.bezig\"\n");
    }
    QString Command() const { return Script + " " + Out; }
    QStringList Lines() const { return ReadText(Out).split(u'\n', Qt::SkipEmptyParts); }
    QString Script;
    QString Out;
};

// A trouble of Kind from Since for Seconds; ended when Seconds is set.
TTrouble Episode(TTroubleKind Kind, const QDateTime& Since, std::optional<int> Seconds = {}) {
    TTrouble T{Kind, Since, "Storing", "", {}};
    if (Seconds)
        T.Until = Since.addSecs(*Seconds);
    return T;
}

} // namespace

// Trouble that comes and goes every few seconds: one run at a time, in the order of the
// events, and a trouble shorter than the hold time whose begin still waits runs once, as its
// end. A longer trouble runs begin and end even when both waited.
TEST(AlertCommand, FlappingTroubleRunsOneAtATimeInOrderAndShortTroublesOnce) {
    QTemporaryDir Dir;
    TNotingCommand Noting(Dir);
    TAlertCommand Alert;
    TReports Reports(Alert);
    const QDateTime Start = QDateTime::fromString("2026-03-05T14:00:00+01:00", Qt::ISODate);
    const QDateTime Lost = Start.addSecs(25);
    const auto At = [&](int Seconds) { return Start.addSecs(Seconds).toString(Qt::ISODate); };
    QStringList Expected;
    for (int Flap = 0; Flap < 5; ++Flap) {
        const QDateTime Since = Start.addSecs(10 * Flap);
        Alert.Run(Noting.Command(), Episode(TTroubleKind::Silence, Since), true);
        Alert.Run(Noting.Command(), Episode(TTroubleKind::Silence, Since, 2), false);
        if (Flap == 0)
            Expected << "begin silence " + At(0);
        Expected << "end silence " + At(10 * Flap);
        if (Flap == 2) {
            Alert.Run(Noting.Command(), Episode(TTroubleKind::CaptureLost, Lost), true);
            Expected << "begin capture " + At(25);
        }
    }
    Alert.Run(Noting.Command(), Episode(TTroubleKind::CaptureLost, Lost, 60), false);
    Expected << "end capture " + At(25);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == Expected.size(); }, 20s))
        << Noting.Lines().join(u'\n').toStdString();
    EXPECT_FALSE(SpinUntil([&] { return Reports.Runs.size() > Expected.size(); }, 500ms));
    EXPECT_EQ(Noting.Lines(), Expected);
    EXPECT_TRUE(Reports.Told.isEmpty());
}

// More events waiting than the queue holds: the oldest waiting ones are dropped, and that is
// told once.
TEST(AlertCommand, BeyondTheQueueLimitTheOldestWaitingAreDroppedAndToldOnce) {
    QTemporaryDir Dir;
    TNotingCommand Noting(Dir);
    TAlertCommand Alert;
    TReports Reports(Alert);
    const QDateTime Start = QDateTime::fromString("2026-03-05T14:00:00+01:00", Qt::ISODate);
    constexpr int Dropped = 3;
    QStringList Expected;
    for (int Event = 0; Event < 1 + TAlertCommand::QueueLimit + Dropped; ++Event) {
        const QDateTime Since = Start.addSecs(60 * Event);
        Alert.Run(Noting.Command(), Episode(TTroubleKind::Silence, Since), true);
        // The first runs at once; the next ones wait, and the oldest of them are dropped.
        if (Event == 0 || Event > Dropped)
            Expected << "begin silence " + Since.toString(Qt::ISODate);
    }
    const QString Told = QStringLiteral("Alarmopdracht loopt achter: er wachten meer dan %1 "
                                        "meldingen, de oudste worden overgeslagen")
                             .arg(TAlertCommand::QueueLimit);
    ASSERT_TRUE(SpinUntil([&] { return Reports.Runs.size() == Expected.size() + 1; }, 30s))
        << Noting.Lines().join(u'\n').toStdString();
    EXPECT_EQ(Noting.Lines(), Expected);
    EXPECT_EQ(Reports.Runs.count(Told), 1);
    EXPECT_EQ(Reports.Told, QStringList{Told});
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
    Big.Id = Data->AddPreset(Big);
    ScheduleAll(Big.Id);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Kind);
        const QString Out = Dir.filePath(QStringLiteral("uit-%1.txt").arg(C.Kind));
        TAlarmSettings Alarm;
        Alarm.Command = QStringLiteral("%1 %2").arg(Script, Out);
        Config->SetAlarm(Alarm);
        Now = Amsterdam("2026-03-05T13:20:00Z");
        const int64_t Free = C.Free;
        TRecordingSession Session(*Config, Clock(), [&Free](const QString&) { return Free; });
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
                return SqlRows(Session.Data()->Connection(),
                               "SELECT event FROM events WHERE event='opdracht'")
                           .size() > 0;
            },
            10s));
        EXPECT_FALSE(
            SqlRows(Session.Data()->Connection(),
                    QStringLiteral("SELECT text FROM events WHERE event='begin' AND kind='%1'")
                        .arg(C.Kind))
                .isEmpty());
        Session.Shutdown();
        QSqlQuery(Data->Connection()).exec("DELETE FROM events");
    }
}
