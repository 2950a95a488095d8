#include "control/HourCheck.h"
#include "control/EventJournal.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

// The regional settings of a Dutch desktop while it lives.
class TDutchLocale {
public:
    TDutchLocale() { QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands)); }
    ~TDutchLocale() { QLocale::setDefault(FSaved); }

private:
    QLocale FSaved;
};

const QDateTime HourStart(QDate(2026, 3, 5), QTime(14, 0), QTimeZone(3600));

// A stretch of Seconds missing from Offset seconds into the hour, for Cause.
TCoverageGap Gap(double Offset, double Seconds, TGapCause Cause) {
    const QDateTime From = HourStart.addMSecs(static_cast<int64_t>(Offset * 1000));
    return {From, From.addMSecs(static_cast<int64_t>(Seconds * 1000)), Cause};
}

// The whole hour from 14:00, scheduled unless told otherwise, with Gaps missing.
TCoverageHour Hour(QVector<TCoverageGap> Gaps, bool Scheduled = true) {
    TCoverageHour H;
    H.Start = HourStart;
    H.End = HourStart.addSecs(3600);
    H.Hour = 14;
    H.Scheduled = Scheduled;
    for (const TCoverageGap& G : Gaps)
        H.MissingSeconds += G.Seconds();
    H.RecordedSeconds = 3600 - H.MissingSeconds;
    H.Gaps = std::move(Gaps);
    if (!Scheduled)
        H.MissingSeconds = H.RecordedSeconds = 0;
    return H;
}

} // namespace

// An hour that ends with more missing than the limit is trouble, named by the hour, what is
// missing and the cause of most of it; within the limit, or not scheduled, it is none.
TEST(HourCheck, AnHourMissingMoreThanTheLimitIsIncomplete) {
    const TDutchLocale Dutch;
    const struct {
        const char* Name;
        TCoverageHour Hour;
        int32_t Limit;
        const char* Text; // empty: no trouble
    } Cases[] = {
        {"one cause", Hour({Gap(600, 12.4, TGapCause::Capture)}), 2,
         "Uur 14:00–15:00 onvolledig: 12,4 s ontbreekt (geluidsserver weg)"},
        {"the cause of most seconds, not of most gaps",
         Hour({Gap(10, 1.5, TGapCause::Dropped), Gap(20, 1.5, TGapCause::Dropped),
               Gap(3596, 4, TGapCause::NotRunning)}),
         2, "Uur 14:00–15:00 onvolledig: 7,0 s ontbreekt (programma liep niet)"},
        {"at the limit", Hour({Gap(0, 2, TGapCause::Capture)}), 2, ""},
        {"within the limit as shown", Hour({Gap(0, 2.04, TGapCause::Capture)}), 2, ""},
        {"just over the limit", Hour({Gap(0, 2.1, TGapCause::Stopped)}), 2,
         "Uur 14:00–15:00 onvolledig: 2,1 s ontbreekt (met de hand gestopt)"},
        {"any second, limit 0", Hour({Gap(0, 0.3, TGapCause::FormatChange)}), 0,
         "Uur 14:00–15:00 onvolledig: 0,3 s ontbreekt (ander formaat)"},
        {"whole, limit 0", Hour({}), 0, ""},
        {"not scheduled", Hour({Gap(0, 3600, TGapCause::NotRunning)}, false), 0, ""},
        {"missing without a gap named",
         [] {
             TCoverageHour H = Hour({});
             H.MissingSeconds = 30;
             return H;
         }(),
         2, "Uur 14:00–15:00 onvolledig: 30,0 s ontbreekt"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const std::optional<TTrouble> Trouble = IncompleteHourTrouble(C.Hour, C.Limit);
        ASSERT_EQ(Trouble.has_value(), *C.Text != '\0');
        if (!Trouble)
            continue;
        EXPECT_EQ(Trouble->Kind, TTroubleKind::Incomplete);
        EXPECT_EQ(Trouble->Text, QString::fromUtf8(C.Text));
        // It begins and ends as the hour ends.
        EXPECT_EQ(Trouble->Since, C.Hour.End);
        EXPECT_EQ(Trouble->Until, C.Hour.End);
        EXPECT_EQ(TroubleEndText(*Trouble), Trouble->Text);
    }
}

// An incomplete hour begins and ends at once: the events log keeps it as one row with its
// text, not as a begin and an end that lasted nothing.
TEST(HourCheck, AnIncompleteHourIsOneRowOfTheEventsLog) {
    const TDutchLocale Dutch;
    QTemporaryDir Dir;
    std::unique_ptr<TLogData> Data = std::make_unique<TLogData>(Dir.filePath("log.sqlite"));
    TEventJournal Journal(Data, [] { return HourStart.addSecs(3601); });
    const std::optional<TTrouble> Trouble =
        IncompleteHourTrouble(Hour({Gap(600, 12.4, TGapCause::Capture)}), 2);
    ASSERT_TRUE(Trouble);
    Journal.TroubleBegan(*Trouble);
    Journal.TroubleEnded(*Trouble);
    EXPECT_EQ(SqlRows(Data->Connection(), "SELECT event, kind, text FROM events"),
              (QList<QStringList>{{"melding", "incomplete",
                                   "Uur 14:00–15:00 onvolledig: 12,4 s ontbreekt "
                                   "(geluidsserver weg)"}}));
    EXPECT_EQ(EventKindDutchName("incomplete"), "uur onvolledig");
}
