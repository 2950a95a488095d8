#include "audio/uRecorder.h"
#include "control/RecordingNames.h"
#include "control/RecordingSession.h"
#include "support/Presets.h"
#include "support/RecordingFixture.h"
#include "support/SqlHelpers.h"
#include "support/WaitUntil.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <csignal>
#include <sys/resource.h>

using namespace std::chrono_literals;

namespace {

class Recording : public testing::Test, public TRecordingFixture {
protected:
    QByteArray ReadFile(const QString& Path) {
        QFile F(Path);
        EXPECT_TRUE(F.open(QIODevice::ReadOnly)) << Path.toStdString();
        return F.readAll();
    }
};

// Numbering counts the log rows of the same local date and hour only, and stops at 9.
TEST_F(Recording, NextRecNumberCountsRowsOfTheSameDateAndHour) {
    struct TCase {
        const char* LoggedUtc; // the rows logged before, all at this moment
        int Count;
        int Expected;
    };
    const TCase Cases[] = {
        {"2026-03-05T13:10:00Z", 0, 1},  {"2026-03-05T13:10:00Z", 3, 4},
        {"2026-03-05T12:10:00Z", 3, 1}, // another hour of the same date
        {"2026-03-04T13:10:00Z", 3, 1}, // the same hour of another date
        {"2026-03-05T13:59:59Z", 12, 9},
    };
    TRecordingController Controller(*Config, Data, Clock());
    for (const TCase& C : Cases) {
        QSqlQuery(Data->Connection()).exec(QStringLiteral("DELETE FROM recordings"));
        for (int I = 0; I < C.Count; ++I)
            Data->LogRecording(Wav, Amsterdam(C.LoggedUtc), I + 1, "x.wav", "/x.wav");
        EXPECT_EQ(Controller.NextRecNumber(Amsterdam("2026-03-05T13:30:00Z")), C.Expected)
            << C.LoggedUtc << " x" << C.Count;
    }
}

TEST_F(Recording, FolderAndFileNameOfTheStartMoment) {
    const QDateTime NewYearsEve = Amsterdam("2026-12-31T22:00:00Z");
    for (const QString& Root : {Dir.path() + "/Opnames", Dir.path() + "/Opnames/"})
        EXPECT_EQ(RecordingFolder(Root, NewYearsEve), Dir.path() + "/Opnames/2026/12/31/");
    EXPECT_EQ(RecordingFileName(NewYearsEve, 1, afOPUS), "31122026231.opus");
    EXPECT_EQ(RecordingFileName(Amsterdam("2026-03-05T23:00:00Z"), 2, afMP3), "06032026002.mp3");
    const std::pair<int, const char*> Numbered[] = {{0, "05032026141.mp3"},
                                                    {1, "05032026141.mp3"},
                                                    {2, "05032026141_2.mp3"},
                                                    {12, "05032026141_12.mp3"}};
    for (const auto& [Suffix, Name] : Numbered)
        EXPECT_EQ(NumberedFileName("05032026141.mp3", Suffix), Name) << Suffix;
}

TEST_F(Recording, FormatLines) {
    const std::pair<TPreset, const char*> Cases[] = {
        {Preset(afMP3, 44100, 2, 128), "MP3 128 Kbps, 44100 Hz, Stereo"},
        {Preset(afOPUS, 48000, 1, 64), "OPUS 64 Kbps, 48000 Hz, Mono"},
        {Preset(afOGG, 22050, 3, 96), "OGG 96 Kbps, 22050 Hz, Mono"},
        {Preset(afWAV, 48000, 2, 320), "WAV 16-bit, 48000 Hz, Stereo"},
        {Preset(afWAV, 8000, 1, 0), "WAV 16-bit, 8000 Hz, Mono"},
    };
    for (const auto& [P, Line] : Cases)
        EXPECT_EQ(ControlText::FormatLine(P), Line);
}

// A start shows file, format line and source, logs one row and enables "Stop opname".
TEST_F(Recording, StartShowsLogsAndNumbers) {
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    const QString Path = DayFolder("2026/03/05") + "05032026141.wav";
    EXPECT_EQ(Controller.Status().FileText, Path);
    EXPECT_EQ(Controller.Status().InfoText, "WAV 16-bit, 8000 Hz, Mono");
    EXPECT_EQ(Controller.Status().SourceText, "Opname handmatig gestart");
    EXPECT_EQ(Controller.Status().FormatText, Wav.Name);
    EXPECT_FALSE(Controller.Status().StartEnabled);
    EXPECT_TRUE(Controller.Status().StopEnabled);
    EXPECT_NE(Controller.CurrentTicket(), 0);
    EXPECT_EQ(SqlRows(Data->Connection(),
                      "SELECT rec_hour, preset_name, format, filepath FROM recordings"),
              (QList<QStringList>{{"14", Wav.Name, "WAV", Path}}));
    Controller.Shutdown();
    EXPECT_TRUE(QFile::exists(Path));
}

// A start during a recording first ends the old one and logs its length, also when the
// new start then fails.
TEST_F(Recording, StartDuringRecordingLogsTheOldDurationFirst) {
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    Now = Now.addMSecs(10900);
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    Now = Now.addSecs(5);
    soundlib::TScript Refusing;
    Refusing.StartError = BASS_ERROR_DEVICE;
    soundlib::InstallScriptedBackend(Refusing);
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 14:20:00", "1", "05032026141.wav", "10"},
                                  {"2026-03-05 14:20:10", "2", "05032026142.wav", "5"}}));
    EXPECT_EQ(Controller.Status().FormatText, "Geen opname");
    EXPECT_TRUE(Controller.Status().StartEnabled);
}

