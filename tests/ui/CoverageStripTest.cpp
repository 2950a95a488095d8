#include "ui/CoverageStrip.h"
#include "control/Coverage.h"

#include <QImage>
#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

const QTimeZone Amsterdam("Europe/Amsterdam");

QDateTime WithOffset(const QDateTime& Moment) {
    return Moment.toOffsetFromUtc(Moment.offsetFromUtc());
}

// The clock hours of Day in Zone, none of them scheduled.
TCoverageDay DayIn(const QDate& Day, const QTimeZone& Zone) {
    TCoverageDay Result{Day, {}};
    const QDateTime End(Day.addDays(1), QTime(0, 0), Zone);
    for (QDateTime Start(Day, QTime(0, 0), Zone); Start < End; Start = Start.addSecs(3600)) {
        TCoverageHour Hour;
        Hour.Start = WithOffset(Start);
        Hour.End = WithOffset(Start.addSecs(3600));
        Hour.Hour = Start.time().hour();
        Result.Hours.push_back(Hour);
    }
    return Result;
}

QDateTime At(const char* Text) {
    return QDateTime::fromString(QString::fromLatin1(Text), Qt::ISODateWithMs);
}

// 14:00 to 15:00 on a winter day, scheduled, with Recorded of its seconds in the files and
// the rest in Gaps.
TCoverageHour ScheduledHour(double Recorded, QVector<TCoverageGap> Gaps = {}) {
    TCoverageHour Hour;
    Hour.Start = At("2026-01-05T14:00:00.000+01:00");
    Hour.End = At("2026-01-05T15:00:00.000+01:00");
    Hour.Hour = 14;
    Hour.Scheduled = true;
    Hour.RecordedSeconds = Recorded;
    Hour.MissingSeconds = 3600 - Recorded;
    Hour.Gaps = std::move(Gaps);
    return Hour;
}

QStringList Labels(const TCoverageStrip& Strip) {
    QStringList Result;
    for (const TCoverageCell* Cell : Strip.Cells())
        Result << QString::number(Cell->Hour().Hour);
    return Result;
}

} // namespace

TEST(CoverageStripTest, ShowsEveryClockHourOfTheDayOnceAndTheAutumnHourTwice) {
    const struct {
        const char* Name;
        QDate Day;
        int Count;
        QString Hours;
    } Cases[] = {
        {"gewone dag",
         {2026, 1, 5},
         24,
         "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23"},
        {"herfst",
         {2026, 10, 25},
         25,
         "0 1 2 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23"},
        {"lente", {2026, 3, 29}, 23, "0 1 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23"},
    };
    TCoverageStrip Strip;
    Strip.resize(900, 36);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        Strip.SetDay(DayIn(C.Day, Amsterdam));
        EXPECT_EQ(Strip.Cells().size(), C.Count);
        EXPECT_EQ(Labels(Strip).join(u' '), C.Hours);
    }

    // The two 02:00 hours of the autumn day are told apart by their offset.
    Strip.SetDay(DayIn({2026, 10, 25}, Amsterdam));
    const auto Cells = Strip.Cells();
    EXPECT_EQ(Cells[2]->accessibleName(), "02:00\u201303:00 (UTC+02:00): niet ingepland");
    EXPECT_EQ(Cells[3]->accessibleName(), "02:00\u201303:00 (UTC+01:00): niet ingepland");
    EXPECT_EQ(Cells[4]->accessibleName(), "03:00\u201304:00: niet ingepland");
    EXPECT_EQ(Cells[24]->accessibleName(), "23:00\u201300:00: niet ingepland");

    // Another day replaces the hours shown, and nothing shows none.
    Strip.SetDay(DayIn({2026, 1, 5}, Amsterdam));
    EXPECT_EQ(Strip.Cells().size(), 24);
    Strip.Clear();
    EXPECT_TRUE(Strip.Cells().isEmpty());
}

