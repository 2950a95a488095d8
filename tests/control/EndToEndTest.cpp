#include "audio/uRecorder.h"
#include "base/uConfig.h"
#include "data/uData.h"
#include "support/ProgramFixture.h"
#include "support/PulseTestServer.h"
#include "support/SqlHelpers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <arpa/inet.h>
#include <cmath>
#include <fcntl.h>
#include <functional>
#include <map>
#include <netinet/in.h>
#include <sndfile.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Decodes a recording and checks that it holds the 1 kHz tone: two zero crossings per
// millisecond on the left channel, over (at most) one second from its middle.
void ExpectToneFile(const QString& Path) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.toUtf8().constData(), SFM_READ, &Info);
    ASSERT_NE(File, nullptr) << Path.toStdString() << ": " << sf_strerror(nullptr);
    EXPECT_EQ(Info.samplerate, 44100);
    EXPECT_EQ(Info.channels, 2);
    std::vector<float> Samples(static_cast<size_t>(Info.frames) * Info.channels);
    const sf_count_t Read = sf_readf_float(File, Samples.data(), Info.frames);
    sf_close(File);
    ASSERT_GT(Read, 22050) << Path.toStdString();
    const sf_count_t Length = std::min<sf_count_t>(Read / 2, 44100);
    const sf_count_t From = Read / 4;
    int Crossings = 0;
    float Peak = 0;
    for (sf_count_t I = From + 1; I < From + Length; ++I) {
        const float A = Samples[static_cast<size_t>(I - 1) * 2];
        const float B = Samples[static_cast<size_t>(I) * 2];
        Crossings += (A < 0) != (B < 0);
        Peak = std::max(Peak, std::abs(B));
    }
    const double Expected = 2000.0 * static_cast<double>(Length) / 44100;
    EXPECT_NEAR(Crossings, Expected, Expected * 0.03) << Path.toStdString();
    EXPECT_GT(Peak, 0.05f) << Path.toStdString();
}

class EndToEnd : public testing::TestWithParam<bool>, public TProgramFixture {};

// The real program on the real sound server, started five seconds before 14:00 with every
// hour scheduled: the hour of 13 and the hour of 14 each get their file and log row, and
// SIGTERM completes the second and logs its length.
TEST_P(EndToEnd, TwoHoursTwoFilesAndACleanStopOnSigterm) {
    const bool Headless = GetParam();
    Prepare(1); // "MP3 128 Kbit Stereo"
    QProcess Program;
    Start(Program, Headless, "2026-03-05 13:59:55");

    const QString First = Folder + "05032026131.mp3";
    const QString Second = Folder + "05032026141.mp3";
    QElapsedTimer Waited;
    Waited.start();
    // The next hour's file is made some seconds ahead; its row comes with the cut at the hour.
    const auto SecondLogged = [&] {
        return Rows("SELECT filepath FROM recordings WHERE rec_hour=14") ==
               QList<QStringList>{{Second}};
    };
    while (!SecondLogged() && Waited.elapsed() < 30000)
        QThread::msleep(100);
    ASSERT_TRUE(SecondLogged()) << Program.readAllStandardError().toStdString();
    QThread::sleep(4);
    StopCleanly(Program);
    const QString Out = QString::fromUtf8(Program.readAllStandardOutput());
    if (Headless) {
        EXPECT_TRUE(Out.contains(Second + " | MP3 128 Kbps, 44100 Hz, Stereo | "
                                          "Opname gestart door interne klok"))
            << Out.toStdString();
        EXPECT_TRUE(Out.contains("SIGTERM")) << Out.toStdString();
    }

    EXPECT_EQ(QDir(Folder).entryList(QDir::Files),
              (QStringList{"05032026131.mp3", "05032026141.mp3"}));
    const QList<QStringList> Logged =
        Rows("SELECT rec_hour, rec_number, filepath, duration_sec FROM recordings ORDER BY id");
    ASSERT_EQ(Logged.size(), 2);
    EXPECT_EQ(Logged[0].mid(0, 3), (QStringList{"13", "1", First}));
    EXPECT_EQ(Logged[1].mid(0, 3), (QStringList{"14", "1", Second}));
    EXPECT_NEAR(Logged[0][3].toInt(), 5, 2);
    EXPECT_NEAR(Logged[1][3].toInt(), 4, 2);
    ExpectToneFile(First);
    ExpectToneFile(Second);
}