// A failed start shows the sound library's code, logs nothing, leaves no empty file, and a
// retry in the same hour builds the same path.
TEST_F(Recording, FailedStartShowsTheErrorCodeAndLogsNothing) {
    soundlib::TScript Refusing;
    Refusing.StartError = BASS_ERROR_DEVICE;
    soundlib::InstallScriptedBackend(Refusing);
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    const QString Path = DayFolder("2026/03/05") + "05032026141.wav";
    for (int Attempt = 0; Attempt < 2; ++Attempt) {
        Controller.StartRecording(Wav, Now, ControlText::ByHand);
        EXPECT_EQ(Controller.Status().FileText, Path);
        EXPECT_EQ(Controller.Status().InfoText, "Kon opname niet starten (BASS fout 23).");
        EXPECT_EQ(Controller.Status().SourceText, "Opname handmatig gestart");
        EXPECT_EQ(Controller.Status().FormatText, "Geen opname");
        EXPECT_TRUE(Controller.Status().StartEnabled);
        EXPECT_FALSE(Controller.IsRecording());
        EXPECT_TRUE(LogRows().isEmpty());
        EXPECT_FALSE(QFile::exists(Path));
    }
}

// Without a usable device every start checks it again and shows what to do; the start-up
// keeps those texts up instead of "Klaar.".
TEST_F(Recording, NoDeviceShowsWhatToDo) {
    soundlib::TScript NoDevices;
    NoDevices.Devices.clear();
    soundlib::InstallScriptedBackend(NoDevices);
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    EXPECT_FALSE(Controller.DeviceOK());
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().FileText, "");
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname-apparaat beschikbaar.");
    EXPECT_EQ(Controller.Status().SourceText,
              "Kies een apparaat via Instellingen > Opname-apparaat.");
    // The device appears: the next start finds it.
    soundlib::TScript OneDevice;
    soundlib::InstallScriptedBackend(OneDevice);
    Controller.ManualStart();
    EXPECT_TRUE(Controller.DeviceOK());
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows().size(), 1);
}

// An existing file is never replaced: the new recording gets "_2", "_3", ... and the log
// row names the file really written. Ten recordings in one hour make ten files.
TEST_F(Recording, NeverReplacesAnExistingFile) {
    Now = Amsterdam("2026-03-05T13:20:00Z");
    const QString Folder = DayFolder("2026/03/05");
    ASSERT_TRUE(QDir().mkpath(Folder));
    const QByteArray Earlier("an earlier recording");
    {
        QFile F(Folder + "05032026141.wav");
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Earlier);
    }
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    for (int I = 0; I < 10; ++I) {
        Controller.StartRecording(Wav, Now, ControlText::ByHand);
        Now = Now.addSecs(1);
    }
    Controller.Shutdown();
    EXPECT_EQ(ReadFile(Folder + "05032026141.wav"), Earlier);
    const QList<QStringList> Rows =
        SqlRows(Data->Connection(), "SELECT rec_number, filename, filepath FROM recordings");
    ASSERT_EQ(Rows.size(), 10);
    EXPECT_EQ(Rows[0], (QStringList{"1", "05032026141_2.wav", Folder + "05032026141_2.wav"}));
    EXPECT_EQ(Rows[1][1], "05032026142.wav");
    EXPECT_EQ(Rows[8], (QStringList{"9", "05032026149.wav", Folder + "05032026149.wav"}));
    EXPECT_EQ(Rows[9], (QStringList{"9", "05032026149_2.wav", Folder + "05032026149_2.wav"}));
    EXPECT_EQ(QDir(Folder).entryList(QDir::Files).size(), 11);
}

