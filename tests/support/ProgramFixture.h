#pragma once

#include "base/uConfig.h"
#include "data/uData.h"
#include "support/PulseTestServer.h"
#include "support/SqlHelpers.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

// Every hour of the week scheduled to one preset, in the database at Db.
inline void ScheduleEveryHour(const QString& Db, int32_t PresetId) {
    TLogData Data(Db);
    for (int Day = 1; Day <= 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour)
            Data.SetSchedulePreset(Day, Hour, PresetId);
}

// A data folder for the real program: its settings file naming Device and the recordings
// folder Root (default: "Recordings" in Folder), and its database with every hour scheduled
// to PresetId.
inline void PrepareDataFolder(const QString& Folder, int32_t PresetId, int Device,
                              const QString& Root = QString()) {
    ASSERT_TRUE(QDir().mkpath(Folder));
    TConfig Settings(Folder);
    if (!Root.isEmpty())
        Settings.SetRootFolder(Root);
    Settings.SetRecordDevice(Device);
    Settings.Save();
    ScheduleEveryHour(Settings.DatabasePath(), PresetId);
}

// A copy of the real program in a temporary folder, with its settings file beside it, a
// database with every hour scheduled to one preset, and the test server's sine source as
// its device.
class TProgramFixture {
protected:
    void Prepare(int32_t PresetId) {
        ASSERT_TRUE(QFile::copy(VANTOR_EXE, Exe));
        PrepareDataFolder(Dir.path(), PresetId, SineDevice(), Root);
    }

    void ScheduleAll(int32_t PresetId) const { ScheduleEveryHour(Db, PresetId); }

    // Starts the program (or Command, which runs it) under a clock that starts at FakeStart
    // local time and runs on: libfaketime preloaded into the program itself (not through the
    // faketime wrapper, which would take the signals). FakeStart may also be whole seconds
    // since the epoch (see StartAt).
    void Start(QProcess& Program, bool Headless, const char* FakeStart,
               const QString& Command = QString(), const QStringList& Args = {}) {
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("TZ", "Europe/Amsterdam");
        if (Headless) {
            Env.remove("DISPLAY");
            Env.remove("WAYLAND_DISPLAY");
            Env.remove("QT_QPA_PLATFORM");
        } else {
            Env.insert("QT_QPA_PLATFORM", "offscreen");
        }
        Env.insert("LD_PRELOAD", "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1");
        Env.insert("FAKETIME", QStringLiteral("@") + QString::fromLatin1(FakeStart));
        if (!QByteArray(FakeStart).contains(' '))
            Env.insert("FAKETIME_FMT", "%s");
        Env.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
        Program.setProcessEnvironment(Env);
        if (Command.isEmpty())
            Program.start(Exe, Headless ? QStringList{"--headless"} : QStringList{});
        else
            Program.start(Command, Args);
        ASSERT_TRUE(Program.waitForStarted());
    }

    // As Start, with the clock starting at Moment (whole seconds). libfaketime reads a local
    // time by mktime in the program's zone, which takes the autumn hour the clock shows twice
    // as its second (winter) time; seconds since the epoch (FAKETIME_FMT=%s) name either.
    void StartAt(QProcess& Program, bool Headless, const QDateTime& Moment,
                 const QString& Command = QString(), const QStringList& Args = {}) {
        Start(Program, Headless, QByteArray::number(Moment.toSecsSinceEpoch()).constData(), Command,
              Args);
    }

    // Reads the program's output until Done holds for it or Timeout passes; the output.
    static QString ReadOutputUntil(QProcess& Program,
                                   const std::function<bool(const QString&)>& Done,
                                   int TimeoutMs = 30000) {
        QString Out;
        QElapsedTimer Waited;
        Waited.start();
        while (!Done(Out) && Waited.elapsed() < TimeoutMs && Program.state() == QProcess::Running) {
            Program.waitForReadyRead(100);
            Out += QString::fromUtf8(Program.readAllStandardOutput());
        }
        return Out;
    }

    // Reads the program's output until it tells a recording started; the output.
    static QString ReadUntilRecordingStarts(QProcess& Program) {
        return ReadOutputUntil(
            Program, [](const QString& Text) { return Text.contains("Opname gestart door"); });
    }

    static void StopCleanly(QProcess& Program) {
        Program.terminate();
        ASSERT_TRUE(Program.waitForFinished(15000));
        EXPECT_EQ(Program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(Program.exitCode(), 0);
    }

    QList<QStringList> Rows(const char* Sql) const {
        TLogData Data(Db);
        return SqlRows(Data.Connection(), Sql);
    }

    QTemporaryDir Dir;
    const QString Exe = Dir.path() + "/vantor2026";
    const QString Root = Dir.path() + "/Opnames";
    const QString Db = Dir.path() + "/Vantor2026.sqlite";
    const QString Folder = Root + "/2026/03/05/";
};