INSTANTIATE_TEST_SUITE_P(Program, EndToEnd, testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Headless" : "Window"; });

class Unattended : public testing::Test, public TProgramFixture {};

uint32_t Le32At(const QByteArray& Bytes, int Offset) {
    uint32_t Value = 0;
    for (int I = 3; I >= 0; --I)
        Value = Value << 8 | static_cast<uint8_t>(Bytes[Offset + I]);
    return Value;
}

// The WAV header's two sizes say DataBytes of audio.
void ExpectHeaderSizes(const QByteArray& Header, int64_t DataBytes) {
    EXPECT_EQ(Le32At(Header, 4), static_cast<uint32_t>(DataBytes + 36));
    EXPECT_EQ(Le32At(Header, 40), static_cast<uint32_t>(DataBytes));
}

// The program killed outright during a WAV recording leaves a header that says "no data"
// and a row without duration. The next start repairs both and says so; the start after
// that finds nothing more to repair.
TEST_F(Unattended, AWavCutShortByAKillIsRepairedAtTheNextStartOnce) {
    Prepare(2); // "WAV 44 kHz Stereo"
    const QString Cut = Folder + "05032026141.wav";
    constexpr int64_t BytesPerSecond = 44100 * 4;
    {
        QProcess Program;
        Start(Program, true, "2026-03-05 14:20:00");
        QElapsedTimer Waited;
        Waited.start();
        while (QFileInfo(Cut).size() < 44 + 3 * BytesPerSecond && Waited.elapsed() < 30000)
            QThread::msleep(50);
        Program.kill();
        ASSERT_TRUE(Program.waitForFinished(5000));
    }
    const auto ReadHeader = [&] {
        QFile F(Cut);
        EXPECT_TRUE(F.open(QIODevice::ReadOnly));
        return F.read(44);
    };
    const int64_t Length = QFileInfo(Cut).size();
    ASSERT_GE(Length, 44 + 3 * BytesPerSecond);
    EXPECT_EQ(Le32At(ReadHeader(), 40), 0u);
    EXPECT_EQ(Rows("SELECT duration_sec FROM recordings"), (QList<QStringList>{{"0"}}));

    const auto Restart = [&] {
        QProcess Program;
        Start(Program, true, "2026-03-05 14:30:00");
        const QString Out = ReadUntilRecordingStarts(Program);
        StopCleanly(Program);
        return Out + QString::fromUtf8(Program.readAllStandardOutput());
    };
    const QString Repairing = Restart();
    EXPECT_TRUE(Repairing.contains("Onderbroken opname hersteld: 05032026141.wav"))
        << Repairing.toStdString();
    const QByteArray Header = ReadHeader();
    const int64_t DataBytes = (Length - 44) / 4 * 4;
    ExpectHeaderSizes(Header, DataBytes);
    const QList<QStringList> Logged =
        Rows("SELECT filename, duration_sec FROM recordings ORDER BY id");
    ASSERT_EQ(Logged.size(), 2);
    EXPECT_EQ(Logged[0][0], "05032026141.wav");
    EXPECT_NEAR(Logged[0][1].toDouble(), double(DataBytes) / BytesPerSecond, 1.0);
    EXPECT_EQ(Logged[1][0], "05032026142.wav");

    const QString Again = Restart();
    EXPECT_FALSE(Again.contains("hersteld")) << Again.toStdString();
    EXPECT_TRUE(Again.contains("05032026143.wav")) << Again.toStdString();
    // The repair is an event of its own, once.
    EXPECT_EQ(Rows("SELECT event, kind, text FROM events WHERE event='herstel'"),
              (QList<QStringList>{
                  {"herstel", "repair", "Onderbroken opname hersteld: 05032026141.wav"}}));
}

// The windowless program's standard output is a pipe nobody reads any more (`vantor2026
// --headless | head -n 2` once head has its lines): the status lines are lost, the recording
// is not. It records on, and SIGTERM still completes its file and its row.
TEST_F(Unattended, HeadlessRecordsOnWhenItsOutputHasNoReader) {
    Prepare(2); // "WAV 44 kHz Stereo"
    const QString Running = Folder + "05032026141.wav";
    constexpr int64_t BytesPerSecond = 44100 * 4;
    int Pipe[2];
    ASSERT_EQ(::pipe2(Pipe, O_CLOEXEC), 0);
    ::close(Pipe[0]);
    const int DeadEnd = Pipe[1];
    QProcess Program;
    Program.setChildProcessModifier([DeadEnd] { ::dup2(DeadEnd, STDOUT_FILENO); });
    Start(Program, true, "2026-03-05 14:20:00");
    ::close(DeadEnd);
    // Waiting on the program, so that its end is seen at once.
    QElapsedTimer Waited;
    Waited.start();
    while (QFileInfo(Running).size() < 44 + 4 * BytesPerSecond && Waited.elapsed() < 30000 &&
           !Program.waitForFinished(50)) {
    }
    const auto Ended = [&Program] {
        return QStringLiteral("ended (%1 %2): %3")
            .arg(Program.exitStatus() == QProcess::CrashExit ? "signal" : "status")
            .arg(Program.exitCode())
            .arg(QString::fromUtf8(Program.readAllStandardError()))
            .toStdString();
    };
    ASSERT_EQ(Program.state(), QProcess::Running) << Ended();
    const int64_t Recorded = QFileInfo(Running).size();
    ASSERT_GE(Recorded, 44 + 4 * BytesPerSecond);
    ASSERT_FALSE(Program.waitForFinished(3000)) << Ended();
    EXPECT_GT(QFileInfo(Running).size(), Recorded);
    StopCleanly(Program);
    QFile File(Running);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    ExpectHeaderSizes(File.read(44), File.size() - 44);
    const QList<QStringList> Logged = Rows("SELECT filename, duration_sec FROM recordings");
    ASSERT_EQ(Logged.size(), 1);
    EXPECT_EQ(Logged[0][0], "05032026141.wav");
    EXPECT_GE(Logged[0][1].toInt(), 3);
}

// A second copy of the program with a data folder of its own but the same database and
// recordings folder, started while the first records a WAV file: the first holds a lock on
// its file, so the second's start-up repair leaves it alone: not a byte of its header changes
// and no repair is reported. The first copy's stop then completes its header and row as always.
TEST_F(Unattended, ASecondCopyLeavesTheFileTheFirstWritesAlone) {
    Prepare(2); // "WAV 44 kHz Stereo"
    const QString Running = Folder + "05032026141.wav";
    constexpr int64_t BytesPerSecond = 44100 * 4;
    const auto ReadHeader = [&] {
        QFile F(Running);
        EXPECT_TRUE(F.open(QIODevice::ReadOnly));
        return F.read(44);
    };
    QProcess First;
    QElapsedTimer FirstRuns;
    FirstRuns.start();
    Start(First, true, "2026-03-05 14:20:00");
    const QString FirstOut = ReadUntilRecordingStarts(First);
    ASSERT_TRUE(FirstOut.contains(Running)) << FirstOut.toStdString();
    QElapsedTimer Waited;
    Waited.start();
    while (QFileInfo(Running).size() < 44 + BytesPerSecond && Waited.elapsed() < 10000)
        QThread::msleep(50);
    const QByteArray Before = ReadHeader();
    ASSERT_EQ(Before.size(), 44);

    const QString Other = Dir.path() + "/tweede";
    ASSERT_TRUE(QDir().mkpath(Other));
    {
        TConfig Settings(Other);
        Settings.SetRootFolder(Root);
        Settings.SetDatabasePath(Db);
        Settings.SetRecordDevice(SineDevice());
        Settings.Save();
    }
    QProcess Second;
    Start(Second, true, "2026-03-05 14:20:10", Exe, {"--headless", "--data-dir", Other});
    QString SecondOut = ReadUntilRecordingStarts(Second);
    EXPECT_TRUE(SecondOut.contains(Folder + "05032026142.wav")) << SecondOut.toStdString();
    EXPECT_EQ(ReadHeader(), Before);
    StopCleanly(Second);
    SecondOut += QString::fromUtf8(Second.readAllStandardOutput());
    EXPECT_FALSE(SecondOut.contains("hersteld")) << SecondOut.toStdString();
    EXPECT_EQ(ReadHeader(), Before) << "the second copy never touched the running file";

    // Some seconds of recording, so that the logged duration tells something.
    QThread::msleep(static_cast<unsigned long>(std::max<qint64>(0, 4000 - FirstRuns.elapsed())));
    StopCleanly(First);
    const QByteArray Header = ReadHeader();
    const int64_t DataBytes = QFileInfo(Running).size() - 44;
    ExpectHeaderSizes(Header, DataBytes);
    const QList<QStringList> Logged =
        Rows("SELECT filename, duration_sec FROM recordings ORDER BY id");
    ASSERT_EQ(Logged.size(), 2);
    EXPECT_EQ(Logged[0][0], "05032026141.wav");
    // The sine source delivers ahead of the clock at first, so the file holds a little more.
    EXPECT_GE(Logged[0][1].toInt(), 3);
    EXPECT_LE(Logged[0][1].toDouble(), double(DataBytes) / BytesPerSecond + 1);
    EXPECT_EQ(Logged[1][0], "05032026142.wav");
}

// Without a window the same trouble shows on the error stream while it lasts, and its end
// on the normal one.
TEST_F(Unattended, HeadlessReportsALostServerAndItsReturn) {
    Prepare(1); // "MP3 128 Kbit Stereo"
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00");
    const QString Started = ReadUntilRecordingStarts(Program);
    ASSERT_TRUE(Started.contains("05032026141.mp3")) << Started.toStdString();
    QThread::sleep(1);
    KillPulseServer();
    QString Errors;
    QElapsedTimer Waited;
    Waited.start();
    while (!Errors.contains("Let op: Geen opname sinds 14:20:0") && Waited.elapsed() < 10000) {
        Program.waitForReadyRead(100);
        Errors += QString::fromUtf8(Program.readAllStandardError());
    }
    EXPECT_TRUE(Errors.contains("Let op: Geen opname sinds 14:20:0")) << Errors.toStdString();
    ASSERT_TRUE(StartPulseServer());
    const QString Back = ReadOutputUntil(
        Program, [](const QString& Text) { return Text.contains("Storing opgeheven."); });
    EXPECT_TRUE(Back.contains("Apparaat weggevallen om 14:20:0")) << Back.toStdString();
    EXPECT_TRUE(Back.contains("05032026142.mp3 | MP3 128 Kbps, 44100 Hz, Stereo"))
        << Back.toStdString();
    EXPECT_TRUE(Back.contains("Storing opgeheven.")) << Back.toStdString();
    StopCleanly(Program);
    EXPECT_EQ(Rows("SELECT rec_number FROM recordings ORDER BY id"),
              (QList<QStringList>{{"1"}, {"2"}}));
}

// A volume with little room left (a tmpfs the program gets in a mount namespace of its own):
// the warning comes while the writes still succeed, and the recording goes on.
TEST_F(Unattended, LittleFreeSpaceIsWarnedBeforeWritesFail) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "unshare -rm (a user and mount namespace) is not allowed here";
    Prepare(2); // "WAV 44 kHz Stereo": 10 MiB a minute
    ASSERT_TRUE(QDir().mkpath(Root));
    QProcess Program;
    // 1 GiB and 1 MiB: below the 1 GiB the program wants free after some 6 seconds.
    Start(Program, true, "2026-03-05 14:20:00", "unshare",
          {"-rm", "sh", "-c",
           "mount -t tmpfs -o size=1025m vantor \"$0\" && exec \"$1\" --headless", Root, Exe});
    const QString Out = ReadOutputUntil(
        Program, [](const QString& Text) { return Text.contains("weinig schijfruimte"); });
    ASSERT_TRUE(Out.contains("Let op: weinig schijfruimte, minder dan voor een uur opname ("))
        << Out.toStdString() << Program.readAllStandardError().toStdString();
    EXPECT_TRUE(Out.contains("Opname gestart door interne klok")) << Out.toStdString();
    QThread::sleep(2);
    StopCleanly(Program);
    const QString Rest = QString::fromUtf8(Program.readAllStandardOutput());
    const QString Errors = QString::fromUtf8(Program.readAllStandardError());
    EXPECT_FALSE((Out + Rest + Errors).contains("schrijven", Qt::CaseInsensitive))
        << (Out + Rest + Errors).toStdString();
    const QList<QStringList> Logged = Rows("SELECT duration_sec FROM recordings");
    ASSERT_EQ(Logged.size(), 1);
    EXPECT_GE(Logged[0][0].toInt(), 6);
}

