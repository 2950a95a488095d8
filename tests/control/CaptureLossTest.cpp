#include "audio/FileRepair.h"
#include "audio/uRecorder.h"
#include "support/DatabaseLock.h"
#include "support/RecordingFixture.h"
#include "support/RecordingThreadStall.h"
#include "support/WaitUntil.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

using namespace std::chrono_literals;

namespace {

// The scripted sound server goes away during a recording and comes back later: the
// recording is ended and logged at the first tick that sees it, then restarted under the
// next number at the first 5-second retry after the server is back.
class CaptureLoss : public testing::Test, public TRecordingFixture {
protected:
    static void ExpectCompleteWav(const QString& Path) {
        const auto Wav = RepairWavHeader(Path);
        ASSERT_TRUE(Wav) << Path.toStdString();
        EXPECT_FALSE(Wav->Rewritten) << "header does not describe " << Path.toStdString();
        EXPECT_GT(Wav->DataBytes, 0) << Path.toStdString();
    }
};

TEST_F(CaptureLoss, DeadCaptureIsLoggedAtOnceAndRetriedEveryFiveSecondsWithinTheHour) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    int TroubleSignals = 0;
    QObject::connect(&Controller, &TRecordingController::TroubleChanged, [&] { ++TroubleSignals; });
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    const QString First = DayFolder("2026/03/05") + "05032026131.wav";
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(First).size() > 44 + 1600; }, 2s));
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:07Z"));

    soundlib::SetScriptedServerUp(false);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:07.250Z"));
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().TroubleText, "") << "shown from the second tick on";
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:10Z"));
    EXPECT_TRUE(Controller.RetryPending());
    EXPECT_EQ(Controller.Status().FileText, First);
    EXPECT_EQ(Controller.Status().InfoText,
              "Apparaat weggevallen om 13:20:07, opname bewaard. Nieuwe poging elke 5 seconden...");
    EXPECT_EQ(Controller.Status().SourceText, "Opname gestart door interne klok");
    EXPECT_EQ(Controller.Status().TroubleText, "Geen opname sinds 13:20:07: geen geluid");
    EXPECT_EQ(TroubleSignals, 1);
    EXPECT_EQ(LogRows(), (QList<QStringList>{{"2026-03-05 13:20:00", "1", "05032026131.wav", "7"}}))
        << "the dead recording is logged at once; nothing is logged for failed retries";
    ExpectCompleteWav(First);

    // Retries fall 5 s apart from the loss: :12.25, :17.25, ... :32.25. The device refuses
    // for 20 s and is back at :28, so the one at :32.25 starts.
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:28Z"));
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:32Z"));
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(LogRows().size(), 1);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:32.250Z"));
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_FALSE(Controller.RetryPending());
    const QString Second = DayFolder("2026/03/05") + "05032026132.wav";
    EXPECT_EQ(Controller.Status().FileText, Second);
    EXPECT_EQ(Controller.Status().InfoText, "WAV 16-bit, 8000 Hz, Mono");
    EXPECT_EQ(Controller.Status().SourceText, "Opname gestart door interne klok");
    EXPECT_EQ(Controller.Status().TroubleText, "");
    EXPECT_EQ(TroubleSignals, 2);
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:20:00", "1", "05032026131.wav", "7"},
                                  {"2026-03-05 13:20:32", "2", "05032026132.wav", "0"}}));
    ASSERT_TRUE(WaitUntil([&] { return QFileInfo(Second).size() > 44 + 1600; }, 2s));
    Controller.Shutdown();
    ExpectCompleteWav(Second);
}

// A notice (here a retention summary) never replaces trouble in the information line: the
// lost capture and its retry stay up until a recording runs again, which notices may follow.
TEST_F(CaptureLoss, ANoticeNeverHidesTheTroubleInTheInformationLine) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    soundlib::SetScriptedServerUp(false);
    ASSERT_TRUE(WaitUntil([&] { return !Controller.Recorder()->CaptureAlive(); }, 2s));
    TickUntil(Controller, Now.addSecs(1));
    ASSERT_TRUE(Controller.RetryPending());
    const QString Lost = Controller.Status().InfoText;
    ASSERT_TRUE(Lost.startsWith("Apparaat weggevallen om ")) << Lost.toStdString();
    const QString Summary = "Opgeruimd: 3 opnamen verwijderd.";
    Controller.ShowInfo(Summary);
    EXPECT_EQ(Controller.Status().InfoText, Lost);
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Now.addSecs(6));
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().InfoText, "WAV 16-bit, 8000 Hz, Mono");
    Controller.ShowInfo(Summary);
    EXPECT_EQ(Controller.Status().InfoText, Summary);
    Controller.Shutdown();
}

