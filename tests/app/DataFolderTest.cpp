#include "base/uConfig.h"
#include "support/ProgramFixture.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

class DataFolder : public testing::Test, public TProgramFixture {};

QString DayFolder(const QString& DataFolder) {
    return DataFolder + "/Recordings/2026/03/05/";
}

} // namespace

// Two copies of the installed program, one per input, each told its own data folder: each
// records its own source into its own files and rows, under its own settings, and neither
// writes anything beside the executable.
TEST_F(DataFolder, TwoInstancesRecordTwoSourcesIntoTheirOwnFolders) {
    const int Monitor = MonitorDevice();
    ASSERT_GE(Monitor, 0);
    const QString Studio1 = Dir.path() + "/studio1";
    const QString Studio2 = Dir.path() + "/studio2";
    PrepareDataFolder(Studio1, 1, SineDevice()); // "MP3 128 Kbit Stereo"
    PrepareDataFolder(Studio2, 2, Monitor);      // "WAV 44 kHz Stereo"
    const QString BesideProgram = QFileInfo(VANTOR_EXE).absolutePath() + "/Vantor2026.ini";
    const bool WasBesideProgram = QFileInfo::exists(BesideProgram);

    QProcess First, Second;
    Start(First, true, "2026-03-05 14:20:00", VANTOR_EXE, {"--headless", "--data-dir", Studio1});
    Start(Second, true, "2026-03-05 14:20:00", VANTOR_EXE, {"--headless", "--data-dir=" + Studio2});
    for (QProcess* Program : {&First, &Second}) {
        const QString Out = ReadUntilRecordingStarts(*Program);
        ASSERT_TRUE(Out.contains("Opname gestart door"))
            << Out.toStdString() << Program->readAllStandardError().toStdString();
    }
    QThread::sleep(2);
    StopCleanly(First);
    StopCleanly(Second);

    EXPECT_EQ(QDir(DayFolder(Studio1)).entryList(QDir::Files), QStringList{"05032026141.mp3"});
    EXPECT_EQ(QDir(DayFolder(Studio2)).entryList(QDir::Files), QStringList{"05032026141.wav"});
    for (const auto& [Folder, File] : {std::pair{Studio1, QString("05032026141.mp3")},
                                       std::pair{Studio2, QString("05032026141.wav")}}) {
        TLogData Data(Folder + "/Vantor2026.sqlite");
        EXPECT_EQ(SqlRows(Data.Connection(), "SELECT filepath FROM recordings"),
                  QList<QStringList>{{DayFolder(Folder) + File}});
    }
    EXPECT_EQ(TConfig(Studio1).RecordDevice(), SineDevice());
    EXPECT_EQ(TConfig(Studio2).RecordDevice(), Monitor);
    EXPECT_EQ(QFileInfo::exists(BesideProgram), WasBesideProgram);
}

// An installed program's folder cannot be written: the program keeps its files in the user's
// data folder instead, says so at the first start, and quietly uses that folder afterwards.
TEST_F(DataFolder, AnUnwritableProgramFolderFallsBackToTheUsersDataFolderWithOneNotice) {
    if (QProcess::execute("unshare", {"-rm", "true"}) != 0)
        GTEST_SKIP() << "unshare -rm (a user and mount namespace) is not allowed here";
    const QString Bin = Dir.path() + "/bin";
    const QString DataHome = Dir.path() + "/data";
    ASSERT_TRUE(QDir().mkpath(Bin));
    ASSERT_TRUE(QFile::copy(VANTOR_EXE, Bin + "/vantor2026"));
    const QString Own = DataHome + "/Vantor2026/";
    const char* const Notice = "De map van het programma (";

    for (int Run = 1; Run <= 2; ++Run) {
        QProcess Program;
        // The program's folder made read-only in a mount namespace of the program's own, as
        // /usr/bin is for an installed program.
        Start(Program, true, "2026-03-05 14:20:00", "unshare",
              {"-rm", "sh", "-c",
               "mount --bind \"$0\" \"$0\" && mount -o remount,bind,ro \"$0\" && "
               "XDG_DATA_HOME=\"$1\" exec \"$0/vantor2026\" --headless",
               Bin, DataHome});
        EXPECT_TRUE(WaitUntil([&] { return QFileInfo::exists(Own + "Vantor2026.sqlite"); },
                              std::chrono::seconds(20)));
        QThread::sleep(1);
        StopCleanly(Program);
        const QString Out = QString::fromUtf8(Program.readAllStandardOutput());
        const QString Errors = QString::fromUtf8(Program.readAllStandardError());
        EXPECT_EQ(Out.count(Notice), Run == 1 ? 1 : 0) << Out.toStdString();
        if (Run == 1) {
            EXPECT_TRUE(Out.contains(Notice + Bin +
                                     "/) is niet beschrijfbaar. Instellingen, "
                                     "database en opnamen staan daarom in " +
                                     Own + "."))
                << Out.toStdString();
        }
        EXPECT_FALSE(Errors.contains("Vantor2026.ini")) << Errors.toStdString();
        EXPECT_TRUE(QFileInfo::exists(Own + "Vantor2026.ini"));
        EXPECT_TRUE(QFileInfo::exists(Own + "Vantor2026.sqlite"));
        EXPECT_FALSE(QFileInfo::exists(Bin + "/Vantor2026.ini"));
    }
    EXPECT_EQ(TConfig(Own).RootFolder(), Own + "Recordings");
}

// A --data-dir without a folder, an unknown option or a folder name that would break the
// settings file is refused before anything is written, with exit code 2.
TEST(DataFolderArgument, ABadCommandLineIsRefusedInDutchAndWritesNothing) {
    const struct {
        QStringList Args;
        const char* Said;
    } Cases[] = {
        {{"--headless", "--data-dir"}, "--data-dir verwacht een map"},
        {{"--headless", "--data-dir="}, "--data-dir verwacht een map"},
        {{"--data-dir", "--headless"}, "--data-dir verwacht een map"},
        {{"--headless", "--data-dir", "studio\nRootFolder=/tmp"}, "bevat een regeleinde"},
        {{"--headless", "--data-dir", "studio", "--onbekend"}, "Onbekende optie: --onbekend"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Args.join(' ').toStdString());
        QTemporaryDir Work;
        QProcess Program;
        Program.setWorkingDirectory(Work.path());
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.remove("DISPLAY");
        Env.remove("WAYLAND_DISPLAY");
        Program.setProcessEnvironment(Env);
        Program.start(VANTOR_EXE, C.Args);
        const bool Finished = Program.waitForFinished(10000);
        if (!Finished) {
            Program.terminate();
            Program.waitForFinished(10000);
        }
        EXPECT_TRUE(Finished);
        EXPECT_EQ(Program.exitCode(), 2);
        const QByteArray Errors = Program.readAllStandardError();
        EXPECT_TRUE(Errors.contains(C.Said)) << Errors.toStdString();
        EXPECT_TRUE(Errors.contains("--help")) << Errors.toStdString();
        EXPECT_TRUE(
            QDir(Work.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
    }
}
