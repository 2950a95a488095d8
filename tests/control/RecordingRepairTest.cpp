#include "control/RecordingRepair.h"
#include "control/PreparedFile.h"
#include "data/uData.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtEndian>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

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
    // Complete, but its length never reached the log (the database refused it to the end).
    QByteArray Complete = HeaderOnlySizes(2);
    qToLittleEndian<uint32_t>(36 + 32000, Complete.data() + 4);
    qToLittleEndian<uint32_t>(32000, Complete.data() + 40);
    const int32_t UnloggedId = Log("unlogged.wav", &Complete);

    EXPECT_EQ(RepairInterruptedRecordings(Data, QDateTime::currentDateTime()),
              QStringList{Dir.filePath("crashed.wav")});
    EXPECT_EQ(Duration(Data, CrashedId), 3);
    EXPECT_EQ(Duration(Data, EmptyId), 0);
    EXPECT_EQ(Duration(Data, MissingId), 0);
    EXPECT_EQ(Duration(Data, FinishedId), 99);
    EXPECT_EQ(Duration(Data, UnloggedId), 2) << "filled in, but not told as repaired";
    QFile Finished(Dir.filePath("finished.wav"));
    ASSERT_TRUE(Finished.open(QIODevice::ReadOnly));
    EXPECT_EQ(Finished.readAll(), Crashed); // a row with a duration is never touched

    EXPECT_TRUE(RepairInterruptedRecordings(Data, QDateTime::currentDateTime()).isEmpty());
}

