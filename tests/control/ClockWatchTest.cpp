#include "control/ClockWatch.h"
#include "control/EventJournal.h"
#include "control/TroubleTracker.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"

#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

// The regional settings of a Dutch desktop while it lives.
class TDutchLocale {
public:
    TDutchLocale() { QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands)); }
    ~TDutchLocale() { QLocale::setDefault(FSaved); }

private:
    QLocale FSaved;
};

const QDateTime Start(QDate(2026, 3, 5), QTime(14, 2, 0));

// Both clocks and the clock status, as a test sets them. The wall clock runs with the
// monotonic one unless a test steps it.
struct TClocks {
    int64_t Elapsed = 1'000'000;
    int64_t WallShift = 0;
    std::optional<TClockStatus> Status = TClockStatus{true, 50'000};
    int Probed = 0;

    QDateTime Wall() const { return Start.addMSecs(Elapsed - 1'000'000 + WallShift); }
    TClockWatch Watch() {
        return TClockWatch([this] { return Wall(); }, [this] { return Elapsed; },
                           [this] {
                               ++Probed;
                               return Status;
                           });
    }
};

} // namespace

// The clock's status is trouble once it has said "not synchronised" for the minutes the
// settings allow, from the moment it first said so; it ends when the clock is synchronised
// again. Each case walks an hour in ticks of 250 ms and changes the status at the minutes given.
TEST(ClockWatch, AClockLongUnsynchronisedIsTroubleUntilItIsSynchronised) {
    const TDutchLocale Dutch;
    const QString Text = "De klok van deze computer is sinds 14:02:00 niet gelijkgezet met een "
                         "tijdserver; opnametijden kunnen afwijken (maximale fout 1,2 s).";
    const std::optional<TClockStatus> Synced = TClockStatus{true, 50'000};
    const std::optional<TClockStatus> Unsynced = TClockStatus{false, 1'234'000};
    const struct {
        const char* Name;
        int32_t LimitMinutes;
        std::vector<std::pair<int, std::optional<TClockStatus>>> Changes; // from minute, status
        int BeganAt;                                                      // minute; -1: never
        int EndedAt;                                                      // minute; -1: never
    } Cases[] = {
        {"synchronised", 30, {{0, Synced}}, -1, -1},
        {"29 minutes unsynchronised", 30, {{0, Unsynced}, {29, Synced}}, -1, -1},
        {"31 minutes unsynchronised", 30, {{0, Unsynced}, {31, Synced}}, 30, 31},
        {"unsynchronised, not looked for", 0, {{0, Unsynced}}, -1, -1},
        {"status unreadable", 30, {{0, std::nullopt}}, -1, -1},
        {"unreadable for a while",
         30,
         {{0, Unsynced}, {20, std::nullopt}, {21, Unsynced}, {50, Synced}},
         -1,
         -1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TClocks Clocks;
        TClockWatch Watch = Clocks.Watch();
        TTroubleTracker Tracker;
        int BeganAt = -1, EndedAt = -1;
        for (int Tick = 0; Tick < 60 * 60 * 4; ++Tick) {
            const int Minute = Tick / (60 * 4);
            for (const auto& [From, Status] : C.Changes)
                if (Tick == From * 60 * 4)
                    Clocks.Status = Status;
            EXPECT_FALSE(Watch.Tick());
            TTroubleSigns Signs;
            Signs.ClockUnsyncedSeconds = Watch.UnsyncedSeconds();
            Signs.ClockUnsyncedLimit = C.LimitMinutes * 60;
            Signs.ClockMaxErrorMicroseconds =
                Watch.Current() ? Watch.Current()->MaxErrorMicroseconds : 0;
            Signs.File = "/opnames/lopend.wav";
            const TTroubleTracker::TChange Change = Tracker.Update(Clocks.Wall(), Signs);
            for (const TTrouble& T : Change.Began) {
                EXPECT_EQ(BeganAt, -1);
                BeganAt = Minute;
                EXPECT_EQ(T.Kind, TTroubleKind::Clock);
                EXPECT_EQ(T.Since, Start);
                EXPECT_EQ(T.Text, Text);
                EXPECT_EQ(T.File, "") << "the clock concerns no recording in particular";
                EXPECT_EQ(Tracker.Text(), Text);
            }
            for (const TTrouble& T : Change.Ended) {
                EndedAt = Minute;
                EXPECT_EQ(T.Since, Start);
            }
            Clocks.Elapsed += 250;
        }
        EXPECT_EQ(BeganAt, C.BeganAt);
        EXPECT_EQ(EndedAt, C.EndedAt);
    }
}

// The status is read once every ten seconds of elapsed time, not at every tick; Current tells
// the last reading, and the clock counts as unsynchronised from the reading that found it so.
TEST(ClockWatch, TheStatusIsReadEveryTenSeconds) {
    TClocks Clocks;
    TClockWatch Watch = Clocks.Watch();
    EXPECT_FALSE(Watch.Current());
    for (int Tick = 0; Tick < 4 * 25; ++Tick) {
        Watch.Tick();
        Clocks.Elapsed += 250;
        if (Tick == 4 * 5)
            Clocks.Status = TClockStatus{false, 16'000'000};
    }
    EXPECT_EQ(Clocks.Probed, 3); // at 0 s, 10 s and 20 s
    EXPECT_EQ(Watch.Current(), (TClockStatus{false, 16'000'000}));
    EXPECT_DOUBLE_EQ(Watch.UnsyncedSeconds(), 24.75 - 10);
}

// A change of more than a second between the wall clock and the monotonic clock from one tick
// to the next is a step, forward or back, with its size and the wall clock's moments before
// and after it; a smaller one (a correction, a late tick) is none.
TEST(ClockWatch, AStepOfTheWallClockIsToldWithItsSize) {
    const TDutchLocale Dutch;
    const struct {
        const char* Name;
        int64_t Shift;
        std::optional<int64_t> Step; // none: no step
        const char* Text;
    } Cases[] = {
        {"forward", 3200, 3200, "De klok is 3,2 s vooruitgezet."},
        {"back", -2500, -2500, "De klok is 2,5 s teruggezet."},
        {"an hour back", -3'600'000, -3'600'000, "De klok is 3.600,0 s teruggezet."},
        {"drift", 500, std::nullopt, ""},
        {"one second", -1000, std::nullopt, ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TClocks Clocks;
        TClockWatch Watch = Clocks.Watch();
        EXPECT_FALSE(Watch.Tick());
        Clocks.Elapsed += 250;
        EXPECT_FALSE(Watch.Tick());
        Clocks.Elapsed += 250;
        Clocks.WallShift = C.Shift;
        const std::optional<TClockStep> Step = Watch.Tick();
        ASSERT_EQ(Step.has_value(), C.Step.has_value());
        Clocks.Elapsed += 250;
        EXPECT_FALSE(Watch.Tick()) << "a step is told once";
        if (!Step)
            continue;
        EXPECT_EQ(Step->Milliseconds, *C.Step);
        EXPECT_EQ(Step->Before, Start.addMSecs(500));
        EXPECT_EQ(Step->After, Start.addMSecs(500 + *C.Step));
        EXPECT_EQ(ClockStepText(*Step), C.Text);
    }
}

// The events log keeps a step as a row of its own, of the clock's kind.
TEST(ClockWatch, AStepIsARowOfTheEventsLog) {
    const TDutchLocale Dutch;
    QTemporaryDir Dir;
    std::unique_ptr<TLogData> Data = std::make_unique<TLogData>(Dir.filePath("log.sqlite"));
    TEventJournal Journal(Data, [] { return Start; });
    Journal.ClockStepped({3200, Start, Start.addMSecs(3200)});
    EXPECT_EQ(SqlRows(Data->Connection(), "SELECT event, kind, text FROM events"),
              (QList<QStringList>{{"stap", "clock", "De klok is 3,2 s vooruitgezet."}}));
    EXPECT_EQ(EventKindDutchName("clock"), "klok");
}

// The kernel's own status can be read without privileges.
TEST(ClockWatch, TheKernelTellsTheClockStatus) {
    const std::optional<TClockStatus> Status = KernelClockStatus();
    ASSERT_TRUE(Status);
    EXPECT_GE(Status->MaxErrorMicroseconds, 0);
}
