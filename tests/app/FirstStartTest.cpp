#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

// A copy of the program started in an empty folder writes its settings file there first.
TEST(FirstStart, CreatesTheSettingsFileBesideTheExecutable) {
    QTemporaryDir Dir;
    const QString Exe = Dir.path() + "/vantor2026";
    ASSERT_TRUE(QFile::copy(VANTOR_EXE, Exe));
    QProcess P;
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("QT_QPA_PLATFORM", "offscreen");
    P.setProcessEnvironment(Env);
    P.start(Exe, {});
    ASSERT_TRUE(P.waitForStarted());
    const QString Ini = Dir.path() + "/Vantor2026.ini";
    for (int I = 0; I < 100 && !QFile::exists(Ini); ++I)
        QThread::msleep(50);
    P.terminate();
    P.waitForFinished(10000);
    QFile F(Ini);
    ASSERT_TRUE(F.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = F.readAll().split('\n');
    QStringList Keys;
    for (const QByteArray& L : Lines)
        if (L.contains('='))
            Keys << QString::fromUtf8(L.left(L.indexOf('=')));
    EXPECT_EQ(Keys, QStringList({"RootFolder", "Database", "Device", "Input", "AutoRecord"}));
    EXPECT_TRUE(Lines.contains("RootFolder=" + (Dir.path() + "/Recordings").toUtf8()));
}

TEST(FirstStart, HelpAndVersionNeedNoDisplayAndWriteNothing) {
    QTemporaryDir Dir;
    const QString Exe = Dir.path() + "/vantor2026";
    ASSERT_TRUE(QFile::copy(VANTOR_EXE, Exe));
    for (const char* Arg : {"--help", "--version"}) {
        QProcess P;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.remove("DISPLAY");
        Env.remove("WAYLAND_DISPLAY");
        Env.remove("QT_QPA_PLATFORM");
        P.setProcessEnvironment(Env);
        P.start(Exe, {Arg});
        ASSERT_TRUE(P.waitForFinished(10000));
        EXPECT_EQ(P.exitCode(), 0);
        EXPECT_TRUE(P.readAllStandardOutput().contains("Vantor 2026")) << Arg;
    }
    EXPECT_FALSE(QFile::exists(Dir.path() + "/Vantor2026.ini"));
}