// A volume that fills up during a recording: the recording is completed and logged at once,
// and once room is made within the hour (64 MiB more than was free) the next number starts.
TEST_F(Unattended, AFullVolumeEndsTheRecordingAndRoomMadeResumesIt) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "unshare -rm (a user and mount namespace) is not allowed here";
    Prepare(2); // "WAV 44 kHz Stereo"
    ASSERT_TRUE(QDir().mkpath(Root));
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00", "unshare",
          {"-rm", "sh", "-c", "mount -t tmpfs -o size=80m vantor \"$0\" && exec \"$1\" --headless",
           Root, Exe});
    // The program's own view of its volume.
    const QString Inside = QStringLiteral("/proc/%1/root%2/").arg(Program.processId()).arg(Root);
    const QString First = Inside + "2026/03/05/05032026141.wav";
    ASSERT_FALSE(ReadOutputUntil(Program, [&](const QString&) {
                     return QFileInfo::exists(First);
                 }).contains("Fout"));
    ASSERT_TRUE(QFileInfo::exists(First));

    // Fill the volume, then give back 1 MiB: some 6 s of this preset.
    QFile Filler(Inside + "filler");
    ASSERT_TRUE(Filler.open(QIODevice::WriteOnly));
    const QByteArray MiB(1 << 20, '\0');
    while (Filler.write(MiB) == MiB.size() && Filler.flush()) {
    }
    Filler.close();
    ASSERT_TRUE(Filler.resize(Filler.size() - MiB.size()));
    const QString Full = ReadOutputUntil(
        Program, [](const QString& Text) { return Text.contains("Schijf vol om 14:2"); });
    ASSERT_TRUE(Full.contains("Schijf vol om 14:2")) << Full.toStdString();
    const double Held = double(QFileInfo(First).size() - 44) / (44100 * 4);
    const QList<QStringList> Logged = Rows("SELECT duration_sec FROM recordings");
    ASSERT_EQ(Logged.size(), 1);
    // The sine source delivers ahead of the clock at first, so the two lengths differ a little.
    EXPECT_GT(Logged[0][0].toInt(), 0);
    EXPECT_LE(Logged[0][0].toDouble(), Held + 1);

    ASSERT_TRUE(Filler.remove());
    const QString Resumed = ReadOutputUntil(
        Program, [](const QString& Text) { return Text.contains("Storing opgeheven."); });
    EXPECT_TRUE(Resumed.contains("05032026142.wav | WAV 16-bit, 44100 Hz, Stereo"))
        << Resumed.toStdString();
    EXPECT_TRUE(QString::fromUtf8(Program.readAllStandardError()).contains(": schijf vol"));
    StopCleanly(Program);
    EXPECT_EQ(Rows("SELECT rec_number FROM recordings ORDER BY id"),
              (QList<QStringList>{{"1"}, {"2"}}));
}

} // namespace