// A recording that another running copy of the program still writes is locked by it: the
// repair leaves file and row alone and reports nothing, and repairs it once the lock is gone.
// The test takes the lock as that copy does, with flock on an open file of its own: flock
// locks belong to the open file description, so they conflict within one process too (classic
// fcntl locks would not, and the test would prove nothing).
TEST(RecordingRepair, LeavesAFileThatARunningCopyWritesAlone) {
    QTemporaryDir Dir;
    TLogData Data(Dir.filePath("log.sqlite"));
    // A constant-bitrate MP3 as far as the repair reads it: one frame header (MPEG-1 layer
    // III, 128 kbit/s, 44100 Hz) and 3 s worth of bytes.
    const QByteArray Mp3 = QByteArray("\xFF\xFB\x90\x00", 4) + QByteArray(48000 - 4, '\0');
    const struct {
        const char* Name;
        TAudioFormat Format;
        QByteArray Bytes;
    } Cases[] = {
        {"running.wav", afWAV, HeaderOnlySizes(3)},
        {"running.mp3", afMP3, Mp3},
    };
    for (const auto& Case : Cases) {
        const QString Path = Dir.filePath(Case.Name);
        QFile F(Path);
        ASSERT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Case.Bytes);
        F.close();
        TPreset P;
        P.Format = Case.Format;
        const int32_t Id =
            Data.LogRecording(P, QDateTime(QDate(2026, 3, 5), QTime(14, 0)), 1, Case.Name, Path);
        const int Writer = ::open(QFile::encodeName(Path).constData(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(Writer, 0);
        ASSERT_EQ(::flock(Writer, LOCK_EX | LOCK_NB), 0);

        EXPECT_TRUE(RepairInterruptedRecordings(Data, QDateTime::currentDateTime()).isEmpty())
            << Case.Name;
        EXPECT_EQ(Duration(Data, Id), 0) << Case.Name;
        ASSERT_TRUE(F.open(QIODevice::ReadOnly));
        EXPECT_EQ(F.readAll(), Case.Bytes) << Case.Name;
        F.close();

        ::close(Writer);
        EXPECT_EQ(RepairInterruptedRecordings(Data, QDateTime::currentDateTime()),
                  QStringList{Path})
            << Case.Name;
        EXPECT_EQ(Duration(Data, Id), 3) << Case.Name;
    }
}

// A run that ended without a stop left audio times without an end and a gap still open: the
// times end where the file's length says, marked as estimated, and the gap ends at the start-up.
TEST(RecordingRepair, OpenAudioTimesGetAnEstimatedEndAndOpenGapsEnd) {
    QTemporaryDir Dir;
    TLogData Data(Dir.filePath("log.sqlite"));
    TPreset Wav;
    Wav.Name = "WAV";
    Wav.Format = afWAV;
    const QDateTime Start(QDate(2026, 3, 5), QTime(14, 0));
    const QString Path = Dir.filePath("crashed.wav");
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(HeaderOnlySizes(3));
    F.close();
    const int32_t Id = Data.LogRecording(Wav, Start, 1, "crashed.wav", Path);
    TAudioTimes Open;
    Open.RecordingId = Id;
    Open.Start = Start.addMSecs(120);
    Open.SampleRate = 8000;
    Open.ClockSynced = true;
    Data.SetAudioTimes(Open);
    const int32_t GoneId = Data.LogRecording(Wav, Start, 2, "gone.wav", Dir.filePath("gone.wav"));
    TAudioTimes Gone = Open;
    Gone.RecordingId = GoneId;
    Data.SetAudioTimes(Gone);
    Data.LogGap(Start.addSecs(-10), QDateTime(), QStringLiteral("capture"));
    const QDateTime Now = Start.addSecs(600);

    RepairInterruptedRecordings(Data, Now);

    const QVector<TAudioTimes> Times = Data.AudioTimesOverlapping(Start, Now);
    ASSERT_EQ(Times.size(), 2);
    EXPECT_EQ(Times[0].End, Open.Start.addSecs(3));
    EXPECT_EQ(Times[0].Frames, 3 * 8000);
    EXPECT_TRUE(Times[0].EndEstimated);
    EXPECT_EQ(Times[0].ClockSynced, std::optional(true));
    EXPECT_EQ(Times[1].End, Gone.Start) << "no file: nothing known to have been recorded";
    EXPECT_TRUE(Times[1].EndEstimated);
    EXPECT_TRUE(Data.AudioTimesWithoutEnd().isEmpty());
    const QVector<TGapRow> Gaps = Data.GapsOverlapping(Start.addSecs(-60), Now);
    ASSERT_EQ(Gaps.size(), 1);
    EXPECT_EQ(Gaps[0].To, Now);
}

// The next hour's file is made ahead of the hour and noted until the log names it. A run that
// ended in between leaves it behind: the next start removes it only when it still holds no
// audio and no row names it, and never follows a link.
TEST(PreparedFile, ALeftBehindFileIsRemovedOnlyWhenEmptyAndUnlogged) {
    QTemporaryDir Dir;
    TLogData Data(Dir.filePath("log.sqlite"));
    TPreset Wav;
    Wav.Name = "WAV";
    Wav.Format = afWAV;
    const auto Make = [&](const QString& Name, const QByteArray& Bytes) {
        QFile F(Dir.filePath(Name));
        EXPECT_TRUE(F.open(QIODevice::WriteOnly));
        F.write(Bytes);
        return Dir.filePath(Name);
    };
    const QString Empty = Make("empty.wav", HeaderOnlySizes(0));
    const QString WithAudio = Make("audio.wav", HeaderOnlySizes(1));
    const QString Logged = Make("logged.wav", HeaderOnlySizes(0));
    Data.LogRecording(Wav, QDateTime::currentDateTime(), 1, "logged.wav", Logged);
    const QString Link = Dir.filePath("link.wav");
    ASSERT_TRUE(QFile::link(Make("target.wav", HeaderOnlySizes(0)), Link));
    const struct {
        QString Path;
        bool Removed;
    } Cases[] = {{Empty, true}, {WithAudio, false}, {Logged, false}, {Link, false}};
    for (const auto& Case : Cases) {
        TPreparedFile Prepared(Dir.path());
        Prepared.Note(Case.Path);
        EXPECT_EQ(Prepared.RemoveLeftBehind(Data), Case.Removed) << Case.Path.toStdString();
        EXPECT_EQ(QFileInfo::exists(Case.Path), !Case.Removed) << Case.Path.toStdString();
        EXPECT_FALSE(QFileInfo::exists(Dir.filePath(TPreparedFile::NoteName)));
    }
    EXPECT_TRUE(QFileInfo::exists(Dir.filePath("target.wav")));
    TPreparedFile Nothing(Dir.path());
    EXPECT_FALSE(Nothing.RemoveLeftBehind(Data));
}
