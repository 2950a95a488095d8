#include "audio/FileRepair.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A WAV file as the recorder leaves it after a crash: the start header (sizes for no data)
// followed by Seconds of stereo 16-bit samples and ExtraBytes of a torn last frame.
QByteArray CrashedWav(int Rate, int Channels, double Seconds, int ExtraBytes) {
    QByteArray H(44, '\0');
    auto Put32 = [&](int At, uint32_t V) { qToLittleEndian(V, H.data() + At); };
    auto Put16 = [&](int At, uint16_t V) { qToLittleEndian(V, H.data() + At); };
    H.replace(0, 4, "RIFF");
    Put32(4, 36);
    H.replace(8, 8, "WAVEfmt ");
    Put32(16, 16);
    Put16(20, 1);
    Put16(22, Channels);
    Put32(24, Rate);
    Put32(28, Rate * Channels * 2);
    Put16(32, Channels * 2);
    Put16(34, 16);
    H.replace(36, 4, "data");
    Put32(40, 0);
    const int Frames = static_cast<int>(Rate * Seconds);
    QByteArray Data(Frames * Channels * 2, '\0');
    auto* S = reinterpret_cast<int16_t*>(Data.data());
    for (int I = 0; I < Frames * Channels; ++I)
        S[I] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 1000 * (I / Channels) / Rate));
    return H + Data + QByteArray(ExtraBytes, '\x7f');
}

void WriteFile(const QString& Path, const QByteArray& Bytes) {
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Bytes);
}

QByteArray ReadFile(const QString& Path) {
    QFile F(Path);
    EXPECT_TRUE(F.open(QIODevice::ReadOnly));
    return F.readAll();
}

uint32_t At32(const QByteArray& B, int Offset) {
    return qFromLittleEndian<uint32_t>(B.constData() + Offset);
}

} // namespace

TEST(FileRepair, CrashedWavGetsSizesOfItsWholeFramesAndNothingElseChanges) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("crash.wav");
    const QByteArray Original = CrashedWav(8000, 2, 2.5, 3);
    WriteFile(Path, Original);

    const auto First = RepairWavHeader(Path);
    ASSERT_TRUE(First);
    EXPECT_TRUE(First->Rewritten);
    EXPECT_EQ(First->DataBytes, 8000 * 4 * 5 / 2);
    EXPECT_EQ(First->DurationSec, 2);
    const QByteArray Repaired = ReadFile(Path);
    ASSERT_EQ(Repaired.size(), Original.size());
    EXPECT_EQ(At32(Repaired, 40), First->DataBytes);
    EXPECT_EQ(At32(Repaired, 4), First->DataBytes + 36);
    EXPECT_EQ(Repaired.mid(44), Original.mid(44)); // the samples are untouched

    const auto Second = RepairWavHeader(Path);
    ASSERT_TRUE(Second);
    EXPECT_FALSE(Second->Rewritten);
    EXPECT_EQ(ReadFile(Path), Repaired);
}

TEST(FileRepair, LeavesFilesThatAreNotOurWavAlone) {
    QTemporaryDir Dir;
    const QByteArray Cases[] = {QByteArray(),
                                QByteArray("RIFF"),
                                QByteArray(100, 'x'),
                                CrashedWav(8000, 1, 0.1, 0).replace(36, 4, "LIST"),
                                CrashedWav(8000, 1, 0.1, 0).replace(34, 1, "\x08"), // 8-bit
                                CrashedWav(8000, 0, 0.1, 0)};
    for (const QByteArray& Bytes : Cases) {
        const QString Path = Dir.filePath("other.wav");
        WriteFile(Path, Bytes);
        EXPECT_FALSE(RepairWavHeader(Path));
        EXPECT_EQ(ReadFile(Path), Bytes);
    }
    EXPECT_FALSE(RepairWavHeader(Dir.filePath("missing.wav")));
}

TEST(FileRepair, EncodedDurationsFromHeadersIncludingACutShortMp3) {
    QTemporaryDir Dir;
    const QString Wav = Dir.filePath("tone.wav");
    WriteFile(Wav, CrashedWav(44100, 2, 7.4, 0));
    ASSERT_TRUE(RepairWavHeader(Wav));
    struct Case {
        const char* Program;
        QStringList Args;
        const char* Out;
        TAudioFormat Format;
    };
    const Case Cases[] = {
        {"lame", {"--quiet", "-b", "128", Wav, Dir.filePath("t.mp3")}, "t.mp3", afMP3},
        {"oggenc", {"--quiet", "-b", "96", "-o", Dir.filePath("t.ogg"), Wav}, "t.ogg", afOGG},
        {"opusenc", {"--quiet", "--bitrate", "64", Wav, Dir.filePath("t.opus")}, "t.opus", afOPUS},
    };
    for (const Case& C : Cases) {
        ASSERT_EQ(QProcess::execute(C.Program, C.Args), 0) << C.Program;
        EXPECT_EQ(EncodedDurationSec(Dir.filePath(C.Out), C.Format), 7) << C.Out;
    }
    // Without its completed tag frame (a crash), the MP3's constant bitrate still tells.
    QByteArray Mp3 = ReadFile(Dir.filePath("t.mp3"));
    const qsizetype Tag = Mp3.indexOf("Info");
    ASSERT_GT(Tag, 0);
    Mp3.replace(Tag + 8, 4, QByteArray(4, '\0'));
    WriteFile(Dir.filePath("cut.mp3"), Mp3.left(Mp3.size() / 2));
    const auto Cut = EncodedDurationSec(Dir.filePath("cut.mp3"), afMP3);
    ASSERT_TRUE(Cut);
    EXPECT_NEAR(*Cut, 3, 1);
    EXPECT_FALSE(EncodedDurationSec(Wav, afOGG));
}