// A folder where the settings file should be: the window program warns without waiting for
// anybody and records the scheduled hour with the defaults beside the executable.
TEST_F(Unattended, AFolderInPlaceOfTheSettingsFileDoesNotHoldUpTheScheduledHour) {
    ASSERT_TRUE(QFile::copy(VANTOR_EXE, Exe));
    ASSERT_TRUE(QDir(Dir.path()).mkdir("Vantor2026.ini"));
    ScheduleAll(2); // "WAV 44 kHz Stereo"
    QProcess Program;
    Start(Program, false, "2026-03-05 14:20:00");

    const QString Expected = Dir.path() + "/Recordings/2026/03/05/05032026141.wav";
    QElapsedTimer Waited;
    Waited.start();
    while (!QFile::exists(Expected) && Waited.elapsed() < 5000)
        QThread::msleep(50);
    EXPECT_TRUE(QFile::exists(Expected)) << Program.readAllStandardError().toStdString();
    StopCleanly(Program);
    EXPECT_EQ(Rows("SELECT filepath FROM recordings"), QList<QStringList>{{Expected}});
    EXPECT_TRUE(QFileInfo(Dir.path() + "/Vantor2026.ini").isDir());
}

// The real program records the monitor of a null sink that nothing plays into: after the
// 3-second silence limit the alert command runs with "begin" and "silence"; a tone played into
// the sink ends the silence within 2 s and the command runs with "end". Both are rows in the
// events log, and the recording goes on unbroken: one file, one row.
TEST_F(Unattended, SilenceRunsTheAlertCommandAndSoundEndsIt) {
    Prepare(1); // "MP3 128 Kbit Stereo"
    const int Monitor = MonitorDevice();
    ASSERT_GE(Monitor, 0);
    const QString Script = Dir.path() + "/alarm.sh";
    const QString Told = Dir.path() + "/alarm.txt";
    {
        QFile F(Script);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("#!/bin/sh\n{ env | grep '^VANTOR_' | sort; echo; } >> \"$1\"\n");
        F.close();
        F.setPermissions(F.permissions() | QFileDevice::ExeOwner);
        TConfig Settings(Dir.path());
        Settings.SetRecordDevice(Monitor);
        Settings.SetAlarm({3, -50, QStringLiteral("%1 %2").arg(Script, Told), false});
        Settings.Save();
    }
    const auto ToldText = [&] {
        QFile F(Told);
        return F.open(QIODevice::ReadOnly) ? QString::fromUtf8(F.readAll()) : QString();
    };
    const auto WaitForTold = [&](const QString& Text, qint64 TimeoutMs) {
        QElapsedTimer Waited;
        Waited.start();
        while (!ToldText().contains(Text) && Waited.elapsed() < TimeoutMs)
            QThread::msleep(50);
        return Waited.elapsed();
    };
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00");
    const QString Started = ReadUntilRecordingStarts(Program);
    ASSERT_TRUE(Started.contains("05032026141.mp3")) << Started.toStdString();
    // After the 3-second limit, not before; the upper bound leaves room for a machine whose
    // two cores run another program test beside this one.
    const qint64 BeganAfter = WaitForTold("VANTOR_EVENT=begin", 10000);
    EXPECT_GE(BeganAfter, 2500);
    EXPECT_LE(BeganAfter, 7000);
    EXPECT_TRUE(ToldText().contains("VANTOR_EVENT=begin\nVANTOR_FILE=" + Folder +
                                    "05032026141.mp3\nVANTOR_KIND=silence\n"
                                    "VANTOR_SINCE=2026-03-05T14:20:0"))
        << ToldText().toStdString();
    {
        TPacedTone Tone(false);
        ASSERT_TRUE(Tone.Running());
        EXPECT_LE(WaitForTold("VANTOR_EVENT=end", 5000), 2000);
        EXPECT_TRUE(ToldText().contains("VANTOR_KIND=silence\nVANTOR_SINCE=2026-03-05T14:20:0"))
            << ToldText().toStdString();
        EXPECT_TRUE(ToldText().contains(
            QRegularExpression("VANTOR_TEXT=Stilte sinds 14:20:0\\d: voorbij na \\d+ s\n")))
            << ToldText().toStdString();
        StopCleanly(Program);
    }
    const QString Out = QString::fromUtf8(Program.readAllStandardOutput());
    EXPECT_TRUE(Out.contains(QRegularExpression("Stilte sinds 14:20:0\\d: voorbij na")))
        << Out.toStdString();
    EXPECT_EQ(Rows("SELECT event, kind FROM events WHERE kind='silence' ORDER BY id"),
              (QList<QStringList>{{"begin", "silence"}, {"einde", "silence"}}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM events WHERE event='opdracht' AND text LIKE "
                   "'%afsluitcode 0'"),
              (QList<QStringList>{{"2"}}));
    EXPECT_EQ(QDir(Folder).entryList(QDir::Files), QStringList{"05032026141.mp3"});
    EXPECT_EQ(Rows("SELECT filename FROM recordings"), (QList<QStringList>{{"05032026141.mp3"}}));
}

