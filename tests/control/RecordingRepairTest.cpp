#include "control/RecordingRepair.h"
#include "data/uData.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// The start header of a 8000 Hz mono WAV (sizes for no data) followed by Seconds of samples.
QByteArray HeaderOnlySizes(int Seconds) {
    QByteArray H(44, '\0');
    H.replace(0, 4, "RIFF");
    qToLittleEndian<uint32_t>(36, H.data() + 4);
    H.replace(8, 8, "WAVEfmt ");
    qToLittleEndian<uint32_t>(16, H.data() + 16);
    qToLittleEndian<uint16_t>(1, H.data() + 20);
    qToLittleEndian<uint16_t>(1, H.data() + 22);
    qToLittleEndian<uint32_t>(8000, H.data() + 24);
    qToLittleEndian<uint32_t>(16000, H.data() + 28);
    qToLittleEndian<uint16_t>(2, H.data() + 32);
    qToLittleEndian<uint16_t>(16, H.data() + 34);
    H.replace(36, 4, "data");
    return H + QByteArray(Seconds * 16000, '\x01');
}

int Duration(TLogData& Data, int32_t Id) {
    QSqlQuery Q(Data.Connection());
    Q.exec(QStringLiteral("SELECT duration_sec FROM recordings WHERE id=%1").arg(Id));
    return Q.next() ? Q.value(0).toInt() : -1;
}

} // namespace

TEST(RecordingRepair, RepairsCutShortWavRowsOnceAndLeavesFinishedOnesAlone) {
    QTemporaryDir Dir;
    TLogData Data(Dir.filePath("log.sqlite"));
    TPreset Wav;
    Wav.Name = "WAV";
    Wav.Format = afWAV;
    const QDateTime Start(QDate(2026, 3, 5), QTime(14, 0));
    auto Log = [&](const QString& Name, const QByteArray* Bytes) {
        const QString Path = Dir.filePath(Name);
        if (Bytes) {
            QFile F(Path);
            EXPECT_TRUE(F.open(QIODevice::WriteOnly));
            F.write(*Bytes);
        }
        return Data.LogRecording(Wav, Start, 1, Name, Path);
    };
    const QByteArray Crashed = HeaderOnlySizes(3);
    const QByteArray Empty = HeaderOnlySizes(0);
    const int32_t CrashedId = Log("crashed.wav", &Crashed);
    const int32_t EmptyId = Log("empty.wav", &Empty);
    const int32_t MissingId = Log("missing.wav", nullptr);
    const int32_t FinishedId = Log("finished.wav", &Crashed);
    Data.SetRecordingDuration(FinishedId, 99);

    EXPECT_EQ(RepairInterruptedRecordings(Data), QStringList{Dir.filePath("crashed.wav")});
    EXPECT_EQ(Duration(Data, CrashedId), 3);
    EXPECT_EQ(Duration(Data, EmptyId), 0);
    EXPECT_EQ(Duration(Data, MissingId), 0);
    EXPECT_EQ(Duration(Data, FinishedId), 99);
    QFile Finished(Dir.filePath("finished.wav"));
    ASSERT_TRUE(Finished.open(QIODevice::ReadOnly));
    EXPECT_EQ(Finished.readAll(), Crashed); // a row with a duration is never touched

    EXPECT_TRUE(RepairInterruptedRecordings(Data).isEmpty());
}
