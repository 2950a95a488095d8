#include "control/TroubleTracker.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// One tick of a recording's life: what it saw, and the events and status text it gives.
struct TTick {
    const char* Time;
    TTroubleSigns Signs;
    QStringList Ended;
    QStringList Began;
    const char* Shown;
};

QStringList Texts(const std::vector<TTrouble>& List) {
    QStringList Out;
    for (const TTrouble& T : List)
        Out << T.Text;
    return Out;
}

TTroubleSigns Recording(double Dropped = 0, double WithoutAudio = 0, bool WritesFail = false) {
    TTroubleSigns Signs;
    Signs.Recording = true;
    Signs.WritesFail = WritesFail;
    Signs.DroppedSeconds = Dropped;
    Signs.SecondsWithoutAudio = WithoutAudio;
    return Signs;
}

TTroubleSigns Retrying(bool WaitsForRoom = false) {
    TTroubleSigns Signs;
    Signs.RetryPending = true;
    Signs.WaitsForRoom = WaitsForRoom;
    return Signs;
}

void ExpectTicks(const std::vector<TTick>& Ticks) {
    TTroubleTracker Tracker;
    for (const TTick& T : Ticks) {
        const auto Change = Tracker.Update(
            QDateTime::fromString(QStringLiteral("2026-03-05T") + T.Time, Qt::ISODate), T.Signs);
        EXPECT_EQ(Texts(Change.Ended), T.Ended) << T.Time;
        EXPECT_EQ(Texts(Change.Began), T.Began) << T.Time;
        EXPECT_EQ(Tracker.Text(), T.Shown) << T.Time;
    }
}

} // namespace

// Lost audio and a capture without audio are trouble at once and side by side; a stop is
// trouble from its second tick, keeps its first moment when its kind changes, and everything
// ends once the recording runs whole again.
TEST(TroubleTracker, EachKindBeginsAndEndsOnItsOwn) {
    const QString Dropped = "Audio verloren om 14:00:01: 1 s (schijf te traag)";
    const QString NoAudio = "Geen geluid ontvangen sinds 14:00:00";
    const QString Lost = "Geen opname sinds 14:00:05: geen geluid";
    const QString Full = "Geen opname sinds 14:00:05: schijf vol";
    ExpectTicks({
        {"14:00:00", Recording(), {}, {}, ""},
        {"14:00:01",
         Recording(0.4),
         {},
         {Dropped},
         "Audio verloren om 14:00:01: 1 s (schijf te traag)"},
        {"14:00:03",
         Recording(0.4, 2.9),
         {},
         {},
         "Audio verloren om 14:00:01: 1 s (schijf te traag)"},
        {"14:00:04", Recording(0.4, 4.0), {}, {NoAudio}, "Geen geluid ontvangen sinds 14:00:00"},
        {"14:00:05", Retrying(), {NoAudio, Dropped}, {}, ""},
        {"14:00:06", Retrying(), {}, {Lost}, "Geen opname sinds 14:00:05: geen geluid"},
        {"14:00:07", Retrying(true), {Lost}, {Full}, "Geen opname sinds 14:00:05: schijf vol"},
        {"14:00:08", Recording(), {Full}, {}, ""},
    });
}

// Failing writes under a running recording: nothing on the first tick, trouble from the
// second, and the end once they work again.
TEST(TroubleTracker, FailingWritesCountFromTheSecondTick) {
    const QString Failing = "Schrijven mislukt sinds 14:00:00";
    ExpectTicks({
        {"14:00:00", Recording(0, 0, true), {}, {}, ""},
        {"14:00:01", Recording(0, 0, true), {}, {Failing}, "Schrijven mislukt sinds 14:00:00"},
        {"14:00:02", Recording(), {Failing}, {}, ""},
        {"14:00:03", Recording(0, 0, true), {}, {}, ""},
    });
}