// Retries end with the hour; at the boundary the schedule decides again, and a scheduled
// start that fails (the server is still away) is retried within its own hour.
TEST_F(CaptureLoss, RetriesEndWithTheHourAndAFailedScheduledStartIsRetried) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:59:50Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    TickUntil(Controller, Amsterdam("2026-03-05T12:59:59.750Z"));
    soundlib::SetScriptedServerUp(false);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:00.250Z"));
    EXPECT_EQ(Controller.Status().InfoText, "Kon opname niet starten (BASS fout 3).");
    EXPECT_TRUE(Controller.RetryPending());
    EXPECT_FALSE(Controller.Status().TroubleText.isEmpty());
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:05Z"));
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:59:50", "1", "05032026131.wav", "10"},
                                  {"2026-03-05 14:00:05", "1", "05032026141.wav", "0"}}));

    // A loss in an hour with nothing scheduled after it: the retry ends at the boundary.
    Data->SetSchedulePreset(4, 15, 0);
    soundlib::SetScriptedServerUp(false);
    TickUntil(Controller, Amsterdam("2026-03-05T13:59:59.750Z"));
    EXPECT_TRUE(Controller.RetryPending());
    TickUntil(Controller, Amsterdam("2026-03-05T14:00:00Z"));
    EXPECT_FALSE(Controller.RetryPending());
    EXPECT_EQ(Controller.Status().TroubleText, "");
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname gepland voor dit uur.");
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Amsterdam("2026-03-05T14:00:30Z"));
    EXPECT_FALSE(Controller.IsRecording());
    Controller.Shutdown();
}

// The disk holds the recording thread up longer than the capture's buffer lasts: the audio
// that could not wait is dropped. That shows at once as trouble, with the moment and the
// seconds lost, for the rest of the recording; its log row gets the length its file holds,
// not the time that passed.
TEST_F(CaptureLoss, AudioDroppedBehindAStalledDiskIsShownAndTheFileLengthLogged) {
    soundlib::TScript Fast;
    Fast.Signal = soundlib::ToneSignal(1000, 0.5);
    Fast.Speed = 40; // fills the ring's 32 s in under a second
    soundlib::InstallScriptedBackend(Fast);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    QStringList Shown;
    QObject::connect(&Controller, &TRecordingController::TroubleChanged,
                     [&] { Shown << Controller.Status().TroubleText; });
    Controller.Startup();
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    ASSERT_TRUE(Controller.IsRecording());
    {
        TRecordingThreadStall Stall;
        ASSERT_TRUE(Stall.Started());
        ASSERT_TRUE(WaitUntil([&] { return Controller.Recorder()->DroppedSeconds() > 3; }, 5s));
        TickUntil(Controller, Amsterdam("2026-03-05T12:20:00.250Z"));
    }
    const QRegularExpression Lost(
        QStringLiteral("^Audio verloren om 13:20:00: (\\d+) s \\(schijf te traag\\)$"));
    ASSERT_EQ(Shown.size(), 1);
    const QRegularExpressionMatch First = Lost.match(Shown.first());
    ASSERT_TRUE(First.hasMatch()) << Shown.first().toStdString();
    EXPECT_GE(First.captured(1).toInt(), 4);

    Now = Amsterdam("2026-03-05T12:40:00Z");
    Controller.TimerClockTimer();
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_TRUE(Lost.match(Controller.Status().TroubleText).hasMatch())
        << "still shown: the gap is in the file";
    Controller.Shutdown();
    const QString File = DayFolder("2026/03/05") + "05032026131.wav";
    const double Held = double(QFileInfo(File).size() - 44) / (8000 * 2);
    ASSERT_EQ(LogRows().size(), 1);
    EXPECT_NEAR(LogRows().first().at(3).toDouble(), Held, 1.0);
    EXPECT_LT(Held, 20 * 60) << "less audio than the 20 minutes that passed";
}

// A program started before the sound server is up records as soon as the server answers.
TEST_F(CaptureLoss, StartUpWithoutSoundServerRecordsOnceItAnswers) {
    ScheduleAll(Wav.Id);
    soundlib::SetScriptedServerUp(false);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    EXPECT_FALSE(Controller.DeviceOK());
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname-apparaat beschikbaar.");
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:06Z"));
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname-apparaat beschikbaar.");
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:10Z"));
    EXPECT_TRUE(Controller.DeviceOK());
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:20:10", "1", "05032026131.wav", "0"}}));
    Controller.Shutdown();
}

