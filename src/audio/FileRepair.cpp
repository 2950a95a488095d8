#include "audio/FileRepair.h"

#include "audio/WavFormat.h"
#include "base/LittleEndian.h"
#include "soundlib/SoundFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>

namespace {

bool FieldHolds(const TWavHeader& Header, const TWavSizeField& Field) {
    return std::equal(Field.Bytes.begin(), Field.Bytes.end(), Header.begin() + Field.Offset);
}

bool WriteField(QFile& File, const TWavSizeField& Field) {
    const auto* Bytes = reinterpret_cast<const char*>(Field.Bytes.data());
    const auto Size = static_cast<qint64>(Field.Bytes.size());
    return File.seek(Field.Offset) && File.write(Bytes, Size) == Size;
}

// --- Ogg (Vorbis and Opus): the last page's granule position is the stream's length in samples.

std::optional<int64_t> OggDurationSec(QFile& File) {
    QByteArray Head = File.read(4096);
    const qsizetype IdPacket = Head.indexOf("\x01vorbis");
    const qsizetype OpusHead = Head.indexOf("OpusHead");
    int64_t Rate = 0;
    int64_t PreSkip = 0;
    if (IdPacket >= 0 && Head.size() >= IdPacket + 16) {
        Rate = ReadLittleEndian<uint32_t>(Head.constData() + IdPacket + 12);
    } else if (OpusHead >= 0 && Head.size() >= OpusHead + 12) {
        Rate = 48000; // Opus granule positions always count 48 kHz samples
        PreSkip = ReadLittleEndian<uint16_t>(Head.constData() + OpusHead + 10);
    }
    if (Rate <= 0)
        return std::nullopt;
    const qint64 TailSize = std::min<qint64>(File.size(), 65536);
    if (!File.seek(File.size() - TailSize))
        return std::nullopt;
    const QByteArray Tail = File.read(TailSize);
    for (qsizetype At = Tail.lastIndexOf("OggS"); At >= 0; At = Tail.lastIndexOf("OggS", At - 1)) {
        if (Tail.size() < At + 14)
            continue;
        const auto Granule = ReadLittleEndian<int64_t>(Tail.constData() + At + 6);
        if (Granule > 0)
            return std::max<int64_t>(0, Granule - PreSkip) / Rate;
        if (At == 0)
            break;
    }
    return std::nullopt;
}

// --- MP3: the Xing/Info frame count when LAME completed it, else the constant bitrate.

struct TMp3Frame {
    int Bitrate = 0; // bit/s
    int SampleRate = 0;
    int SamplesPerFrame = 0;
};

std::optional<TMp3Frame> ParseMp3Header(const unsigned char* H) {
    if (H[0] != 0xFF || (H[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int Version = (H[1] >> 3) & 3; // 3 = MPEG-1, 2 = MPEG-2, 0 = MPEG-2.5
    const int Layer = (H[1] >> 1) & 3;   // 1 = Layer III
    const int BitrateIndex = H[2] >> 4;
    const int RateIndex = (H[2] >> 2) & 3;
    if (Version == 1 || Layer != 1 || BitrateIndex == 0 || BitrateIndex == 15 || RateIndex == 3)
        return std::nullopt;
    static constexpr int Mpeg1Rates[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                         112, 128, 160, 192, 224, 256, 320};
    static constexpr int Mpeg2Rates[] = {0,  8,  16, 24,  32,  40,  48, 56,
                                         64, 80, 96, 112, 128, 144, 160};
    static constexpr int BaseRates[] = {44100, 48000, 32000};
    TMp3Frame F;
    F.Bitrate = (Version == 3 ? Mpeg1Rates : Mpeg2Rates)[BitrateIndex] * 1000;
    F.SampleRate = BaseRates[RateIndex] >> (Version == 3 ? 0 : Version == 2 ? 1 : 2);
    F.SamplesPerFrame = Version == 3 ? 1152 : 576;
    return F;
}

std::optional<int64_t> Mp3DurationSec(QFile& File) {
    const QByteArray Head = File.read(65536);
    qsizetype Start = 0;
    if (Head.startsWith("ID3") && Head.size() >= 10) {
        const auto* S = reinterpret_cast<const unsigned char*>(Head.constData());
        Start =
            10 + ((S[6] & 0x7F) << 21 | (S[7] & 0x7F) << 14 | (S[8] & 0x7F) << 7 | (S[9] & 0x7F));
    }
    const auto* Bytes = reinterpret_cast<const unsigned char*>(Head.constData());
    for (qsizetype At = Start; At + 4 <= Head.size(); ++At) {
        const auto Frame = ParseMp3Header(Bytes + At);
        if (!Frame)
            continue;
        const QByteArray FirstFrame = Head.mid(At, 200);
        qsizetype Tag = FirstFrame.indexOf("Xing");
        if (Tag < 0)
            Tag = FirstFrame.indexOf("Info");
        if (Tag >= 0 && FirstFrame.size() >= Tag + 12) {
            const uint32_t Flags = qFromBigEndian<uint32_t>(FirstFrame.constData() + Tag + 4);
            const uint32_t Frames = qFromBigEndian<uint32_t>(FirstFrame.constData() + Tag + 8);
            if ((Flags & 1) && Frames > 0)
                return int64_t(Frames) * Frame->SamplesPerFrame / Frame->SampleRate;
        }
        // A constant-bitrate stream: its length follows from the bytes after the first frame.
        return (File.size() - At) * 8 / Frame->Bitrate;
    }
    return std::nullopt;
}

} // namespace

std::optional<TWavRepair> RepairWavHeader(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadWrite))
        return std::nullopt;
    TWavHeader Header;
    if (File.read(reinterpret_cast<char*>(Header.data()), WavHeaderBytes) != WavHeaderBytes)
        return std::nullopt;
    const std::optional<TWavFormat> Format = ParseWavHeader(Header);
    if (!Format)
        return std::nullopt;
    TWavRepair Result;
    const int64_t Available = File.size() - WavHeaderBytes;
    Result.DataBytes =
        std::min<int64_t>(Available - Available % Format->FrameBytes(), WavMaxDataBytes);
    Result.DurationSec = Result.DataBytes / Format->BytesPerSecond();
    const auto Fields = WavSizeFields(Result.DataBytes);
    if (std::all_of(Fields.begin(), Fields.end(),
                    [&](const TWavSizeField& Field) { return FieldHolds(Header, Field); }))
        return Result;
    for (const TWavSizeField& Field : Fields)
        if (!WriteField(File, Field))
            return std::nullopt;
    if (!File.flush())
        return std::nullopt;
    Result.Rewritten = true;
    return Result;
}

std::optional<int64_t> EncodedDurationSec(const QString& Path, TAudioFormat Format) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        return std::nullopt;
    switch (Format) {
    case afMP3:
        return Mp3DurationSec(File);
    case afOGG:
    case afOPUS:
        return OggDurationSec(File);
    case afWAV:
        break;
    }
    return std::nullopt;
}

std::optional<int64_t> RecordedDurationSec(const QString& Path, TAudioFormat Format) {
    if (Format != afWAV)
        return EncodedDurationSec(Path, Format);
    if (const auto Wav = RepairWavHeader(Path))
        return Wav->DurationSec;
    return std::nullopt;
}

bool HoldsNoAudio(const QString& Path) {
    const QFileInfo Info(Path);
    if (!Info.isFile() || Info.isSymLink())
        return false;
    if (Info.suffix().compare(QStringLiteral("wav"), Qt::CaseInsensitive) == 0)
        return Info.size() <= WavHeaderBytes;
    if (Info.size() == 0)
        return true;
    int Error = 0;
    int FileErrno = 0;
    const auto File =
        soundlib::TSoundFile::Open(QFile::encodeName(Path).toStdString(), Error, FileErrno);
    if (!File)
        return false;
    std::array<int16_t, 2 * 64> Frames{};
    return File->Read(Frames.data(), 64 / File->Channels()) == 0;
}
