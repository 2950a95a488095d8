#include "audio/uRecorder.h"
#include "support/RecordingFixture.h"
#include "support/SqlHelpers.h"

#include <vector>

namespace {

struct TExpectedRow {
    const char* RecDt;
    int Number;
    int Duration;
};

struct THourCase {
    const char* Name;
    const char* StartUtc;
    int PreLogged; // rows already logged for the start hour
    std::vector<const char*> TicksUtc;
    std::vector<TExpectedRow> Rows;
};

// All moments are UTC; the controller sees them on the Amsterdam clock (CET is UTC+1, CEST
// UTC+2). Every hour of the week is scheduled.
const THourCase HourCases[] = {
    {"BoundaryActsOnceAtItsFirstTick",
     "2026-03-05T12:30:00Z",
     0,
     {"2026-03-05T12:59:59.900Z", "2026-03-05T13:00:00.100Z", "2026-03-05T13:00:00.350Z",
      "2026-03-05T13:00:59.750Z"},
     {{"2026-03-05 13:30:00", 1, 1800}, {"2026-03-05 14:00:00", 1, 0}}},
    {"SleptThroughBoundaryIsActedOnAtTheFirstTickAfter",
     "2026-03-05T12:30:00Z",
     0,
     {"2026-03-05T12:58:00Z", "2026-03-05T13:03:00Z", "2026-03-05T13:59:59Z",
      "2026-03-05T14:00:00.200Z"},
     {{"2026-03-05 13:30:00", 1, 1980},
      {"2026-03-05 14:03:00", 1, 3420},
      {"2026-03-05 15:00:00", 1, 0}}},
    {"ClockSteppedBackIntoAnEarlierHourSwitchesTheHour",
     "2026-03-05T12:30:00Z",
     0,
     {"2026-03-05T11:50:00Z"},
     {{"2026-03-05 13:30:00", 1, 0}, {"2026-03-05 12:50:00", 1, 0}}},
    {"RepeatedHourAtTheEndOfSummerTimeIsAnHourOfItsOwn",
     "2026-10-24T23:30:00Z",
     0,
     {"2026-10-25T00:00:00.100Z", "2026-10-25T01:00:00.100Z", "2026-10-25T02:00:00.100Z"},
     {{"2026-10-25 01:30:00", 1, 1800},
      {"2026-10-25 02:00:00", 1, 3600},
      {"2026-10-25 02:00:00", 2, 3600},
      {"2026-10-25 03:00:00", 1, 0}}},
    {"FirstHourAfterTheSpringJumpIsActedOn",
     "2026-03-29T00:30:00Z",
     0,
     {"2026-03-29T00:59:59.900Z", "2026-03-29T01:00:00.100Z"},
     {{"2026-03-29 01:30:00", 1, 1800}, {"2026-03-29 03:00:00", 1, 0}}},
    {"StartedInMinuteZeroRecordsWithoutRestart",
     "2026-03-05T13:00:30Z",
     0,
     {"2026-03-05T13:00:30.250Z", "2026-03-05T13:00:59.900Z"},
     {{"2026-03-05 14:00:30", 1, 0}}},
    {"StartedMidHourIsNumberedAfterLoggedRows",
     "2026-03-05T13:37:00Z",
     2,
     {"2026-03-05T13:37:00.250Z"},
     {{"2026-03-05 14:37:00", 3, 0}}},
};

class HourRule : public testing::TestWithParam<THourCase>, public TRecordingFixture {};

TEST_P(HourRule, ActsOncePerClockHour) {
    const THourCase& C = GetParam();
    ScheduleAll(Wav.Id);
    Now = Amsterdam(C.StartUtc);
    for (int I = 0; I < C.PreLogged; ++I)
        Data->LogRecording(Wav, Now, I + 1, QStringLiteral("eerder.wav"),
                           QStringLiteral("/elders/eerder.wav"));
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    for (const char* Tick : C.TicksUtc) {
        Now = Amsterdam(Tick);
        Controller.TimerClockTimer();
        SettleCut(Controller);
    }
    QList<QStringList> Expected;
    for (const TExpectedRow& R : C.Rows) {
        const QString Moment = QString::fromLatin1(R.RecDt);
        // 2026-03-05 14:00:00 -> 05032026141.wav
        const QString Name = Moment.mid(8, 2) + Moment.mid(5, 2) + Moment.left(4) +
                             Moment.mid(11, 2) + QString::number(R.Number) + ".wav";
        Expected << QStringList{Moment, QString::number(R.Number), Name,
                                QString::number(R.Duration)};
    }
    EXPECT_EQ(LogRows(QStringLiteral("WHERE id > %1").arg(C.PreLogged)), Expected);
    EXPECT_TRUE(Controller.IsRecording());
    Controller.Shutdown();
}

INSTANTIATE_TEST_SUITE_P(Controller, HourRule, testing::ValuesIn(HourCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

class ClockStep : public testing::Test, public TRecordingFixture {};

// The wall clock steps two days ahead ten seconds into a recording (a resume after suspend, a
// corrected clock): the next tick switches the hour, and the stopped recording is logged with
// the ten seconds that passed, not with the step.
TEST_F(ClockStep, AStepAheadSwitchesTheHourAndLogsTheTimeThatPassed) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:30:00Z");
    int64_t Elapsed = 0;
    TRecordingController Controller(*Config, Data, Clock(), VolumeFreeBytes,
                                    [&Elapsed] { return Elapsed; });
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    Elapsed += 10000;
    Now = Amsterdam("2026-03-07T12:30:10Z");
    Controller.TimerClockTimer();
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:30:00", "1", "05032026131.wav", "10"},
                                  {"2026-03-07 13:30:10", "1", "07032026131.wav", "0"}}));
    Controller.Shutdown();
}