TEST(CoverageStripTest, AnHourTellsItsFiguresAndEachGapWithItsCause) {
    const TCoverageHour Partial =
        ScheduledHour(3575.2, {{At("2026-01-05T14:20:03.120+01:00"),
                                At("2026-01-05T14:20:15.520+01:00"), TGapCause::Capture},
                               {At("2026-01-05T14:59:47.600+01:00"),
                                At("2026-01-05T15:00:00.000+01:00"), TGapCause::Dropped}});
    TCoverageStrip Strip;
    Strip.SetDay({QDate(2026, 1, 5), {Partial}});
    const TCoverageCell* Cell = Strip.Cells().value(0);
    ASSERT_NE(Cell, nullptr);
    EXPECT_EQ(Cell->toolTip(), "14:00\u201315:00\n"
                               "Ingepland\n"
                               "Opgenomen: 3575,2 s\n"
                               "Ontbreekt: 24,8 s\n"
                               "14:20:03,120\u201314:20:15,520 (12,4 s): geluidsserver weg\n"
                               "14:59:47,600\u201315:00:00,000 (12,4 s): audio verloren");
    EXPECT_EQ(Cell->accessibleName(), "14:00\u201315:00: gedeeltelijk opgenomen");
    EXPECT_EQ(Cell->accessibleDescription(), Cell->toolTip());

    TCoverageHour Free = ScheduledHour(0);
    Free.Scheduled = false;
    Free.MissingSeconds = 0;
    EXPECT_EQ(CoverageHourText(Free, false), "14:00\u201315:00\nNiet ingepland");
    TCoverageHour Coming = ScheduledHour(0);
    Coming.MissingSeconds = 0;
    EXPECT_EQ(CoverageHourText(Coming, false), "14:00\u201315:00\nIngepland\nNog niet begonnen");
}

TEST(CoverageStripTest, EachStateHasItsOwnColourAndAPartialHourShowsItsRecordedPart) {
    TCoverageHour Free = ScheduledHour(0);
    Free.Scheduled = false;
    Free.MissingSeconds = 0;
    TCoverageHour Coming = ScheduledHour(0);
    Coming.MissingSeconds = 0;
    // A quarter of the hour recorded.
    const TCoverageDay Day{
        QDate(2026, 1, 5),
        {ScheduledHour(3600), ScheduledHour(900), ScheduledHour(0), Free, Coming}};
    TCoverageStrip Strip;
    Strip.resize(400, 40);
    Strip.SetDay(Day);
    const auto Cells = Strip.Cells();
    ASSERT_EQ(Cells.size(), 5);
    using S = TCoverageHour::TState;
    ASSERT_EQ(Cells[1]->Hour().State(), S::Partial);
    const QImage Picture = Strip.grab().toImage();
    // A point inside a cell's box, X of the way across it.
    const auto Pixel = [&](int Index, double X) {
        const QRect Cell = Cells[Index]->geometry();
        return QColor(
            Picture.pixel(Cell.left() + static_cast<int>(X * Cell.width()), Cell.bottom() - 4));
    };
    const QColor Window = Strip.palette().color(QPalette::Window);

    const QColor Full = Pixel(0, 0.5), Missing = Pixel(2, 0.5), Grey = Pixel(3, 0.5);
    const QColor Recorded = Pixel(1, 0.1), NotRecorded = Pixel(1, 0.4);
    EXPECT_GT(Full.green(), Full.red() + 60) << Full.name().toStdString();
    EXPECT_GT(Full.green(), Full.blue() + 60);
    EXPECT_GT(Missing.red(), Missing.green() + 100) << Missing.name().toStdString();
    EXPECT_GT(Missing.red(), Missing.blue() + 100);
    // Amber: red and green well above blue, red the most.
    EXPECT_GT(Recorded.green(), Recorded.blue() + 80) << Recorded.name().toStdString();
    EXPECT_GE(Recorded.red(), Recorded.green());
    EXPECT_EQ(Pixel(1, 0.2), Recorded);
    EXPECT_EQ(Pixel(1, 0.9), NotRecorded);
    EXPECT_LT(NotRecorded.lightness(), Recorded.lightness() - 60);
    // Dark grey: no hue, lighter than the window it stands on so that it still shows.
    EXPECT_LE(std::abs(Grey.red() - Grey.blue()), 8) << Grey.name().toStdString();
    EXPECT_GT(Grey.lightness(), Window.lightness() + 15);
    EXPECT_LT(Grey.lightness(), 110);
    // Still to come: the window shows through the box, inside its outline.
    EXPECT_EQ(Pixel(4, 0.5), Window);
    const QRect Coming4 = Cells[4]->geometry();
    EXPECT_NE(QColor(Picture.pixel(Coming4.left(), Coming4.bottom())), Window);
}
