#include "control/Coverage.h"
#include "support/SqlHelpers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A moment of a case: "14:20:03.120" on the case's day at +01:00, "02:30:00.000+02:00" with its
// own offset, or a whole ISO moment; "" is no moment (an end not written yet).
QDateTime At(const char* Day, const char* Text) {
    const QString T = QString::fromLatin1(Text);
    if (T.isEmpty())
        return {};
    if (T.contains(u'T'))
        return ExactTimeFromText(T);
    return ExactTimeFromText(QString::fromLatin1(Day) + u'T' + T +
                             (T.contains(u'+') ? QString() : QStringLiteral("+01:00")));
}

struct TSpanText {
    const char* From;
    const char* To;
    const char* Cause = ""; // for gap rows
};

struct TExpectedHour {
    int Index;         // in the day's list
    const char* Start; // with its offset
    int64_t RecordedMs;
    int64_t MissingMs;
    std::vector<const char*> Gaps; // "14:20:03.120-14:20:15.520 capture"
    TCoverageHour::TState State;
};

struct TCoverageCase {
    const char* Name;
    const char* Day;
    const char* Now;
    std::vector<TSpanText> Files;
    std::vector<TSpanText> Gaps;
    std::vector<int> Unscheduled; // every other hour is scheduled
    int HourCount;
    std::vector<TExpectedHour> Hours;
};

using S = TCoverageHour::TState;

