#include "audio/uRecorder.h"

#include "audio/WavFormat.h"
#include "base/SystemReason.h"
#include "soundlib/CaptureBackend.h"
#include "soundlib/Encoder.h"
#include "soundlib/OutputFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {

QString WriteFailure(const QString& Path, int Errno) {
    return QStringLiteral("Kan niet schrijven naar bestand %1: %2")
        .arg(Path, SystemReasonText(Errno));
}

} // namespace

TRecorder::TRecorder(TClock Clock) : FClock(std::move(Clock)) {}

TRecorder::~TRecorder() {
    if (FState == rsRecording)
        Stop();
    FreeDevice();
    if (FInited)
        BASS_Free();
}

bool TRecorder::InitOutput() {
    if (FInited)
        return true;
    FInited = BASS_Init(0, 44100, 0, nullptr, nullptr) != 0;
    return FInited;
}

bool TRecorder::InitDevice(int32_t Device) {
    InitOutput();
    if (FRecInited) {
        BASS_RecordFree();
        FRecInited = false;
    }
    if (!BASS_RecordInit(Device))
        return false;
    FRecInited = true;
    FDevice = Device;
    return true;
}

void TRecorder::FreeDevice() {
    if (FRecInited) {
        BASS_RecordFree();
        FRecInited = false;
    }
}

bool TRecorder::Start(const TPreset& P, const QString& FullPath) {
    if (FState == rsRecording)
        Stop();
    FNameTaken = false;
    FLeftEmptyFile = false;
    FStartError = 0;
    if (!FRecInited && !InitDevice(FDevice)) {
        FStartError = BASS_ErrorGetCode();
        return false;
    }

    FFormat = P.Format;
    FChannels = P.Channels;
    FSampleRate = P.SampleRate;
    FSilentFrames.store(0, std::memory_order_relaxed);
    FBytesPerSecond = int64_t{P.SampleRate} * P.Channels * 2;
    FDroppedBytes = 0;
    FCurrentPath = FullPath;
    const QString Folder = QFileInfo(FullPath).path();
    std::error_code Made;
    std::filesystem::create_directories(QFile::encodeName(Folder).toStdString(), Made);
    if (Made)
        throw EFileError(QStringLiteral("Kan map %1 niet maken: %2")
                             .arg(Folder, SystemReasonText(Made.value()))
                             .toStdString());
    FWavBytes = 0;
    FLevelL.store(0.0f, std::memory_order_relaxed);
    FLevelR.store(0.0f, std::memory_order_relaxed);
    FWavErrno.store(0, std::memory_order_relaxed);
    FEncodeFailed = false;

    if (FFormat == afWAV) {
        int Errno = 0;
        FWavFile = soundlib::TOutputFile::Create(FullPath.toStdString(), Errno);
        FNameTaken = Errno == EEXIST;
        if (FNameTaken)
            return false;
        if (!FWavFile)
            throw EFileError(QStringLiteral("Kan bestand %1 niet aanmaken: %2")
                                 .arg(FullPath, SystemReasonText(Errno))
                                 .toStdString());
        FLeftEmptyFile = true; // until the recording runs
        WriteWavHeader(P.Channels, P.SampleRate);
    }

    FChannel = TRecordChannel(BASS_RecordStart(
        static_cast<DWORD>(P.SampleRate), static_cast<DWORD>(P.Channels), 0, RecordCallback, this));
    if (!FChannel) {
        FStartError = BASS_ErrorGetCode();
        if (FWavFile) {
            FWavFile->Close();
            FWavFile.reset();
        }
        return false;
    }
    FGapFrames = soundlib::ChannelGapFrames(FChannel.Get());
    if (IsEncodedFormat(FFormat)) {
        FEncoder = StartEncoder(P, FullPath);
        if (!FEncoder) {
            FStartError = BASS_ErrorGetCode();
            FNameTaken = soundlib::LastEncodeFileErrno() == EEXIST;
            FChannel.Close();
            return false;
        }
    }
    FLeftEmptyFile = false;
    FStartedAt = FClock();
    FState = rsRecording;
    return true;
}

TEncoderHandle TRecorder::StartEncoder(const TPreset& P, const QString& FullPath) {
    const QByteArray Path = FullPath.toUtf8();
    const auto StartWith = [&](auto* StartFile, const QString& Options) {
        return TEncoderHandle(StartFile(FChannel.Get(), Options.toLocal8Bit().constData(),
                                        BASS_UNICODE, Path.constData()));
    };
    switch (P.Format) {
    case afMP3:
        return StartWith(BASS_Encode_MP3_StartFile, QStringLiteral("-b %1").arg(P.Bitrate));
    case afOGG:
        return StartWith(BASS_Encode_OGG_StartFile, QStringLiteral("-b %1").arg(P.Bitrate));
    case afOPUS:
        return StartWith(BASS_Encode_OPUS_StartFile, QStringLiteral("--bitrate %1").arg(P.Bitrate));
    case afWAV:
        break;
    }
    return TEncoderHandle();
}

void TRecorder::Stop() {
    if (FState != rsRecording)
        return;
    FDroppedBytes = soundlib::ChannelDroppedBytes(FChannel.Get()); // unknown once stopped
    FChannel.Close();
    FEncodeFailed = !FEncoder.Close();
    if (FFormat == afWAV)
        FinishWavFile();
    FLevelL.store(0.0f, std::memory_order_relaxed);
    FLevelR.store(0.0f, std::memory_order_relaxed);
    FState = rsIdle;
}

bool TRecorder::GetLevels(float& L, float& R) const {
    if (FState != rsRecording) {
        L = R = 0.0f;
        return false;
    }
    L = FLevelL.load(std::memory_order_relaxed);
    R = FLevelR.load(std::memory_order_relaxed);
    return true;
}

