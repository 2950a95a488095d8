#include "app/uConfig.h"
#include "audio/uRecorder.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <sndfile.h>

namespace {

// The device number of the test server's 1 kHz sine source.
int SineDevice() {
    TDeviceList Devices;
    ListRecordDevices(Devices);
    for (const TDeviceEntry& D : Devices)
        if (D.Text.contains(QStringLiteral("sine"), Qt::CaseInsensitive))
            return D.Value;
    ADD_FAILURE() << "no sine source among " << Devices.size() << " devices";
    return -1;
}

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

class EndToEnd : public testing::TestWithParam<bool> {};

// The real program on the real sound server, started five seconds before 14:00 with every
// hour scheduled: the hour of 13 and the hour of 14 each get their file and log row, and
// SIGTERM completes the second and logs its length.
TEST_P(EndToEnd, TwoHoursTwoFilesAndACleanStopOnSigterm) {
    const bool Headless = GetParam();
    QTemporaryDir Dir;
    const QString Exe = Dir.path() + "/vantor2026";
    ASSERT_TRUE(QFile::copy(VANTOR_EXE, Exe));
    const QString Root = Dir.path() + "/Opnames";
    const QString Db = Dir.path() + "/Vantor2026.sqlite";
    {
        TConfig Settings(Dir.path());
        Settings.SetRootFolder(Root);
        Settings.SetDatabasePath(Db);
        Settings.SetRecordDevice(SineDevice());
        Settings.Save();
        TLogData Data(Db);
        for (int Day = 1; Day <= 7; ++Day)
            for (int Hour = 0; Hour < 24; ++Hour)
                Data.SetSchedulePreset(Day, Hour, 1); // "MP3 128 Kbit Stereo"
    }

    QProcess Program;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("TZ", "Europe/Amsterdam");
    if (Headless) {
        Env.remove("DISPLAY");
        Env.remove("WAYLAND_DISPLAY");
        Env.remove("QT_QPA_PLATFORM");
    } else {
        Env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    // libfaketime preloaded into the program itself (not through the faketime wrapper,
    // which would take the SIGTERM): its clock starts at 13:59:55 local time and runs on.
    Env.insert("LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");
    Env.insert("FAKETIME", "@2026-03-05 13:59:55");
    Env.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
    Program.setProcessEnvironment(Env);
    Program.start(Exe, Headless ? QStringList{"--headless"} : QStringList{});
    ASSERT_TRUE(Program.waitForStarted());

    const QString Folder = Root + "/2026/03/05/";
    const QString First = Folder + "05032026131.mp3";
    const QString Second = Folder + "05032026141.mp3";
    QElapsedTimer Waited;
    Waited.start();
    while (!QFile::exists(Second) && Waited.elapsed() < 30000)
        QThread::msleep(100);
    ASSERT_TRUE(QFile::exists(Second)) << Program.readAllStandardError().toStdString();
    QThread::sleep(4);
    Program.terminate();
    ASSERT_TRUE(Program.waitForFinished(15000));
    EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(Program.exitCode(), 0);
    const QString Out = QString::fromUtf8(Program.readAllStandardOutput());
    if (Headless) {
        EXPECT_TRUE(Out.contains(Second + " | MP3 128 Kbps, 44100 Hz, Stereo | "
                                          "Opname gestart door interne klok"))
            << Out.toStdString();
        EXPECT_TRUE(Out.contains("SIGTERM")) << Out.toStdString();
    }

    EXPECT_EQ(QDir(Folder).entryList(QDir::Files),
              (QStringList{"05032026131.mp3", "05032026141.mp3"}));
    {
        TLogData Data(Db);
        const QList<QStringList> Rows =
            SqlRows(Data.Connection(),
                    "SELECT rec_hour, rec_number, filepath, duration_sec FROM recordings "
                    "ORDER BY id");
        ASSERT_EQ(Rows.size(), 2);
        EXPECT_EQ(Rows[0].mid(0, 3), (QStringList{"13", "1", First}));
        EXPECT_EQ(Rows[1].mid(0, 3), (QStringList{"14", "1", Second}));
        EXPECT_NEAR(Rows[0][3].toInt(), 5, 2);
        EXPECT_NEAR(Rows[1][3].toInt(), 4, 2);
    }
    ExpectToneFile(First);
    ExpectToneFile(Second);
}

INSTANTIATE_TEST_SUITE_P(Program, EndToEnd, testing::Values(false, true),
                         [](const auto& Info) { return Info.param ? "Headless" : "Window"; });

} // namespace