// Times are Amsterdam's (+01:00 in winter, +02:00 in summer). 2026-03-05 is a Thursday.
const TCoverageCase Cases[] = {
    {"FullHourAcrossACutAtTheHour",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"13:00:00.000", "14:00:00.020"}, {"14:00:00.020", "15:00:00.010"}},
     {},
     {},
     24,
     {{12,
       "2026-03-05T12:00:00.000+01:00",
       0,
       3600000,
       {"12:00:00.000-13:00:00.000 not-running"},
       S::Missing},
      {13, "2026-03-05T13:00:00.000+01:00", 3600000, 0, {}, S::Full},
      {14, "2026-03-05T14:00:00.000+01:00", 3600000, 0, {}, S::Full}}},
    {"CaptureGapInTheMiddle",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "14:20:03.120"}, {"14:20:15.520", "15:00:00.000"}},
     {{"14:20:03.120", "14:20:15.520", "capture"}},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       3587600,
       12400,
       {"14:20:03.120-14:20:15.520 capture"},
       S::Partial}}},
    {"DroppedAudioInsideAFile",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "15:00:00.000"}},
     {{"14:30:00.000", "14:30:02.500", "dropped"}},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       3597500,
       2500,
       {"14:30:00.000-14:30:02.500 dropped"},
       S::Partial}}},
    {"ForwardClockStepInsideAFile",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "15:00:00.000"}},
     {{"14:10:00.000", "14:12:00.000", "clock"}},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       3480000,
       120000,
       {"14:10:00.000-14:12:00.000 clock"},
       S::Partial}}},
    {"ManualStopStillOpenRunsUntilNow",
     "2026-03-05",
     "2026-03-05T14:30:00.000+01:00",
     {{"14:00:00.000", "14:10:00.000"}},
     {{"14:10:00.000", "", "stopped"}},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       600000,
       1200000,
       {"14:10:00.000-14:30:00.000 stopped"},
       S::Partial},
      {15, "2026-03-05T15:00:00.000+01:00", 0, 0, {}, S::Future}}},
    {"TimeNoFileAndNoGapExplainsIsNotRunning",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "14:30:00.000"}, {"14:45:00.000", "15:00:00.000"}},
     {},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       2700000,
       900000,
       {"14:30:00.000-14:45:00.000 not-running"},
       S::Partial}}},
    {"OverlappingGapsTheLatestBegunExplainsAndLikeNeighboursMerge",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "14:10:00.000"}, {"14:50:00.000", "15:00:00.000"}},
     {{"14:10:00.000", "14:40:00.000", "capture"},
      {"14:20:00.000", "14:30:00.000", "write"},
      {"14:35:00.000", "14:50:00.000", "capture"}},
     {},
     24,
     {{14,
       "2026-03-05T14:00:00.000+01:00",
       1200000,
       2400000,
       {"14:10:00.000-14:20:00.000 capture", "14:20:00.000-14:30:00.000 write",
        "14:30:00.000-14:50:00.000 capture"},
       S::Partial}}},
    {"AutumnDayHasTwoHoursAtTwo",
     "2026-10-25",
     "2026-10-26T12:00:00.000+01:00",
     {{"01:00:00.000+02:00", "02:00:00.000+02:00"},
      {"02:00:00.000+02:00", "02:00:00.000+01:00"},
      {"02:00:00.000+01:00", "02:30:00.000+01:00"}},
     {},
     {},
     25,
     {{1, "2026-10-25T01:00:00.000+02:00", 3600000, 0, {}, S::Full},
      {2, "2026-10-25T02:00:00.000+02:00", 3600000, 0, {}, S::Full},
      {3,
       "2026-10-25T02:00:00.000+01:00",
       1800000,
       1800000,
       {"02:30:00.000-03:00:00.000 not-running"},
       S::Partial},
      {4,
       "2026-10-25T03:00:00.000+01:00",
       0,
       3600000,
       {"03:00:00.000-04:00:00.000 not-running"},
       S::Missing}}},
    {"SpringDayHasNoHourAtTwo",
     "2026-03-29",
     "2026-03-30T12:00:00.000+02:00",
     {{"01:30:00.000+01:00", "03:30:00.000+02:00"}},
     {},
     {},
     23,
     {{1,
       "2026-03-29T01:00:00.000+01:00",
       1800000,
       1800000,
       {"01:00:00.000-01:30:00.000 not-running"},
       S::Partial},
      {2,
       "2026-03-29T03:00:00.000+02:00",
       1800000,
       1800000,
       {"03:30:00.000-04:00:00.000 not-running"},
       S::Partial}}},
    {"UnscheduledHourCountsNothing",
     "2026-03-05",
     "2026-03-06T12:00:00.000+01:00",
     {{"14:00:00.000", "15:00:00.000"}},
     {{"13:50:00.000", "14:10:00.000", "capture"}},
     {14},
     24,
     {{14, "2026-03-05T14:00:00.000+01:00", 0, 0, {}, S::NotScheduled},
      {13,
       "2026-03-05T13:00:00.000+01:00",
       0,
       3600000,
       {"13:00:00.000-13:50:00.000 not-running", "13:50:00.000-14:00:00.000 capture"},
       S::Missing}}},
    {"TodaysHourWhileItRecords",
     "2026-03-05",
     "2026-03-05T14:30:00.250+01:00",
     {{"14:00:00.000", ""}},
     {},
     {},
     24,
     {{13,
       "2026-03-05T13:00:00.000+01:00",
       0,
       3600000,
       {"13:00:00.000-14:00:00.000 not-running"},
       S::Missing},
      {14, "2026-03-05T14:00:00.000+01:00", 1800250, 0, {}, S::Full},
      {15, "2026-03-05T15:00:00.000+01:00", 0, 0, {}, S::Future}}},
    // A run that ended without writing the end leaves the row open; the days after it must not
    // count as recorded.
    {"AnEndNeverWrittenClaimsNoMoreThanARecordingCanLast",
     "2026-03-05",
     "2026-03-09T12:00:00.000+01:00",
     {{"10:00:00.000", ""}},
     {},
     {},
     24,
     {{12, "2026-03-05T12:00:00.000+01:00", 3600000, 0, {}, S::Full},
      {13,
       "2026-03-05T13:00:00.000+01:00",
       0,
       3600000,
       {"13:00:00.000-14:00:00.000 not-running"},
       S::Missing}}},
};