// A file that appears after its name was found free (here made as the capture starts, just
// before the encoder creates its file) stays byte for byte as it was: the recording goes to
// the next free name, and its log row names that file.
TEST_F(Recording, AFileAppearingAfterTheNameCheckIsLeftAndTheNextNameTaken) {
    const QString Folder = DayFolder("2026/03/05");
    const QString Taken = Folder + "05032026141.mp3";
    const QByteArray Earlier("written by someone else");
    soundlib::TScript Script;
    Script.Signal = soundlib::ToneSignal(1000, 0.5);
    Script.OnStart = [&] {
        QFile F(Taken);
        if (!F.exists() && F.open(QIODevice::WriteOnly))
            F.write(Earlier);
    };
    soundlib::InstallScriptedBackend(Script);
    TPreset Mp3 = Preset(afMP3, 44100, 2, 128);
    Mp3.Name = QStringLiteral("MP3 128 Kbit Stereo");
    Mp3.Id = Data->AddPreset(Mp3);
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    Controller.StartRecording(Mp3, Now, ControlText::ByHand);
    ASSERT_TRUE(Controller.IsRecording());
    const QString Next = Folder + "05032026141_2.mp3";
    EXPECT_EQ(Controller.Status().FileText, Next);
    EXPECT_TRUE(WaitUntil([&] { return QFileInfo(Next).size() > 4096; }, 2s)) << "it records";
    Controller.Shutdown();
    EXPECT_EQ(ReadFile(Taken), Earlier);
    EXPECT_EQ(SqlRows(Data->Connection(), "SELECT rec_number, filename, filepath FROM recordings"),
              (QList<QStringList>{{"1", "05032026141_2.mp3", Next}}));
}

// A WAV file that cannot grow (here: the file size limit) shows the system's reason in the
// information line at the next tick; the next hour starts afresh.
TEST_F(Recording, FailedWavWriteShowsAtTheNextTick) {
    soundlib::TScript Fast;
    Fast.Signal = soundlib::ToneSignal(1000, 0.5);
    Fast.Speed = 8;
    soundlib::InstallScriptedBackend(Fast);
    TPreset Big = Wav;
    Big.SampleRate = 48000;
    Big.Channels = 2;
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    const auto PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Saved{};
    getrlimit(RLIMIT_FSIZE, &Saved);
    // Above the database's size, below what a few seconds of this preset write.
    rlimit Small = Saved;
    Small.rlim_cur = 512 * 1024;
    setrlimit(RLIMIT_FSIZE, &Small);
    Controller.StartRecording(Big, Now, ControlText::ByHand);
    QString Shown = Controller.Status().InfoText;
    EXPECT_EQ(Shown, "WAV 16-bit, 48000 Hz, Stereo");
    for (int I = 0; I < 500 && Shown == "WAV 16-bit, 48000 Hz, Stereo"; ++I) {
        QThread::msleep(10);
        Controller.TimerClockTimer();
        Shown = Controller.Status().InfoText;
    }
    setrlimit(RLIMIT_FSIZE, &Saved);
    std::signal(SIGXFSZ, PreviousHandler);
    EXPECT_EQ(Shown, Controller.Recorder()->WriteError());
    EXPECT_FALSE(Shown.isEmpty());
    // From the second tick on the failure is also the lasting trouble status.
    Controller.TimerClockTimer();
    EXPECT_EQ(Controller.Status().TroubleText, "Schrijven mislukt sinds 14:20:00");

    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T14:00:00.100Z");
    Controller.TimerClockTimer();
    EXPECT_EQ(Controller.Status().InfoText, "WAV 16-bit, 8000 Hz, Mono");
    Controller.TimerClockTimer();
    EXPECT_EQ(Controller.Status().InfoText, "WAV 16-bit, 8000 Hz, Mono");
    EXPECT_EQ(Controller.Status().TroubleText, "");
    // The cut-short file is logged with the length it holds, not the 40 minutes that passed.
    const qint64 Held =
        (QFileInfo(DayFolder("2026/03/05") + "05032026141.wav").size() - 44) / (48000 * 4);
    EXPECT_LT(Held, 5);
    EXPECT_EQ(LogRows().first().at(3), QString::number(Held));
}