// KeepDays=30 on the real program, at its start-up: of the logged recordings from 40, 31, 29
// and 1 days ago only the 40- and 31-day files go, with the folders they leave empty; an
// annotated 40-day file, a logged file outside the recordings folder and a file the log does
// not know stay. Every row stays, and each deletion is an event.
TEST_F(Unattended, KeepDaysDeletesOnlyWhatTheRulesAllowAtStartUp) {
    Prepare(1); // "MP3 128 Kbit Stereo"
    {
        TConfig Settings(Dir.path());
        Settings.SetRetention({30, 0, true});
        Settings.Save();
    }
    const QDateTime Started(QDate(2026, 3, 5), QTime(14, 20));
    const auto Recording = [&](int Days, const QString& Name, const QString& Folder) {
        const QString Path = Folder + Started.addDays(-Days).toString("/yyyy/MM/dd/") + Name;
        QDir().mkpath(QFileInfo(Path).path());
        QFile F(Path);
        EXPECT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(QByteArray(4096, 'x'));
        // Written when it was recorded: retention never deletes a file written more recently.
        EXPECT_TRUE(F.flush() &&
                    F.setFileTime(Started.addDays(-Days), QFileDevice::FileModificationTime));
        return Path;
    };
    {
        TLogData Data(Db);
        TPreset P;
        ASSERT_TRUE(Data.GetPreset(1, P));
        const auto Log = [&](int Days, const QString& Name, const QString& Folder = QString()) {
            const QString Path = Recording(Days, Name, Folder.isEmpty() ? Root : Folder);
            const int32_t Id =
                Data.LogRecording(P, Started.addDays(-Days), 1, QFileInfo(Path).fileName(), Path);
            Data.SetRecordingDuration(Id, 3600);
            return Id;
        };
        Log(70, "70.mp3");
        Log(40, "40.mp3");
        Log(31, "31.mp3");
        Log(29, "29.mp3");
        Log(1, "1.mp3");
        Data.UpdateRecordingMeta(Log(40, "40-titel.mp3"), "Kerkdienst", "");
        Log(40, "40-buiten.mp3", Dir.path() + "/Elders");
    }
    const QString Unknown = Recording(40, "onbekend.mp3", Root);
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00");
    const QString Out =
        ReadOutputUntil(Program, [](const QString& Text) { return Text.contains("Opgeruimd:"); });
    StopCleanly(Program);
    EXPECT_TRUE(Out.contains("Opgeruimd: 3 opnamen verwijderd, 12 kB vrijgemaakt."))
        << Out.toStdString();

    const auto Exists = [&](int Days, const QString& Name, const QString& Folder) {
        return QFile::exists(Folder + Started.addDays(-Days).toString("/yyyy/MM/dd/") + Name);
    };
    EXPECT_FALSE(Exists(40, "40.mp3", Root));
    EXPECT_FALSE(Exists(31, "31.mp3", Root));
    EXPECT_FALSE(QDir(Root + "/2026/02/02").exists()) << "the 31-day folder was left empty";
    EXPECT_FALSE(QDir(Root + "/2025").exists()) << "the 70-day file's day, month and year";
    EXPECT_TRUE(QDir(Root + "/2026/01/24").exists()) << "the 40-day folder holds more";
    EXPECT_TRUE(Exists(29, "29.mp3", Root));
    EXPECT_TRUE(Exists(1, "1.mp3", Root));
    EXPECT_TRUE(Exists(40, "40-titel.mp3", Root));
    EXPECT_TRUE(Exists(40, "40-buiten.mp3", Dir.path() + "/Elders"));
    EXPECT_TRUE(QFile::exists(Unknown));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM recordings WHERE filename <> '05032026141.mp3'"),
              QList<QStringList>{{"7"}});
    EXPECT_EQ(Rows("SELECT event, kind, filepath FROM events WHERE event='verwijderd' ORDER BY id"),
              (QList<QStringList>{{"verwijderd", "retention", Root + "/2025/12/25/70.mp3"},
                                  {"verwijderd", "retention", Root + "/2026/01/24/40.mp3"},
                                  {"verwijderd", "retention", Root + "/2026/02/02/31.mp3"}}));
    EXPECT_EQ(
        Rows("SELECT text FROM events WHERE filepath LIKE '%/31.mp3'"),
        QList<QStringList>{{"Verwijderd: " + Root + "/2026/02/02/31.mp3 (31 dagen oud, 4 kB)"}});
}

