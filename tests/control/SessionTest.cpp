#include "base/uConfig.h"
#include "control/RecordingSession.h"
#include "control/Trouble.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "support/ScheduledStore.h"
#include "support/SqlHelpers.h"
#include "support/TestWallClock.h"

#include "support/TestWallClock.h"
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

QDateTime Amsterdam(const char* Utc) {
    return QDateTime::fromString(QString::fromLatin1(Utc), Qt::ISODateWithMs)
        .toTimeZone(QTimeZone("Europe/Amsterdam"));
}

// What a view subscribed to the session's events receives, one line an event.
class TEventLog {
public:
    explicit TEventLog(const TRecordingController& Controller) {
        QObject::connect(
            &Controller, &TRecordingController::RecordingStarted, [this](const TRecordingEvent& R) {
                Lines << "begonnen " + QFileInfo(R.FilePath).fileName() + " " + R.Source;
            });
        QObject::connect(&Controller, &TRecordingController::RecordingStopped,
                         [this](const TRecordingEvent& R) {
                             Lines << "gestopt " + QFileInfo(R.FilePath).fileName() + " " +
                                          QString::number(R.Seconds) + " s";
                         });
        QObject::connect(&Controller, &TRecordingController::TroubleBegan,
                         [this](const TTrouble& T) { Lines << "storing " + T.Text; });
        QObject::connect(&Controller, &TRecordingController::TroubleEnded,
                         [this](const TTrouble& T) { Lines << "opgeheven " + T.Text; });
    }
    QStringList Lines;
};

} // namespace

// A session built from its own settings, clock and free-space probe, with no program-wide
// Config, and the database its own: it records the scheduled hour, moves to the next at the
// boundary, loses its capture and takes it up again, and a view learns all of it from the
// events alone.
TEST(Session, ABoundaryAndACaptureLossReachTheViewAsEvents) {
    ASSERT_EQ(Config, nullptr);
    QTemporaryDir Dir;
    auto WallClock = std::make_shared<TTestWallClock>();
    soundlib::TScript Script;
    Script.Signal = soundlib::ToneSignal(1000, 0.5);
    Script.WallClock = [WallClock] { return WallClock->Now(); };
    soundlib::InstallScriptedBackend(Script);
    TConfig Settings(Dir.path());
    Settings.SetRootFolder(Dir.filePath("Opnames"));
    Settings.SetDatabasePath(Dir.filePath("Eigen.sqlite"));
    {
        TLogData Setup(Settings.DatabasePath());
        ScheduleWavEveryHour(Setup);
    }
    QDateTime Now = Amsterdam("2026-03-05T12:59:58Z");
    TRecordingSession Session(
        Settings,
        [&Now, WallClock] {
            WallClock->Set(Now);
            return Now;
        },
        [](const QString&) { return int64_t{1} << 40; });
    TEventLog View(Session.Controller());
    const auto TickUntil = [&](const char* Utc) {
        const QDateTime Until = Amsterdam(Utc);
        while (Now < Until) {
            Now = std::min(Now.addMSecs(250), Until);
            Session.Controller().TimerClockTimer();
            SettleCut(Session.Controller(), Now);
        }
    };

    EXPECT_TRUE(Session.Start().isEmpty());
    TickUntil("2026-03-05T13:00:00Z");
    TickUntil("2026-03-05T13:00:10Z");
    soundlib::SetScriptedServerUp(false);
    TickUntil("2026-03-05T13:00:13Z");
    soundlib::SetScriptedServerUp(true);
    TickUntil("2026-03-05T13:00:20Z");
    Session.Shutdown();

    // The run began two seconds before 14:00: the hour of 13 lacks the rest, told at its end.
    const QString Incomplete =
        "Uur 13:00–14:00 onvolledig: " + SecondsText(3598) + " ontbreekt (programma liep niet)";
    EXPECT_EQ(View.Lines, (QStringList{"begonnen 05032026131.wav Opname gestart door interne klok",
                                       "gestopt 05032026131.wav 2 s",
                                       "begonnen 05032026141.wav Opname gestart door interne klok",
                                       "storing " + Incomplete, "opgeheven " + Incomplete,
                                       "gestopt 05032026141.wav 10 s",
                                       "storing Geen opname sinds 14:00:10: geen geluid",
                                       "begonnen 05032026142.wav Opname gestart door interne klok",
                                       "opgeheven Geen opname sinds 14:00:10: geen geluid",
                                       "gestopt 05032026142.wav 4 s"}));
    EXPECT_EQ(Session.Data(), nullptr) << "the session released its database";
    EXPECT_EQ(Config, nullptr);
}