void TRecorder::SetSilenceLevel(std::optional<int32_t> DbFs) {
    // The clock tick passes the level every time; it changes only with the settings.
    if (DbFs == FSilenceDb)
        return;
    FSilenceDb = DbFs;
    const int32_t Threshold =
        DbFs ? static_cast<int32_t>(std::ceil(32768.0 * std::pow(10.0, *DbFs / 20.0))) : 0;
    FSilenceThreshold.store(Threshold, std::memory_order_relaxed);
}

bool TRecorder::CaptureAlive() const {
    return FState == rsRecording && BASS_ChannelIsActive(FChannel.Get()) == BASS_ACTIVE_PLAYING;
}

QString TRecorder::WriteError() const {
    if (const int Errno = FWavErrno.load(std::memory_order_acquire); Errno != 0)
        return WriteFailure(FCurrentPath, Errno);
    const bool EncoderFailed =
        FEncodeFailed || (FEncoder && BASS_Encode_IsActive(FEncoder.Get()) == BASS_ACTIVE_STOPPED);
    return EncoderFailed ? QStringLiteral("Kan niet schrijven naar bestand %1").arg(FCurrentPath)
                         : QString();
}

double TRecorder::DroppedSeconds() const {
    const uint64_t Bytes =
        FState == rsRecording ? soundlib::ChannelDroppedBytes(FChannel.Get()) : FDroppedBytes;
    return FBytesPerSecond > 0 ? static_cast<double>(Bytes) / FBytesPerSecond : 0.0;
}

TRecorderSnapshot TRecorder::Snapshot() const {
    TRecorderSnapshot Now;
    Now.Recording = FState == rsRecording;
    Now.CaptureAlive = CaptureAlive();
    Now.WriteError = WriteError();
    Now.DroppedSeconds = DroppedSeconds();
    GetLevels(Now.LevelL, Now.LevelR);
    if (Now.Recording) {
        Now.SecondsWithoutAudio = soundlib::ChannelMsSinceAudio(FChannel.Get()) / 1000.0;
        Now.SilentSeconds =
            static_cast<double>(FSilentFrames.load(std::memory_order_relaxed)) / FSampleRate;
    }
    return Now;
}

void TRecorder::WriteWavHeader(int32_t Channels, int32_t SampleRate) {
    const TWavHeader Header =
        MakeWavHeader({static_cast<uint16_t>(Channels), static_cast<uint32_t>(SampleRate)}, 0);
    if (FWavFile->Write(Header.data(), Header.size()) != Header.size()) {
        const int Errno = FWavFile->Errno();
        FWavFile.reset();
        throw EFileError(WriteFailure(FCurrentPath, Errno).toStdString());
    }
}

void TRecorder::AppendWav(const void* Buffer, DWORD Length) {
    if (FWavFile->Failed())
        return;
    const size_t Written = FWavFile->Write(Buffer, Length);
    if (Written == Length) {
        FWavBytes += Length;
        return;
    }
    // The disk is full or gone: stop appending. Keep the whole frames that reached the file,
    // so that the completed header describes exactly what is on disk.
    const int64_t BlockAlign = std::max(FChannels, 1) * 2;
    const int64_t Kept = (FWavBytes + static_cast<int64_t>(Written)) / BlockAlign * BlockAlign;
    FWavBytes = FWavFile->Truncate(WavHeaderBytes + Kept) ? Kept : FWavBytes + Written;
    FWavErrno.store(FWavFile->Errno(), std::memory_order_release);
}

void TRecorder::FinishWavFile() {
    if (!FWavFile)
        return;
    for (const TWavSizeField& Field : WavSizeFields(FWavBytes))
        FWavFile->WriteAt(Field.Offset, Field.Bytes.data(), Field.Bytes.size());
    const bool Closed = FWavFile->Close();
    if (!Closed && FWavErrno.load(std::memory_order_relaxed) == 0)
        FWavErrno.store(FWavFile->Errno(), std::memory_order_release);
    FWavFile.reset();
}

BOOL RecordCallback(HRECORD, const void* Buffer, DWORD Length, void* User) {
    constexpr BOOL GoOn = -1; // all bits set
    auto* Self = static_cast<TRecorder*>(User);
    if (!Self)
        return GoOn;
    const auto* Samples = static_cast<const int16_t*>(Buffer);
    const DWORD Count = Length / 2;
    int32_t Left = 0, Right = 0;
    if (Self->FChannels == 2) {
        for (DWORD I = 0; I + 1 < Count; I += 2) {
            Left = std::max(Left, std::abs(int32_t{Samples[I]}));
            Right = std::max(Right, std::abs(int32_t{Samples[I + 1]}));
        }
    } else {
        for (DWORD I = 0; I < Count; ++I)
            Left = std::max(Left, std::abs(int32_t{Samples[I]}));
        Right = Left;
    }
    Self->FLevelL.store(static_cast<float>(Left / 32768.0), std::memory_order_relaxed);
    Self->FLevelR.store(static_cast<float>(Right / 32768.0), std::memory_order_relaxed);
    // Silent while every channel stays below the level: one live channel is sound.
    if (std::max(Left, Right) < Self->FSilenceThreshold.load(std::memory_order_relaxed)) {
        const uint64_t Frames = Count / static_cast<DWORD>(std::max(1, Self->FChannels));
        Self->FSilentFrames.store(Self->FSilentFrames.load(std::memory_order_relaxed) + Frames,
                                  std::memory_order_relaxed);
    } else {
        Self->FSilentFrames.store(0, std::memory_order_relaxed);
    }
    if (Self->FFormat == afWAV && Self->FWavFile)
        Self->AppendWav(Buffer, Length);
    return GoOn;
}