// MinFreeMB on a small volume (a tmpfs the program gets in a mount namespace of its own):
// ten logged recordings of 8 MiB leave 20 MiB of 100 MiB free; with 40 MiB wanted, the three
// oldest go, one at a time, and then deletion stops.
TEST_F(Unattended, MinFreeDeletesTheOldestUntilEnoughIsFree) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "unshare -rm (a user and mount namespace) is not allowed here";
    Prepare(1); // "MP3 128 Kbit Stereo"
    {
        TConfig Settings(Dir.path());
        Settings.SetRetention({0, 40, true});
        Settings.Save();
    }
    ASSERT_TRUE(QDir().mkpath(Root));
    // The files are made outside and copied onto the volume once it is mounted.
    const QString Staging = Dir.path() + "/Klaar";
    const QDateTime Started(QDate(2026, 3, 5), QTime(14, 20));
    QStringList Paths;
    {
        TLogData Data(Db);
        TPreset P;
        ASSERT_TRUE(Data.GetPreset(1, P));
        for (int Days = 10; Days >= 1; --Days) {
            const QString Relative = Started.addDays(-Days).toString("/yyyy/MM/dd/") +
                                     QStringLiteral("%1.mp3").arg(Days);
            QDir().mkpath(QFileInfo(Staging + Relative).path());
            QFile F(Staging + Relative);
            ASSERT_TRUE(F.open(QIODevice::WriteOnly));
            F.write(QByteArray(8 << 20, 'x'));
            ASSERT_TRUE(F.flush() &&
                        F.setFileTime(Started.addDays(-Days), QFileDevice::FileModificationTime));
            Paths << Root + Relative;
            Data.SetRecordingDuration(Data.LogRecording(P, Started.addDays(-Days), 1,
                                                        QFileInfo(Relative).fileName(),
                                                        Root + Relative),
                                      3600);
        }
    }
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00", "unshare",
          {"-rm", "sh", "-c",
           "mount -t tmpfs -o size=100m vantor \"$0\" && cp -a \"$2\"/. \"$0\"/ && "
           "exec \"$1\" --headless",
           Root, Exe, Staging});
    const QString Out =
        ReadOutputUntil(Program, [](const QString& Text) { return Text.contains("Opgeruimd:"); });
    StopCleanly(Program);
    EXPECT_TRUE(Out.contains("Opgeruimd: 3 opnamen verwijderd")) << Out.toStdString();
    EXPECT_EQ(Rows("SELECT filepath FROM events WHERE event='verwijderd' ORDER BY id"),
              (QList<QStringList>{{Paths[0]}, {Paths[1]}, {Paths[2]}}));
}

