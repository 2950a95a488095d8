#include "base/uConfig.h"
#include "control/RecordingSession.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "support/ScheduledStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using namespace std::chrono_literals;

// A free-space probe that answers the recorder at once with room to spare, and holds a
// retention run's question (asked off the user-interface thread) until the gate opens or
// 10 s have passed.
class THeldProbe {
public:
    TFreeSpaceProbe Probe() {
        return [this](const QString&) {
            if (QThread::currentThread() == QCoreApplication::instance()->thread())
                return int64_t{1} << 40;
            std::unique_lock Lock(FMutex);
            FAsked = true;
            FChanged.notify_all();
            if (!FChanged.wait_for(Lock, 10s, [this] { return FOpen; }))
                FTimedOut = true;
            return int64_t{0};
        };
    }
    // Waits until a run asks; false when none does within 10 s.
    bool Asked() {
        std::unique_lock Lock(FMutex);
        return FChanged.wait_for(Lock, 10s, [this] { return FAsked; });
    }
    void Open() {
        std::lock_guard Lock(FMutex);
        FOpen = true;
        FChanged.notify_all();
    }
    bool TimedOut() {
        std::lock_guard Lock(FMutex);
        return FTimedOut;
    }

private:
    std::mutex FMutex;
    std::condition_variable FChanged;
    bool FAsked = false;
    bool FOpen = false;
    bool FTimedOut = false;
};

} // namespace

// A retention run that goes on at shutdown waits for the recording: the recording is stopped
// and logged first, and only then is the run asked to end and waited for. The run deletes
// nothing once it has been asked to stop.
TEST(RetentionAtShutdown, TheRecordingIsFinishedBeforeTheRunIsWaitedFor) {
    QTemporaryDir Dir;
    soundlib::TScript Script;
    Script.Signal = soundlib::ToneSignal(1000, 0.5);
    soundlib::InstallScriptedBackend(Script);
    const QDateTime Now =
        QDateTime(QDate(2026, 3, 5), QTime(13, 30), QTimeZone("Europe/Amsterdam"));
    TConfig Settings(Dir.path());
    Settings.SetRootFolder(Dir.filePath("Opnames"));
    Settings.SetDatabasePath(Dir.filePath("Eigen.sqlite"));
    Settings.SetRetention({0, 1, true});
    const QString Old = Dir.filePath("Opnames/2026/01/24/24012026131.wav");
    {
        TLogData Setup(Settings.DatabasePath());
        const TPreset P = ScheduleWavEveryHour(Setup);
        QDir().mkpath(QFileInfo(Old).path());
        QFile F(Old);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write("RIFF");
        ASSERT_TRUE(F.flush() &&
                    F.setFileTime(Now.addDays(-40), QFileDevice::FileModificationTime));
        Setup.LogRecording(P, Now.addDays(-40), 1, QFileInfo(Old).fileName(), Old);
    }
    THeldProbe Held;
    TRecordingSession Session(
        Settings, [&Now] { return Now; }, Held.Probe());
    std::atomic<bool> Stopped = false;
    QObject::connect(&Session.Controller(), &TRecordingController::RecordingStopped,
                     [&](const TRecordingEvent&) {
                         Stopped = true;
                         Held.Open();
                     });

    EXPECT_TRUE(Session.Start().isEmpty());
    Session.Controller().TimerClockTimer();
    ASSERT_TRUE(Session.Controller().IsRecording());
    ASSERT_TRUE(Held.Asked());
    Session.Shutdown();

    EXPECT_TRUE(Stopped);
    EXPECT_FALSE(Held.TimedOut()) << "the run was waited for before the recording was stopped";
    EXPECT_TRUE(QFile::exists(Old));
}
