#include "data/uData.h"
#include "support/SqlHelpers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PresetStoreTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    TLogData Data{Dir.path() + "/Vantor2026.sqlite"};

    // id and sortorder of every preset, by id.
    QList<QStringList> Orders() {
        return SqlRows(Data.Connection(), "SELECT id, sortorder FROM presets ORDER BY id");
    }
    void Exec(const QString& Sql) { SqlRows(Data.Connection(), Sql); }
};

TPreset Preset(const QString& Name, int32_t SortOrder) {
    return {0, Name, afOGG, 22050, 1, 64, SortOrder};
}

} // namespace

TEST_F(PresetStoreTest, AddPresetPlacesSortOrderZeroAfterTheLargestAndKeepsOthers) {
    Data.DeletePreset(1);
    Data.DeletePreset(2);
    struct Case {
        int32_t Given;
        int32_t Stored;
    };
    // Into the empty table, then after 7, then explicit values whatever the table holds.
    const Case Cases[] = {{0, 0}, {7, 7}, {0, 8}, {5, 5}, {-3, -3}, {0, 9}};
    int32_t LastId = 2;
    for (const Case& C : Cases) {
        const int32_t Id = Data.AddPreset(Preset("p", C.Given));
        EXPECT_EQ(Id, LastId + 1) << "ids rise and are never reused";
        LastId = Id;
        TPreset Stored;
        ASSERT_TRUE(Data.GetPreset(Id, Stored));
        EXPECT_EQ(Stored.SortOrder, C.Stored) << "given " << C.Given;
    }
    Data.DeletePreset(LastId);
    EXPECT_EQ(Data.AddPreset(Preset("q", 0)), LastId + 1);
}

TEST_F(PresetStoreTest, PresetsReadBackFieldByFieldInDisplayOrder) {
    const int32_t Id = Data.AddPreset({0, "Jan's \"ochtend\"", afOPUS, 48000, 1, 96, 0});
    Exec("UPDATE presets SET sortorder=1 WHERE id=1"); // a tie with preset 2: smaller id first
    TPresetList List{Preset("weg", 0)};
    Data.LoadPresets(List);
    ASSERT_EQ(List.size(), 3);
    EXPECT_EQ(List[0].Id, 1);
    EXPECT_EQ(List[1].Id, 2);
    const TPreset& P = List[2];
    EXPECT_EQ(P.Id, Id);
    EXPECT_EQ(P.Name, "Jan's \"ochtend\"");
    EXPECT_EQ(P.Format, afOPUS);
    EXPECT_EQ(P.SampleRate, 48000);
    EXPECT_EQ(P.Channels, 1);
    EXPECT_EQ(P.Bitrate, 96);
    EXPECT_EQ(P.SortOrder, 2);

    Exec("DELETE FROM presets");
    Data.LoadPresets(List);
    EXPECT_TRUE(List.isEmpty());
}

TEST_F(PresetStoreTest, StoredFormatTextsReadWithMp3AsFallback) {
    const QList<QPair<QString, TAudioFormat>> Cases = {
        {"WAV", afWAV}, {"wav", afWAV},  {"Opus", afOPUS}, {"ogg", afOGG},
        {"MP3", afMP3}, {"FLAC", afMP3}, {"", afMP3},      {" WAV", afMP3},
    };
    for (const auto& [Text, Format] : Cases) {
        Exec(QString("INSERT INTO presets(id,name,format,samplerate,channels,bitrate,sortorder) "
                     "VALUES(100,'f','%1',8000,1,0,-1)")
                 .arg(Text));
        TPreset P;
        ASSERT_TRUE(Data.GetPreset(100, P));
        EXPECT_EQ(P.Format, Format) << Text.toStdString();
        TPresetList List;
        Data.LoadPresets(List);
        EXPECT_EQ(List.front().Format, Format) << Text.toStdString();
        Exec("DELETE FROM presets WHERE id=100");
    }
}

TEST_F(PresetStoreTest, GetPresetOfAMissingIdIsFalse) {
    TPreset P;
    EXPECT_FALSE(Data.GetPreset(0, P));
    EXPECT_FALSE(Data.GetPreset(3, P));
    EXPECT_TRUE(Data.GetPreset(2, P));
    EXPECT_EQ(P.Name, "WAV 44 kHz Stereo");
    EXPECT_EQ(P.Format, afWAV);
}

TEST_F(PresetStoreTest, UpdatePresetWritesEverythingButTheSortOrder) {
    Data.UpdatePreset({2, "Nieuw", afOPUS, 16000, 1, 48, 77});
    Data.UpdatePreset({99, "Niemand", afOGG, 8000, 1, 32, 0});
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT * FROM presets ORDER BY id"),
              QList<QStringList>({{"1", "MP3 128 Kbit Stereo", "MP3", "44100", "2", "128", "0"},
                                  {"2", "Nieuw", "OPUS", "16000", "1", "48", "1"}}));
}

TEST_F(PresetStoreTest, DeletePresetClearsOnlyItsCellsAndKeepsTheLog) {
    for (int Hour = 0; Hour < 10; ++Hour)
        Data.SetSchedulePreset(3, Hour, 1);
    Data.SetSchedulePreset(4, 0, 2);
    Data.SetSchedulePreset(5, 0, 7);
    TPreset P;
    ASSERT_TRUE(Data.GetPreset(1, P));
    Data.LogRecording(P, QDateTime::currentDateTime(), 1, "x.mp3", "/r/x.mp3");

    Data.DeletePreset(1);

    EXPECT_FALSE(Data.GetPreset(1, P));
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT day, COUNT(*), SUM(preset_id) FROM schedule "
                                         "GROUP BY day ORDER BY day"),
              QList<QStringList>({{"3", "10", "0"}, {"4", "1", "2"}, {"5", "1", "7"}}));
    EXPECT_EQ(SqlRows(Data.Connection(), "SELECT preset_name, format FROM recordings"),
              QList<QStringList>({{"MP3 128 Kbit Stereo", "MP3"}}));
}

TEST_F(PresetStoreTest, MovePresetSwapsWithTheNeighbourAcrossGaps) {
    Data.AddPreset(Preset("c", 0));
    struct Case {
        int32_t Id;
        int32_t Direction;
        QList<QStringList> After;
    };
    // Presets 1, 2, 3 hold sort orders 0, 3, 9 before every case.
    const QList<QStringList> Start = {{"1", "0"}, {"2", "3"}, {"3", "9"}};
    const Case Cases[] = {
        {3, -1, {{"1", "0"}, {"2", "9"}, {"3", "3"}}},
        {1, 1, {{"1", "3"}, {"2", "0"}, {"3", "9"}}},
        {2, 0, {{"1", "0"}, {"2", "9"}, {"3", "3"}}}, // direction 0 moves down
        {2, -5, {{"1", "3"}, {"2", "0"}, {"3", "9"}}},
        {1, -1, Start}, // first cannot move up
        {3, 1, Start},  // last cannot move down
        {42, -1, Start},
    };
    for (const Case& C : Cases) {
        Exec("UPDATE presets SET sortorder=CASE id WHEN 1 THEN 0 WHEN 2 THEN 3 ELSE 9 END");
        Data.MovePreset(C.Id, C.Direction);
        EXPECT_EQ(Orders(), C.After) << "id " << C.Id << " direction " << C.Direction;
    }
}