namespace {

// A TCP port on loopback that nothing listens on now.
int FreePort() {
    const int Socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Length = sizeof(Address);
    const bool Bound = ::bind(Socket, reinterpret_cast<sockaddr*>(&Address), Length) == 0 &&
                       ::getsockname(Socket, reinterpret_cast<sockaddr*>(&Address), &Length) == 0;
    ::close(Socket);
    return Bound ? ntohs(Address.sin_port) : 0;
}

// The samples of one scrape, parsed by the Prometheus client's own parser: "name{labels}" to
// value. Empty when the endpoint gave nothing; Parsed tells whether the text was valid.
std::map<QString, double> Scrape(int Port, int& Status) {
    QProcess Parser;
    Parser.start("/usr/bin/python3",
                 {VANTOR_SCRAPE_SCRIPT, QStringLiteral("http://127.0.0.1:%1/metrics").arg(Port)});
    Parser.waitForFinished(10000);
    Status = Parser.exitCode();
    std::map<QString, double> Samples;
    for (const QString& Line : QString::fromUtf8(Parser.readAllStandardOutput()).split('\n')) {
        const qsizetype Space = Line.lastIndexOf(' ');
        if (Space > 0)
            Samples[Line.left(Space)] = Line.mid(Space + 1).toDouble();
    }
    return Samples;
}

} // namespace

// With [Metrics] Listen set, a scrape shows the recording and its growing seconds; the
// capture trouble gauge follows a sound server that dies and comes back. Every scrape is
// parsed by the Prometheus client's parser.
TEST_F(Unattended, MetricsShowTheRecordingAndALostServer) {
    int Status = 0;
    if (QProcess::execute("/usr/bin/python3", {"-c", "import prometheus_client.parser"}) != 0)
        GTEST_SKIP() << "the Prometheus client for Python (python3-prometheus-client) is missing";
    Prepare(1); // "MP3 128 Kbit Stereo"
    const int Port = FreePort();
    ASSERT_GT(Port, 0);
    {
        TConfig Settings(Dir.path());
        Settings.SetMetricsListen(QStringLiteral("127.0.0.1:%1").arg(Port));
        Settings.Save();
    }
    const QString Instance = QFileInfo(Dir.path()).fileName();
    const auto Key = [&](const QString& Name, const QString& Labels = QString()) {
        return QStringLiteral("%1{%2instance=\"%3\"}").arg(Name, Labels, Instance);
    };
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00");
    const QString Started = ReadUntilRecordingStarts(Program);
    ASSERT_TRUE(Started.contains("05032026141.mp3")) << Started.toStdString();
    QThread::sleep(1);
    std::map<QString, double> First = Scrape(Port, Status);
    ASSERT_EQ(Status, 0) << "the scrape did not parse or did not answer";
    EXPECT_EQ(First[Key("vantor_recording")], 1);
    EXPECT_EQ(First[Key("vantor_recording_format", "format=\"mp3\",")], 1);
    EXPECT_EQ(First[Key("vantor_recordings_started_total")], 1);
    QThread::sleep(2);
    std::map<QString, double> Second = Scrape(Port, Status);
    EXPECT_GE(Second[Key("vantor_recorded_seconds_total")],
              First[Key("vantor_recorded_seconds_total")] + 1.5);
    EXPECT_GT(Second[Key("vantor_free_bytes")], 0);

    const QString Capture =
        QStringLiteral("vantor_trouble_active{instance=\"%1\",kind=\"capture\"}").arg(Instance);
    QElapsedTimer Waited;
    // Scrapes until the capture gauge reads Wanted or TimeoutMs passes; the last reading.
    const auto ScrapeUntil = [&](double Wanted, qint64 TimeoutMs) {
        Waited.start();
        double Value = Scrape(Port, Status)[Capture];
        while (Value != Wanted && Waited.elapsed() < TimeoutMs) {
            QThread::msleep(100);
            Value = Scrape(Port, Status)[Capture];
        }
        return Value;
    };
    KillPulseServer();
    EXPECT_EQ(ScrapeUntil(1, 5000), 1);
    EXPECT_LE(Waited.elapsed(), 2500) << "the capture trouble must show within 2 s";
    ASSERT_TRUE(StartPulseServer());
    EXPECT_EQ(ScrapeUntil(0, 30000), 0);
    const std::map<QString, double> Last = Scrape(Port, Status);
    EXPECT_EQ(
        Last.at(QStringLiteral("vantor_trouble_episodes_total{instance=\"%1\",kind=\"capture\"}")
                    .arg(Instance)),
        1);
    EXPECT_EQ(Last.at(Key("vantor_recording")), 1);
    StopCleanly(Program);
}