class Schedule : public testing::Test, public TRecordingFixture {};

// Automatic recording off: every boundary stops what runs and says nothing is planned,
// even where the schedule names a preset; the operator may still start by hand.
TEST_F(Schedule, AutoRecordOffStopsAtBoundariesAndStartsNothing) {
    ScheduleAll(Wav.Id);
    Config->SetAutoRecord(false);
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(Controller.Status().InfoText, "Klaar.");
    EXPECT_EQ(Controller.Status().SourceText, "Wachten op interne klok...");

    Controller.ManualStart();
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.CurrentPreset().Name, Wav.Name);
    EXPECT_EQ(Controller.Status().SourceText, "Opname handmatig gestart");

    Now = Amsterdam("2026-03-05T13:00:00.100Z");
    Controller.TimerClockTimer();
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 13:30:00", "1", "05032026131.wav", "1800"}}));
    EXPECT_EQ(Controller.Status().FileText, "");
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname gepland voor dit uur.");
    EXPECT_EQ(Controller.Status().SourceText, "Wachten op volgende geplande uur...");
}

// A cell naming a preset that was removed behind the program's back is an empty cell.
TEST_F(Schedule, CellNamingADeletedPresetRecordsNothing) {
    ScheduleAll(Wav.Id);
    QSqlQuery(Data->Connection())
        .exec(QStringLiteral("DELETE FROM presets WHERE id=%1").arg(Wav.Id));
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    Now = Amsterdam("2026-03-05T13:00:00.100Z");
    Controller.TimerClockTimer();
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(LogRows().isEmpty());
    EXPECT_EQ(Controller.Status().InfoText, "Geen opname gepland voor dit uur.");
}

// The menu's start: the scheduled preset (automatic recording on or off), else the first
// preset by sort order, else a warning and nothing else.
TEST_F(Schedule, ManualStartPicksScheduledThenFirstPreset) {
    struct TCase {
        bool Scheduled;
        bool AutoRecord;
        const char* Expected;
    };
    // The seeded "MP3 128 Kbit Stereo" has sort order 0, the test's WAV preset 5.
    for (const TCase& C :
         {TCase{true, false, "WAV 8 kHz Mono"}, TCase{true, true, "WAV 8 kHz Mono"},
          TCase{false, true, "MP3 128 Kbit Stereo"}}) {
        ScheduleAll(C.Scheduled ? Wav.Id : 0);
        Config->SetAutoRecord(C.AutoRecord);
        Now = Amsterdam("2026-03-05T12:30:00Z");
        TRecordingController Controller(*Config, Data, Clock());
        Controller.Startup();
        Controller.StopRecording();
        Controller.ManualStart();
        EXPECT_TRUE(Controller.IsRecording());
        EXPECT_EQ(Controller.CurrentPreset().Name, C.Expected);
        EXPECT_EQ(Controller.Status().FormatText, C.Expected);
        Controller.ManualStop();
        EXPECT_EQ(Controller.Status().InfoText, "Opname gestopt.");
        EXPECT_EQ(Controller.Status().SourceText, "Wachten op interne klok...");
        EXPECT_EQ(Controller.Status().FormatText, "Geen opname");
    }
}

TEST_F(Schedule, ManualStartWithoutPresetsOnlyWarns) {
    QSqlQuery(Data->Connection()).exec(QStringLiteral("DELETE FROM presets"));
    Now = Amsterdam("2026-03-05T12:30:00Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    QStringList Warnings;
    int LineChanges = 0;
    QObject::connect(&Controller, &TRecordingController::WarningRaised,
                     [&](const QString& Text) { Warnings << Text; });
    QObject::connect(&Controller, &TRecordingController::StatusLinesChanged,
                     [&] { ++LineChanges; });
    QObject::connect(&Controller, &TRecordingController::RecordingStateChanged,
                     [&] { ++LineChanges; });
    Controller.ManualStart();
    EXPECT_EQ(Warnings, QStringList{"Er zijn geen opname-presets gedefinieerd."});
    EXPECT_EQ(LineChanges, 0);
    EXPECT_FALSE(Controller.IsRecording());
    EXPECT_TRUE(LogRows().isEmpty());
}

} // namespace
