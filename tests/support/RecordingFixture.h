#pragma once

#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "data/uData.h"
#include "soundlib/ScriptedBackend.h"
#include "support/SqlHelpers.h"
#include "support/TestWallClock.h"

#include <QDateTime>
#include <QDir>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <memory>

// What every test of the recording controller needs: settings and a real database (Data, which
// the test hands to its controller) in a temporary folder, a clock the test sets, and the scripted
// capture backend (one device hearing a 1 kHz tone at half scale, in real time) in place of the
// sound server. Tests run with TZ=Europe/Amsterdam (set by CTest).
class TRecordingFixture {
public:
    TRecordingFixture() {
        soundlib::TScript Script;
        Script.Signal = soundlib::ToneSignal(1000, 0.5);
        // The capture dates its audio by the test's clock as the controller last read it, run
        // on in real time from there, as a sound card's audio follows the wall clock.
        Script.WallClock = [Read = LastRead] { return Read->Now(); };
        soundlib::InstallScriptedBackend(Script);
        Config = std::make_unique<TConfig>(Dir.path());
        Config->SetRootFolder(Dir.path() + QStringLiteral("/Opnames"));
        Config->SetDatabasePath(Dir.path() + QStringLiteral("/Vantor2026.sqlite"));
        // The test machine's clock may well be unsynchronised; the tests' hours pass in moments.
        TAlarmSettings Alarm = Config->Alarm();
        Alarm.ClockUnsyncedMinutes = 0;
        Config->SetAlarm(Alarm);
        Data = std::make_unique<TLogData>(Config->DatabasePath());
        TPreset P;
        P.Name = QStringLiteral("WAV 8 kHz Mono");
        P.Format = afWAV;
        P.SampleRate = 8000;
        P.Channels = 1;
        P.SortOrder = 5;
        P.Id = Data->AddPreset(P);
        Wav = P;
    }
    ~TRecordingFixture() {
        Data.reset();
        Config.reset();
    }

    // A clock that reads Now.
    TClock Clock() {
        return [this] {
            LastRead->Set(Now);
            return Now;
        };
    }

    static QDateTime Amsterdam(const char* Utc) {
        return QDateTime::fromString(QString::fromLatin1(Utc), Qt::ISODateWithMs)
            .toTimeZone(QTimeZone("Europe/Amsterdam"));
    }

    void ScheduleAll(int32_t PresetId) {
        for (int Day = 1; Day <= 7; ++Day)
            for (int Hour = 0; Hour < 24; ++Hour)
                Data->SetSchedulePreset(Day, Hour, PresetId);
    }

    // The log as (rec_dt, rec_number, filename, duration_sec) rows, oldest first.
    QList<QStringList> LogRows(const QString& Where = QString()) const {
        QList<QStringList> Rows;
        QSqlQuery Q(Data->Connection());
        EXPECT_TRUE(Q.exec(QStringLiteral("SELECT rec_dt, rec_number, filename, duration_sec "
                                          "FROM recordings ") +
                           Where + QStringLiteral(" ORDER BY id")));
        while (Q.next())
            Rows << QStringList{Q.value(0).toString(), Q.value(1).toString(), Q.value(2).toString(),
                                Q.value(3).toString()};
        return Rows;
    }

    // Ticks Controller every 250 ms of the test's clock until Until (inclusive). In the first
    // seconds of an hour it also gives the recording thread the real time it needs to cut the
    // file at the hour, ticking meanwhile, as the program's clock would.
    void TickUntil(TRecordingController& Controller, const QDateTime& Until) {
        while (Now < Until) {
            Now = std::min(Now.addMSecs(250), Until);
            Controller.TimerClockTimer();
            SettleCut(Controller);
        }
    }

    void SettleCut(TRecordingController& Controller) { ::SettleCut(Controller, Now); }

    QString DayFolder(const char* YearMonthDay) const {
        return Config->RootFolder() + u'/' + QString::fromLatin1(YearMonthDay) + u'/';
    }

    std::shared_ptr<TTestWallClock> LastRead = std::make_shared<TTestWallClock>();

    QTemporaryDir Dir;
    // The database the tests' controllers log in.
    std::unique_ptr<TLogData> Data;
    QDateTime Now;
    TPreset Wav;
};