// The log cannot take a length (here a trigger refuses every update): nothing waits on the
// database. The next hour's recording starts and the retry of a dead capture is planned as
// always, the information line says the log is behind, and once the database takes writes
// again every length is written.
TEST_F(CaptureLoss, ARefusedLengthIsKeptWhileRecordingGoesOn) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:59:50Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    QSqlQuery Refuse(Data->Connection());
    ASSERT_TRUE(Refuse.exec("CREATE TRIGGER refuse BEFORE UPDATE ON recordings "
                            "BEGIN SELECT RAISE(ABORT, 'geweigerd'); END"));
    Now = Amsterdam("2026-03-05T13:00:00Z");
    EXPECT_NO_THROW(Controller.TimerClockTimer());
    SettleCut(Controller);
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().FileText, DayFolder("2026/03/05") + "05032026141.wav");
    EXPECT_EQ(Controller.Status().InfoText,
              "Opname nog niet in het logboek: databasefout (geweigerd). Nieuwe poging elke 5 "
              "seconden.");

    soundlib::SetScriptedServerUp(false);
    ASSERT_TRUE(WaitUntil([&] { return !Controller.Recorder()->CaptureAlive(); }, 2s));
    Now = Now.addSecs(1);
    EXPECT_NO_THROW(Controller.TimerClockTimer());
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(Controller.RetryPending());
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Now.addSecs(5));
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:59:50", "1", "05032026131.wav", "0"},
                                  {"2026-03-05 14:00:00", "1", "05032026141.wav", "0"},
                                  {"2026-03-05 14:00:06", "2", "05032026142.wav", "0"}}));
    Refuse.exec("DROP TRIGGER refuse");
    TickUntil(Controller, Now.addSecs(5));
    EXPECT_EQ(Controller.Status().InfoText, "Het opnamelogboek is weer bijgewerkt.");
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:59:50", "1", "05032026131.wav", "10"},
                                  {"2026-03-05 14:00:00", "1", "05032026141.wav", "1"},
                                  {"2026-03-05 14:00:06", "2", "05032026142.wav", "0"}}));
    Controller.Shutdown();
}

// Another program holds the database locked across the hour switch for longer than the
// database's own wait: the new hour is recorded at once, and once the lock is gone the old
// recording's length and the new recording's row are written, in order.
TEST_F(CaptureLoss, ADatabaseLockedAtTheHourLosesNoRow) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:59:50Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    {
        TDatabaseLock Lock(Config->DatabasePath(), 7);
        Now = Amsterdam("2026-03-05T13:00:00.100Z");
        EXPECT_NO_THROW(Controller.TimerClockTimer());
        SettleCut(Controller);
        EXPECT_TRUE(Controller.IsRecording());
        EXPECT_EQ(Controller.Status().FileText, DayFolder("2026/03/05") + "05032026141.wav");
        EXPECT_TRUE(Controller.Log().Waiting());
        EXPECT_EQ(Controller.Status().InfoText,
                  "Opname nog niet in het logboek: de database is vergrendeld door een ander "
                  "programma. Nieuwe poging elke 5 seconden.");
    }
    TickUntil(Controller, Now.addSecs(5));
    EXPECT_FALSE(Controller.Log().Waiting());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:59:50", "1", "05032026131.wav", "10"},
                                  {"2026-03-05 14:00:00", "1", "05032026141.wav", "0"}}));
    Controller.Shutdown();
    EXPECT_EQ(LogRows().last().at(3), "5");
}

// A scheduled start whose file cannot be made (here a file stands where the folder should
// be), at start-up or at an hour boundary, reaches the caller once; the retries show it in
// the information line without a box each, and once the folder can be made the hour is
// recorded.
class ScheduledFileError : public CaptureLoss, public testing::WithParamInterface<bool> {};