// Without a database the controller runs on: it says so, records nothing by schedule, logs
// nothing and never fails.
TEST_F(Recording, WithoutDatabaseNothingIsLoggedAndNothingFails) {
    Data.reset();
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    QStringList Warnings;
    QObject::connect(&Controller, &TRecordingController::WarningRaised,
                     [&](const QString& Text) { Warnings << Text; });
    Controller.Startup();
    EXPECT_EQ(Controller.Status().InfoText, "Geen database beschikbaar.");
    Controller.ManualStart();
    EXPECT_EQ(Warnings,
              QStringList{"Er is geen database beschikbaar, dus ook geen opname-presets."});
    Now = Amsterdam("2026-03-05T13:00:00.100Z");
    Controller.TimerClockTimer();
    EXPECT_EQ(Controller.Status().InfoText, "Geen database beschikbaar.");
    // A recording still works, unlogged.
    Controller.StartRecording(Wav, Now, ControlText::ByHand);
    EXPECT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.CurrentTicket(), 0);
    Now = Amsterdam("2026-03-05T14:00:00.100Z");
    Controller.TimerClockTimer();
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(QFile::exists(DayFolder("2026/03/05") + "05032026141.wav"));
    Controller.Shutdown();
}

TEST_F(Recording, OpenDatabaseReportsTheEnginesMessage) {
    Config->SetDatabasePath(QStringLiteral("/proc/geen-map/Vantor2026.sqlite"));
    TRecordingSession Session(*Config, Clock());
    const QString Error = Session.OpenDatabase();
    EXPECT_FALSE(Error.isEmpty());
    EXPECT_EQ(Session.Data(), nullptr);
    Config->SetDatabasePath(Dir.path() + "/Vantor2026.sqlite");
    EXPECT_EQ(Session.OpenDatabase(), "");
    EXPECT_NE(Session.Data(), nullptr);
}

// A change that moves the log in Data to the database at Path and keeps the one in use in Old.
std::function<void()> MoveLogTo(std::unique_ptr<TLogData>& Data, std::unique_ptr<TLogData>& Old,
                                const QString& Path) {
    return [&Data, &Old, Path] {
        Old = std::move(Data);
        Data = std::make_unique<TLogData>(Path);
    };
}

// The restart after a change under a running recording (another database here): the old
// row gets its duration in the old database, the same preset and source start at once in
// the new one.
TEST_F(Recording, RestartLogsOldRowAndStartsTheSamePresetAgain) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    Now = Amsterdam("2026-03-05T12:40:00Z");
    const QString OtherPath = Dir.path() + "/Ander.sqlite";
    std::unique_ptr<TLogData> Old;
    Controller.RestartRecording({MoveLogTo(Data, Old, OtherPath), [] {}, [] {}});
    EXPECT_EQ(SqlRows(Old->Connection(), "SELECT filename, duration_sec FROM recordings"),
              (QList<QStringList>{{"05032026131.wav", "600"}}));
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:40:00", "1", "05032026131_2.wav", "0"}}));
    EXPECT_EQ(Controller.Status().SourceText, "Opname gestart door interne klok");
    EXPECT_EQ(Controller.CurrentPreset().Name, Wav.Name);
    Controller.Shutdown();

    // Without a running recording only the change runs.
    bool Changed = false;
    Controller.RestartRecording({[&] { Changed = true; }, [] {}, [] {}});
    EXPECT_TRUE(Changed);
    EXPECT_FALSE(Controller.IsRecording());
}

// A change whose commit fails (the settings file cannot be saved) is reverted, and the
// recording it stopped starts again as it was, under the next number in the same database.
TEST_F(Recording, AFailedChangeIsRevertedAndTheRecordingStartsAgain) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    Now = Amsterdam("2026-03-05T12:40:00Z");
    std::unique_ptr<TLogData> Old;
    const TSettingsChange Change{MoveLogTo(Data, Old, Dir.path() + "/A.sqlite"),
                                 [] { throw std::runtime_error("opslaan mislukt"); },
                                 [&] { Data = std::move(Old); }};
    EXPECT_THROW(Controller.RestartRecording(Change), std::runtime_error);
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Data->Connection().databaseName(), Config->DatabasePath());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:30:00", "1", "05032026131.wav", "600"},
                                  {"2026-03-05 13:40:00", "2", "05032026132.wav", "0"}}));
    Controller.Shutdown();
}

} // namespace
