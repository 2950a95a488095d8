#include "ui/CoverageStrip.h"
#include "control/Coverage.h"

#include <QImage>
#include <gtest/gtest.h>

// The days come from the ledger itself, in local time: the test runs with
// TZ=Europe/Amsterdam.

namespace {

QDateTime Local(const char* Text) {
    return QDateTime::fromString(QString::fromLatin1(Text), "yyyy-MM-dd HH:mm:ss.zzz");
}

TAudioTimes Audio(const char* From, const char* To) {
    TAudioTimes Times;
    Times.Start = Local(From);
    Times.End = Local(To);
    Times.SampleRate = 48000;
    Times.Frames = Times.Start.msecsTo(Times.End) * 48;
    return Times;
}

TGapRow Gap(const char* From, const char* To, const char* Cause) {
    return {0, Local(From), Local(To), QString::fromLatin1(Cause)};
}

// Monday 5 January 2026 with the hours Scheduled, as it stood at Now.
TCoverageDay Monday(std::initializer_list<int> Scheduled, QVector<TAudioTimes> Recordings,
                    QVector<TGapRow> Gaps, const char* Now) {
    TCoverageInput Input;
    Input.Recordings = std::move(Recordings);
    Input.Gaps = std::move(Gaps);
    for (const int Hour : Scheduled)
        Input.Scheduled[size_t(Hour)] = true;
    Input.Now = Local(Now);
    return ComputeCoverage(QDate(2026, 1, 5), Input);
}

QStringList Labels(const TCoverageStrip& Strip) {
    QStringList Result;
    for (const TCoverageCell* Cell : Strip.Cells())
        Result << QString::number(Cell->Hour().Hour);
    return Result;
}

} // namespace

TEST(CoverageStripTest, ShowsEveryClockHourOfTheDayOnceAndTheAutumnHourTwice) {
    ASSERT_EQ(QDateTime(QDate(2026, 10, 25), QTime(12, 0)).offsetFromUtc(), 3600)
        << "de test hoort te lopen met TZ=Europe/Amsterdam";
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
        TCoverageInput Nothing;
        Nothing.Now = QDateTime(C.Day.addDays(1), QTime(12, 0));
        Strip.SetDay(ComputeCoverage(C.Day, Nothing));
        EXPECT_EQ(Strip.Cells().size(), C.Count);
        EXPECT_EQ(Labels(Strip).join(u' '), C.Hours);
    }

    // The two 02:00 hours of the autumn day are told apart by their offset.
    TCoverageInput Nothing;
    Nothing.Now = QDateTime(QDate(2026, 10, 26), QTime(12, 0));
    Strip.SetDay(ComputeCoverage(QDate(2026, 10, 25), Nothing));
    const auto Cells = Strip.Cells();
    ASSERT_EQ(Cells.size(), 25);
    EXPECT_EQ(Cells[2]->accessibleName(), "02:00\u201303:00 (UTC+02:00): niet ingepland");
    EXPECT_EQ(Cells[3]->accessibleName(), "02:00\u201303:00 (UTC+01:00): niet ingepland");
    EXPECT_EQ(Cells[4]->accessibleName(), "03:00\u201304:00: niet ingepland");
    EXPECT_EQ(Cells[24]->accessibleName(), "23:00\u201300:00: niet ingepland");

    // Another day replaces the hours shown, and nothing shows none.
    Strip.SetDay(Monday({}, {}, {}, "2026-01-06 12:00:00.000"));
    EXPECT_EQ(Strip.Cells().size(), 24);
    Strip.Clear();
    EXPECT_TRUE(Strip.Cells().isEmpty());
}