namespace {

class Service : public testing::Test, public TProgramFixture {};

// A second copy started on the data folder of a copy that records does not record the same
// input again: without a window it says why and ends with an error, so that the service
// manager shows it. The first copy records on undisturbed.
TEST_F(Service, ASecondCopyOnTheSameFolderRecordsNothingAndEndsWithAnError) {
    Prepare(1);
    QProcess First;
    Start(First, true, "2026-03-05 14:20:00");
    ReadUntilRecordingStarts(First);
    QProcess Second;
    Start(Second, true, "2026-03-05 14:20:00");
    ASSERT_TRUE(Second.waitForFinished(15000));
    EXPECT_EQ(Second.exitCode(), 1);
    EXPECT_TRUE(Second.readAllStandardError().contains(
        "Een andere kopie neemt al op in deze map; deze kopie neemt niet op."));
    EXPECT_EQ(First.state(), QProcess::Running);
    StopCleanly(First);
    EXPECT_EQ(QDir(Folder).entryList(QDir::Files), QStringList{"05032026141.mp3"});
    EXPECT_EQ(Rows("SELECT filename FROM recordings"), (QList<QStringList>{{"05032026141.mp3"}}));
}

// A second copy with a window on the folder of a copy that records shows why it records
// nothing in a box, and a SIGTERM ends it while the box waits for somebody to read it.
TEST_F(Service, ASecondCopyWithAWindowEndsOnSigtermWhileItsBoxWaits) {
    Prepare(1);
    QProcess First;
    Start(First, true, "2026-03-05 14:20:00");
    ReadUntilRecordingStarts(First);
    QProcess Second;
    Start(Second, false, "2026-03-05 14:20:00");
    QThread::sleep(3);
    ASSERT_EQ(Second.state(), QProcess::Running);
    StopCleanly(Second);
    StopCleanly(First);
    EXPECT_EQ(Rows("SELECT filename FROM recordings"), (QList<QStringList>{{"05032026141.mp3"}}));
}

// Without a usable database or recordings folder at the start, a copy without a window ends
// at once with a Dutch reason and a non-zero status, instead of running idle.
TEST_F(Service, AnUnusableDatabaseOrRecordingsFolderEndsTheStartWithAnError) {
    Prepare(1);
    QFile Blocking(Dir.path() + "/Blokkade");
    ASSERT_TRUE(Blocking.open(QIODevice::WriteOnly));
    Blocking.close();
    const std::pair<const char*, std::function<void(TConfig&)>> Cases[] = {
        {"", [&](TConfig& C) { C.SetDatabasePath(Blocking.fileName() + "/db.sqlite"); }},
        {"De opnamemap ", [&](TConfig& C) { C.SetRootFolder(Blocking.fileName() + "/Opnames"); }},
    };
    for (const auto& [Reason, Break] : Cases) {
        const QByteArray Ini = [&] {
            QFile F(Dir.path() + "/Vantor2026.ini");
            EXPECT_TRUE(F.open(QIODevice::ReadOnly));
            return F.readAll();
        }();
        {
            TConfig Settings(Dir.path());
            Break(Settings);
            Settings.Save();
        }
        QProcess Program;
        Start(Program, true, "2026-03-05 14:20:00");
        ASSERT_TRUE(Program.waitForFinished(15000));
        EXPECT_NE(Program.exitCode(), 0);
        const QString Err = QString::fromUtf8(Program.readAllStandardError());
        EXPECT_TRUE(Err.contains("Deze kopie kan niet opnemen en stopt.")) << Err.toStdString();
        EXPECT_TRUE(Err.contains(Reason)) << Err.toStdString();
        QFile F(Dir.path() + "/Vantor2026.ini");
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Ini);
    }
}

} // namespace