TCoverageInput InputOf(const TCoverageCase& C) {
    TCoverageInput Input;
    int Id = 0;
    for (const TSpanText& File : C.Files) {
        TAudioTimes T;
        T.RecordingId = ++Id;
        T.Start = At(C.Day, File.From);
        T.End = At(C.Day, File.To);
        Input.Recordings.append(T);
    }
    for (const TSpanText& Gap : C.Gaps)
        Input.Gaps.append(
            {++Id, At(C.Day, Gap.From), At(C.Day, Gap.To), QString::fromLatin1(Gap.Cause)});
    Input.Scheduled.fill(true);
    for (int Hour : C.Unscheduled)
        Input.Scheduled[size_t(Hour)] = false;
    Input.Now = ExactTimeFromText(QString::fromLatin1(C.Now));
    return Input;
}

QString GapText(const TCoverageGap& Gap) {
    return ExactTimeText(Gap.From).mid(11, 12) + u'-' + ExactTimeText(Gap.To).mid(11, 12) + u' ' +
           GapCauseCode(Gap.Cause);
}

class Coverage : public testing::TestWithParam<TCoverageCase> {};

TEST_P(Coverage, EveryPassedMillisecondIsRecordedOrMissingWithItsCause) {
    const TCoverageCase& C = GetParam();
    const TCoverageInput Input = InputOf(C);
    const TCoverageDay Day = ComputeCoverage(QDate::fromString(C.Day, Qt::ISODate), Input);
    ASSERT_EQ(Day.Hours.size(), C.HourCount);
    for (const TExpectedHour& E : C.Hours) {
        SCOPED_TRACE(E.Start);
        const TCoverageHour& H = Day.Hours[E.Index];
        EXPECT_EQ(ExactTimeText(H.Start), E.Start);
        EXPECT_EQ(H.RecordedMs, E.RecordedMs);
        EXPECT_EQ(H.MissingMs, E.MissingMs);
        QStringList Gaps;
        for (const TCoverageGap& Gap : H.Gaps)
            Gaps << GapText(Gap);
        QStringList Expected;
        for (const char* Gap : E.Gaps)
            Expected << QString::fromLatin1(Gap);
        EXPECT_EQ(Gaps, Expected);
        EXPECT_EQ(H.State(), E.State);
    }
    // Whatever the case: the hours follow each other without a hole from midnight to
    // midnight, and in each the recorded and the missing part make up the passed part exactly.
    EXPECT_EQ(Day.Hours.first().Start, QDateTime(Day.Date, QTime(0, 0)));
    EXPECT_EQ(Day.Hours.last().End, QDateTime(Day.Date.addDays(1), QTime(0, 0)));
    for (qsizetype I = 0; I < Day.Hours.size(); ++I) {
        const TCoverageHour& H = Day.Hours[I];
        SCOPED_TRACE(ExactTimeText(H.Start).toStdString());
        if (I > 0) {
            EXPECT_EQ(H.Start, Day.Hours[I - 1].End);
        }
        EXPECT_EQ(H.Hour, H.Start.time().hour());
        const int64_t Passed =
            H.Scheduled ? std::max<int64_t>(0, H.Start.msecsTo(std::min(H.End, Input.Now))) : 0;
        EXPECT_EQ(H.RecordedMs + H.MissingMs, Passed);
        EXPECT_EQ(H.RecordedSeconds, H.RecordedMs / 1000.0);
        EXPECT_EQ(H.MissingSeconds, H.MissingMs / 1000.0);
        int64_t InGaps = 0;
        for (qsizetype G = 0; G < H.Gaps.size(); ++G) {
            const TCoverageGap& Gap = H.Gaps[G];
            EXPECT_LT(Gap.From, Gap.To);
            EXPECT_LE(H.Start, Gap.From);
            EXPECT_LE(Gap.To, std::min(H.End, Input.Now));
            if (G > 0) {
                EXPECT_TRUE(H.Gaps[G - 1].To < Gap.From || H.Gaps[G - 1].Cause != Gap.Cause);
            }
            InGaps += Gap.From.msecsTo(Gap.To);
        }
        EXPECT_EQ(InGaps, H.MissingMs);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Coverage, testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// A day with one gap of 12.35 s at 14:20 (the rest of the day until Now recorded), hour 3
// unscheduled, and Now in the hour of 16.
TCoverageDay SampleDay() {
    TCoverageInput Input;
    TAudioTimes Whole;
    Whole.RecordingId = 1;
    Whole.Start = ExactTimeFromText("2026-03-05T00:00:00.000+01:00");
    Whole.End = ExactTimeFromText("2026-03-05T16:30:00.000+01:00");
    Input.Recordings = {Whole};
    Input.Gaps = {{1, ExactTimeFromText("2026-03-05T14:20:03.120+01:00"),
                   ExactTimeFromText("2026-03-05T14:20:15.470+01:00"), "dropped"}};
    Input.Scheduled.fill(true);
    Input.Scheduled[3] = false;
    Input.Now = ExactTimeFromText("2026-03-05T16:45:00.000+01:00");
    return ComputeCoverage(QDate(2026, 3, 5), Input);
}

class CoverageTexts : public testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QStringLiteral("nl_NL"))); }
    void TearDown() override { QLocale::setDefault(Saved); }
    const QLocale Saved;
};

