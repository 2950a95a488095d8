#include "base/RegionalText.h"
#include "data/uData.h"
#include "support/SqlHelpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ScheduleLogStoreTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    TLogData Data{Dir.path() + "/Vantor2026.sqlite"};
};

} // namespace

TEST_F(ScheduleLogStoreTest, ScheduleCellsAreUpsertedAndUnsavedCellsReadZero) {
    Data.SetSchedulePreset(3, 14, 5);
    EXPECT_EQ(Data.GetSchedulePreset(3, 14), 5);
    Data.SetSchedulePreset(3, 14, 0);
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT day, hour, preset_id FROM schedule"),
              QList<QStringList>({{"3", "14", "0"}}));
    EXPECT_EQ(Data.GetSchedulePreset(3, 14), 0);

    Data.SetSchedulePreset(7, 23, 2);
    const QList<QPair<int, int>> Unsaved = {{7, 22}, {1, 23}, {0, 23}, {8, 23}, {7, 24}, {7, -1}};
    for (const auto& [Day, Hour] : Unsaved)
        EXPECT_EQ(Data.GetSchedulePreset(Day, Hour), 0) << Day << "," << Hour;
    EXPECT_EQ(Data.GetSchedulePreset(7, 23), 2);
}

TEST_F(ScheduleLogStoreTest, LogRecordingWritesTheWholeRow) {
    const TPreset P{4, "Jan's \"ochtend\"", afOPUS, 48000, 2, 96, 0};
    const QDateTime Start(QDate(2026, 1, 5), QTime(9, 0, 0, 600));
    const QString Before = DateTimeText(QDateTime::currentDateTime());
    const int32_t Id = Data.LogRecording(P, Start, 3, "05012026093.opus", "/r/2026/01/05/x.opus");
    const QString After = DateTimeText(QDateTime::currentDateTime());

    const QString Sep = TimeSeparator(QLocale::system());
    const QList<QStringList> Rows = SqlRows(Data.Connection(), "SELECT * FROM recordings");
    ASSERT_EQ(Rows.size(), 1);
    const QStringList Expected = {QString::number(Id),
                                  "2026-01-05 09" + Sep + "00" + Sep + "00",
                                  "2026-01-05",
                                  "9",
                                  "3",
                                  "Jan's \"ochtend\"",
                                  "OPUS",
                                  "05012026093.opus",
                                  "/r/2026/01/05/x.opus",
                                  "",
                                  "",
                                  "0"};
    EXPECT_EQ(Rows[0].mid(0, 12), Expected);
    EXPECT_GE(Rows[0][12], Before);
    EXPECT_LE(Rows[0][12], After);

    EXPECT_GT(Data.LogRecording(P, Start, 4, "b", "c"), Id);
}

TEST_F(ScheduleLogStoreTest, MetaAndDurationUpdatesStoreTextsAndIgnoreMissingIds) {
    const TPreset P{1, "MP3", afMP3, 44100, 2, 128, 0};
    const int32_t Id = Data.LogRecording(P, QDateTime::currentDateTime(), 1, "a", "b");
    Data.UpdateRecordingMeta(Id, "  Titel ", "Ann, Piet");
    Data.SetRecordingDuration(Id, 3599);
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT title, persons, duration_sec FROM recordings"),
              QList<QStringList>({{"  Titel ", "Ann, Piet", "3599"}}));

    Data.UpdateRecordingMeta(Id, QString(), QStringLiteral(""));
    Data.UpdateRecordingMeta(Id + 1, "x", "y");
    Data.SetRecordingDuration(Id + 1, 5);
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT title IS NULL, title, persons IS NULL, persons, "
                                         "duration_sec FROM recordings"),
              QList<QStringList>({{"0", "", "0", "", "3599"}}));
}