TEST(CoverageStripTest, AnHourTellsItsFiguresAndEachGapWithItsCause) {
    TCoverageStrip Strip;
    Strip.SetDay(Monday({14, 15},
                        {Audio("2026-01-05 14:00:00.000", "2026-01-05 14:20:03.120"),
                         Audio("2026-01-05 14:20:15.520", "2026-01-05 14:59:47.600")},
                        {Gap("2026-01-05 14:20:03.120", "2026-01-05 14:20:15.520", "capture"),
                         Gap("2026-01-05 14:59:47.600", "2026-01-05 15:00:00.000", "volume-full")},
                        "2026-01-05 16:00:00.000"));
    ASSERT_EQ(Strip.Cells().size(), 24);
    const TCoverageCell* Partial = Strip.Cells()[14];
    EXPECT_EQ(Partial->toolTip(), "14:00\u201315:00\n"
                                  "Ingepland\n"
                                  "Opgenomen: 3575,2 s\n"
                                  "Ontbreekt: 24,8 s\n"
                                  "14:20:03,120\u201314:20:15,520 (12,4 s): geluidsserver weg\n"
                                  "14:59:47,600\u201315:00:00,000 (12,4 s): schijf vol");
    EXPECT_EQ(Partial->accessibleName(), "14:00\u201315:00: gedeeltelijk opgenomen");
    EXPECT_EQ(Partial->accessibleDescription(), Partial->toolTip());
    EXPECT_EQ(Strip.Cells()[15]->toolTip(), "15:00\u201316:00\n"
                                            "Ingepland\n"
                                            "Opgenomen: 0,0 s\n"
                                            "Ontbreekt: 3600,0 s\n"
                                            "15:00:00,000\u201316:00:00,000 (3600,0 s): "
                                            "programma liep niet");
    EXPECT_EQ(Strip.Cells()[16]->toolTip(), "16:00\u201317:00\nNiet ingepland");

    Strip.SetDay(Monday({14, 15}, {}, {}, "2026-01-05 12:00:00.000"));
    EXPECT_EQ(Strip.Cells()[15]->toolTip(), "15:00\u201316:00\nIngepland\nNog niet begonnen");
}

TEST(CoverageStripTest, EachStateHasItsOwnColourAndAPartialHourShowsItsRecordedPart) {
    // 09:00 recorded whole, a quarter of 10:00, nothing of 11:00; 12:00 not scheduled and
    // 13:00 still to come.
    TCoverageStrip Strip;
    Strip.resize(960, 40);
    Strip.SetDay(Monday({9, 10, 11, 13},
                        {Audio("2026-01-05 09:00:00.000", "2026-01-05 10:15:00.000")}, {},
                        "2026-01-05 12:30:00.000"));
    const auto Cells = Strip.Cells();
    ASSERT_EQ(Cells.size(), 24);
    using S = TCoverageHour::TState;
    ASSERT_EQ(Cells[10]->Hour().State(), S::Partial);
    const QImage Picture = Strip.grab().toImage();
    // A point inside a cell's box, X of the way across it.
    const auto Pixel = [&](int Index, double X) {
        const QRect Cell = Cells[Index]->geometry();
        return QColor(
            Picture.pixel(Cell.left() + static_cast<int>(X * Cell.width()), Cell.bottom() - 4));
    };
    const QColor Window = Strip.palette().color(QPalette::Window);

    const QColor Full = Pixel(9, 0.5), Missing = Pixel(11, 0.5), Grey = Pixel(12, 0.5);
    const QColor Recorded = Pixel(10, 0.1), NotRecorded = Pixel(10, 0.4);
    EXPECT_GT(Full.green(), Full.red() + 60) << Full.name().toStdString();
    EXPECT_GT(Full.green(), Full.blue() + 60);
    EXPECT_GT(Missing.red(), Missing.green() + 100) << Missing.name().toStdString();
    EXPECT_GT(Missing.red(), Missing.blue() + 100);
    // Amber: red and green well above blue, red the most.
    EXPECT_GT(Recorded.green(), Recorded.blue() + 80) << Recorded.name().toStdString();
    EXPECT_GE(Recorded.red(), Recorded.green());
    EXPECT_EQ(Pixel(10, 0.2), Recorded);
    EXPECT_EQ(Pixel(10, 0.9), NotRecorded);
    EXPECT_LT(NotRecorded.lightness(), Recorded.lightness() - 60);
    // Dark grey: no hue, lighter than the window it stands on so that it still shows.
    EXPECT_LE(std::abs(Grey.red() - Grey.blue()), 8) << Grey.name().toStdString();
    EXPECT_GT(Grey.lightness(), Window.lightness() + 15);
    EXPECT_LT(Grey.lightness(), 110);
    // Still to come: the window shows through the box, inside its outline.
    EXPECT_EQ(Pixel(13, 0.5), Window);
    const QRect Coming = Cells[13]->geometry();
    EXPECT_NE(QColor(Picture.pixel(Coming.left(), Coming.bottom())), Window);
}