// The printed recorded and missing seconds add up to the hour's 3600,0 although each rounded
// alone would not (3587,65 and 12,35).
TEST_F(CoverageTexts, TheTableHasALinePerHourAndATotal) {
    const QStringList Lines = CoverageText(SampleDay()).split(u'\n');
    ASSERT_EQ(Lines.size(), 1 + 24 + 1 + 1); // heading, hours, total, the final line break
    EXPECT_EQ(Lines[0], "Uur     Gepland  Opgenomen  Ontbreekt  Oorzaak");
    EXPECT_EQ(Lines[1 + 3], "03:00   nee");
    EXPECT_EQ(Lines[1 + 13], "13:00   ja       3600,0 s   0,0 s");
    EXPECT_EQ(
        Lines[1 + 14],
        "14:00   ja       3587,6 s   12,4 s     14:20:03,120\u201314:20:15,470 audio verloren");
    EXPECT_EQ(
        Lines[1 + 16],
        "16:00   ja       1800,0 s   900,0 s    16:30:00,000\u201316:45:00,000 programma liep "
        "niet");
    EXPECT_EQ(Lines[1 + 17], "17:00   ja                             nog niet begonnen");
    EXPECT_EQ(Lines[25], "Totaal  23 uur   55787,6 s  912,4 s");
    EXPECT_EQ(Lines[26], "");
}

TEST_F(CoverageTexts, TheRepeatedAutumnHourShowsItsOffset) {
    TCoverageInput Input;
    Input.Scheduled.fill(true);
    Input.Now = ExactTimeFromText("2026-10-26T00:00:00.000+01:00");
    const QStringList Lines = CoverageText(ComputeCoverage(QDate(2026, 10, 25), Input)).split('\n');
    EXPECT_TRUE(Lines[1 + 2].startsWith("02:00 (+02:00)  ja ")) << Lines[3].toStdString();
    EXPECT_TRUE(Lines[1 + 3].startsWith("02:00 (+01:00)  ja ")) << Lines[4].toStdString();
    EXPECT_TRUE(Lines[1 + 4].startsWith("03:00           ja ")) << Lines[5].toStdString();
}

TEST_F(CoverageTexts, TheJsonNamesEveryHourWithItsGaps) {
    const QByteArray Json = CoverageJson(SampleDay());
    EXPECT_TRUE(Json.startsWith("{\"date\": \"2026-03-05\", \"hours\": [{\"hour\": 0, \"start\": "
                                "\"2026-03-05T00:00:00.000+01:00\", \"scheduled\": true, "
                                "\"recorded_s\": 3600.0, \"missing_s\": 0.0, \"gaps\": []}, "))
        << Json.toStdString();
    EXPECT_TRUE(Json.contains("{\"hour\": 14, \"start\": \"2026-03-05T14:00:00.000+01:00\", "
                              "\"scheduled\": true, \"recorded_s\": 3587.6, \"missing_s\": 12.4, "
                              "\"gaps\": [{\"from\": \"2026-03-05T14:20:03.120+01:00\", \"to\": "
                              "\"2026-03-05T14:20:15.470+01:00\", \"cause\": \"dropped\"}]}"))
        << Json.toStdString();
    QJsonParseError Error;
    const QJsonDocument Doc = QJsonDocument::fromJson(Json, &Error);
    ASSERT_EQ(Error.error, QJsonParseError::NoError) << Error.errorString().toStdString();
    const QJsonArray Hours = Doc.object().value("hours").toArray();
    ASSERT_EQ(Hours.size(), 24);
    EXPECT_FALSE(Hours[3].toObject().value("scheduled").toBool());
    EXPECT_EQ(Hours[3].toObject().value("recorded_s").toDouble(), 0.0);
    EXPECT_EQ(Hours[16].toObject().value("gaps").toArray()[0].toObject().value("cause"),
              "not-running");
}