TEST_P(ScheduledFileError, IsReportedOnceAndRetried) {
    const bool AtStartup = GetParam();
    ScheduleAll(Wav.Id);
    const QString Usable = Config->RootFolder();
    QFile Blocking(Dir.path() + "/Blokkade");
    ASSERT_TRUE(Blocking.open(QIODevice::WriteOnly));
    Blocking.close();
    TRecordingController Controller(*Config, Data, Clock());
    QList<QStringList> Logged;
    if (AtStartup) {
        Now = Amsterdam("2026-03-05T13:00:00Z");
        Config->SetRootFolder(Blocking.fileName() + "/Opnames");
        EXPECT_THROW(Controller.Startup(), EFileError);
    } else {
        Now = Amsterdam("2026-03-05T12:59:59Z");
        Controller.Startup();
        ASSERT_TRUE(Controller.IsRecording());
        Config->SetRootFolder(Blocking.fileName() + "/Opnames");
        Now = Amsterdam("2026-03-05T13:00:00Z");
        EXPECT_THROW(Controller.TimerClockTimer(), EFileError);
        Logged << QStringList{"2026-03-05 13:59:59", "1", "05032026131.wav", "1"};
    }
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(Controller.RetryPending());
    int StatusChanges = 0;
    QObject::connect(&Controller, &TRecordingController::StatusLinesChanged,
                     [&] { ++StatusChanges; });
    std::vector<TTroubleKind> Began;
    QObject::connect(&Controller, &TRecordingController::TroubleBegan,
                     [&](const TTrouble& T) { Began.push_back(T.Kind); });
    EXPECT_NO_THROW(TickUntil(Controller, Amsterdam("2026-03-05T13:00:20Z")));
    EXPECT_TRUE(Controller.Status().InfoText.startsWith("Kan map " + Blocking.fileName()))
        << Controller.Status().InfoText.toStdString();
    EXPECT_TRUE(Controller.Status().InfoText.endsWith(": een deel van het pad is geen map"))
        << Controller.Status().InfoText.toStdString();
    EXPECT_EQ(StatusChanges, 1) << "the same error is shown once, not at every retry";
    EXPECT_EQ(Began, std::vector{TTroubleKind::WritesFailing})
        << "a folder that cannot be made is a write trouble, not a lost capture";

    Config->SetRootFolder(Usable);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:25Z"));
    ASSERT_TRUE(Controller.IsRecording());
    Logged << QStringList{"2026-03-05 14:00:25", "1", "05032026141.wav", "0"};
    EXPECT_EQ(LogRows(), Logged);
    Controller.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Start, ScheduledFileError, testing::Values(true, false),
                         [](const auto& Info) {
                             return Info.param ? "AtStartup" : "AtTheBoundary";
                         });

} // namespace

namespace {

// A sound server that hangs (stopped, not gone) keeps the capture open but brings nothing:
// after 3 s that is trouble of its own, after 10 s the capture counts as lost (stopped,
// logged, retried), and once the server answers again the hour goes on under the next
// number. Times without audio are real seconds, so this test takes about 11 of them.
TEST_F(CaptureLoss, AHungServerIsTroubleAfterThreeSecondsAndALostCaptureAfterTen) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    QStringList Events;
    QObject::connect(&Controller, &TRecordingController::TroubleBegan,
                     [&](const TTrouble& T) { Events << T.Text; });
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    const auto Silent = [&] { return Controller.Recorder()->Snapshot().SecondsWithoutAudio; };
    ASSERT_TRUE(WaitUntil([&] { return Silent() < 1; }, 2s));

    soundlib::SetScriptedServerHung(true);
    ASSERT_TRUE(WaitUntil([&] { return Silent() >= 3.2; }, 5s));
    Now = Amsterdam("2026-03-05T12:20:10Z");
    Controller.TimerClockTimer();
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_TRUE(Controller.Status().TroubleText.startsWith("Geen geluid ontvangen sinds 13:20:0"))
        << Controller.Status().TroubleText.toStdString();

    ASSERT_TRUE(WaitUntil([&] { return Silent() >= 10.2; }, 9s));
    Now = Amsterdam("2026-03-05T12:20:17Z");
    Controller.TimerClockTimer();
    Controller.TimerClockTimer();
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(Controller.RetryPending());
    EXPECT_EQ(Controller.Status().TroubleText, "Geen opname sinds 13:20:17: geen geluid");
    ASSERT_EQ(LogRows().size(), 1);
    EXPECT_NE(LogRows()[0][3], "0") << "the stopped recording is logged";

    soundlib::SetScriptedServerHung(false);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:23Z"));
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().TroubleText, "");
    ASSERT_EQ(LogRows().size(), 2);
    EXPECT_EQ(LogRows()[1][2], "05032026132.wav");
    ASSERT_EQ(Events.size(), 2);
    EXPECT_TRUE(Events[0].startsWith("Geen geluid ontvangen sinds"));
    EXPECT_EQ(Events[1], "Geen opname sinds 13:20:17: geen geluid");
    Controller.Shutdown();
}

// A hang shorter than the trouble threshold leaves one unbroken recording.
TEST_F(CaptureLoss, AShortHangLeavesOneUnbrokenRecording) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    soundlib::SetScriptedServerHung(true);
    for (int I = 0; I < 8; ++I) {
        QThread::msleep(250);
        Now = Now.addMSecs(250);
        Controller.TimerClockTimer();
    }
    soundlib::SetScriptedServerHung(false);
    TickUntil(Controller, Amsterdam("2026-03-05T12:20:05Z"));
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().TroubleText, "");
    EXPECT_EQ(LogRows().size(), 1);
    Controller.Shutdown();
}

} // namespace