// The ledger read from the store: the day's rows, the schedule of its weekday, and one hour on
// its own as the controller reads it at the end of an hour.
TEST(CoverageStore, ReadsTheDayAndOneHourFromTheDatabase) {
    QTemporaryDir Dir;
    TLogData Data(Dir.filePath("log.sqlite"));
    for (int Hour = 0; Hour < 24; ++Hour)
        Data.SetSchedulePreset(4, Hour, Hour == 3 ? 0 : 1); // Thursday
    Data.SetSchedulePreset(5, 3, 1);                        // Friday
    TAudioTimes File;
    File.RecordingId = 7;
    File.Start = ExactTimeFromText("2026-03-04T23:59:59.990+01:00");
    File.End = ExactTimeFromText("2026-03-05T01:00:00.000+01:00");
    File.SampleRate = 48000;
    Data.SetAudioTimes(File);
    File.RecordingId = 8;
    File.Start = ExactTimeFromText("2026-03-05T14:00:00.000+01:00");
    File.End = ExactTimeFromText("2026-03-05T15:00:00.000+01:00");
    Data.SetAudioTimes(File);
    Data.LogGap(ExactTimeFromText("2026-03-05T14:59:00.000+01:00"),
                ExactTimeFromText("2026-03-05T15:10:00.000+01:00"), "capture");
    Data.LogGap(ExactTimeFromText("2026-03-05T14:30:00.000+01:00"),
                ExactTimeFromText("2026-03-05T14:30:01.000+01:00"), "dropped");
    const QDateTime Now = ExactTimeFromText("2026-03-06T09:00:00.000+01:00");

    const TCoverageDay Day = ReadCoverage(Data, QDate(2026, 3, 5), Now);
    ASSERT_EQ(Day.Hours.size(), 24);
    EXPECT_EQ(Day.Hours[0].State(), TCoverageHour::TState::Full);
    EXPECT_EQ(Day.Hours[3].State(), TCoverageHour::TState::NotScheduled);
    EXPECT_EQ(Day.Hours[14].RecordedMs, 3599000);
    EXPECT_EQ(Day.Hours[15].Gaps.first().Cause, TGapCause::Capture);
    EXPECT_EQ(Day.Hours[15].Gaps.last().Cause, TGapCause::NotRunning);

    const TCoverageHour Hour =
        ReadCoverageHour(Data, ExactTimeFromText("2026-03-05T14:00:00.000+01:00"), Now);
    EXPECT_EQ(Hour.Start, Day.Hours[14].Start);
    EXPECT_EQ(Hour.End, Day.Hours[14].End);
    EXPECT_EQ(Hour.RecordedMs, Day.Hours[14].RecordedMs);
    EXPECT_EQ(Hour.MissingMs, Day.Hours[14].MissingMs);
    ASSERT_EQ(Hour.Gaps.size(), 1);
    EXPECT_EQ(Hour.Gaps[0].Cause, TGapCause::Dropped);
    const TCoverageHour Night =
        ReadCoverageHour(Data, ExactTimeFromText("2026-03-06T03:00:00.000+01:00"), Now);
    EXPECT_TRUE(Night.Scheduled);
    EXPECT_EQ(Night.State(), TCoverageHour::TState::Missing);
}

} // namespace
