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
#include <utility>

namespace {

QString WriteFailure(const QString& Path, int Errno) {
    return QStringLiteral("Kan niet schrijven naar bestand %1: %2")
        .arg(Path, SystemReasonText(Errno));
}

// Makes the folder Path lies in; throws EFileError when it cannot be made.
void MakeFolderOf(const QString& Path) {
    const QString Folder = QFileInfo(Path).path();
    std::error_code Made;
    std::filesystem::create_directories(QFile::encodeName(Folder).toStdString(), Made);
    if (Made)
        throw EFileError(QStringLiteral("Kan map %1 niet maken: %2")
                             .arg(Folder, SystemReasonText(Made.value()))
                             .toStdString());
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
    MakeFolderOf(FullPath);
    FWavBytes = 0;
    FFileClock = {};
    FFirstFrameTime.store(0, std::memory_order_relaxed);
    FCutPending = false;
    FCutMade.reset();
    FCutAtStop.reset();
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
        try {
            WriteWavHeader(*FWavFile, FullPath, P.Channels, P.SampleRate);
        } catch (const EFileError&) {
            FWavFile.reset();
            throw;
        }
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

TEncoderHandle TRecorder::StartEncoder(const TPreset& P, const QString& FullPath, DWORD Flags) {
    const QByteArray Path = FullPath.toUtf8();
    const auto StartWith = [&](auto* StartFile, const QString& Options) {
        return TEncoderHandle(StartFile(FChannel.Get(), Options.toLocal8Bit().constData(),
                                        BASS_UNICODE | Flags, Path.constData()));
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
    // No callback runs any more: a cut armed was made by now, or never will be.
    if (FCutPending) {
        FCutAtStop = TakeCut();
        if (!FCutAtStop)
            DiscardNextFile();
    }
    FCutPending = false;
    FEncodeFailed = !FEncoder.Close();
    FinishWavFile();
    FLastFileTimes = FFileClock.Times(FSampleRate);
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

void TRecorder::WriteWavHeader(soundlib::TOutputFile& File, const QString& Path, int32_t Channels,
                               int32_t SampleRate) {
    const TWavHeader Header =
        MakeWavHeader({static_cast<uint16_t>(Channels), static_cast<uint32_t>(SampleRate)}, 0);
    if (File.Write(Header.data(), Header.size()) != Header.size()) {
        const int Errno = File.Errno();
        File.Close();
        throw EFileError(WriteFailure(Path, Errno).toStdString());
    }
}

bool TRecorder::AppendWav(const void* Buffer, DWORD Length) {
    if (FWavFile->Failed())
        return false;
    const size_t Written = FWavFile->Write(Buffer, Length);
    if (Written == Length) {
        FWavBytes += Length;
        return true;
    }
    // The disk is full or gone: stop appending. Keep the whole frames that reached the file,
    // so that the completed header describes exactly what is on disk.
    const int64_t BlockAlign = std::max(FChannels, 1) * 2;
    const int64_t Kept = (FWavBytes + static_cast<int64_t>(Written)) / BlockAlign * BlockAlign;
    FWavBytes = FWavFile->Truncate(WavHeaderBytes + Kept) ? Kept : FWavBytes + Written;
    FWavErrno.store(FWavFile->Errno(), std::memory_order_release);
    return false;
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
    const uint64_t Frames = Count / static_cast<DWORD>(std::max(1, Self->FChannels));
    const int64_t Captured = soundlib::BlockCaptureTime();
    const int64_t End = Captured + static_cast<int64_t>(Frames) * 1'000'000'000 / Self->FSampleRate;
    TRecorder::TFileClock& Clock = Self->FFileClock;
    if (!Clock.Start) {
        Clock.Start = Captured;
        Self->FFirstFrameTime.store(Captured, std::memory_order_relaxed);
    }
    Clock.Frames += Frames;
    Clock.End = End;
    // A WAV file whose writes failed holds the audio up to there; an encoder's file is
    // counted as delivered.
    if (!Self->FWavFile || Self->AppendWav(Buffer, Length)) {
        Clock.KeptFrames += Frames;
        Clock.KeptEnd = End;
    }
    return GoOn;
}

void CutCallback(uint32_t, int64_t CutTime, void* User) {
    static_cast<TRecorder*>(User)->SwitchFile(CutTime);
}

TFileTimes TRecorder::TFileClock::Times(int32_t Rate) const {
    TFileTimes T;
    T.Rate = Rate;
    if (!Start)
        return T;
    T.Start = *Start;
    T.Frames = KeptFrames;
    T.End = KeptFrames > 0 ? KeptEnd : *Start;
    // The card's clock against the wall clock, over the audio delivered: tenths of a
    // millisecond of timing noise weigh too much in less than a minute.
    constexpr int64_t ShortestForDrift = 60'000'000'000;
    const int64_t Wall = End - *Start;
    if (Frames > 0 && Wall >= ShortestForDrift && Rate > 0)
        T.DriftPpm = (static_cast<double>(Frames) * 1e9 / Rate / Wall - 1.0) * 1e6;
    return T;
}

void TRecorder::SwitchFile(int64_t CutTime) {
    TCutMade Made;
    Made.Ended = FFileClock.Times(FSampleRate);
    Made.CutTime = CutTime;
    // The audio goes on without a break across the cut, though each block is dated on its own:
    // the file that ends ends where the next begins, to the nanosecond, unless its writes failed
    // before.
    if (FFileClock.Start && FFileClock.KeptFrames == FFileClock.Frames)
        Made.Ended.End = CutTime;
    if (FWavFile) {
        FinishWavFile();
        Made.EndedWavErrno = FWavErrno.exchange(0, std::memory_order_acq_rel);
    }
    FWavFile = std::move(FNext.Wav);
    FWavBytes = 0;
    FFileClock = {};
    FFileClock.Start = CutTime;
    FFirstFrameTime.store(CutTime, std::memory_order_relaxed);
    std::lock_guard Lock(FCutMutex);
    FCutMade = Made;
}

bool TRecorder::PrepareCut(const std::optional<TPreset>& Next, const QString& NextPath,
                           int64_t At) {
    FNameTaken = false;
    if (FState != rsRecording || FCutPending)
        return false;
    TNextFile Prepared;
    Prepared.Preset = Next;
    if (Next) {
        Prepared.Path = NextPath;
        MakeFolderOf(NextPath);
        if (Next->Format == afWAV) {
            int Errno = 0;
            Prepared.Wav = soundlib::TOutputFile::Create(NextPath.toStdString(), Errno);
            FNameTaken = Errno == EEXIST;
            if (FNameTaken)
                return false;
            if (!Prepared.Wav)
                throw EFileError(QStringLiteral("Kan bestand %1 niet aanmaken: %2")
                                     .arg(NextPath, SystemReasonText(Errno))
                                     .toStdString());
            WriteWavHeader(*Prepared.Wav, NextPath, Next->Channels, Next->SampleRate);
        } else {
            Prepared.Encoder = StartEncoder(*Next, NextPath, BASS_ENCODE_PAUSE);
            if (!Prepared.Encoder) {
                FNameTaken = soundlib::LastEncodeFileErrno() == EEXIST;
                return false;
            }
        }
    }
    // In place before the cut is armed: the recording thread takes the next file from there.
    FNext = std::move(Prepared);
    if (soundlib::ChannelArmCut(FChannel.Get(), At, FNext.Encoder.Get(), CutCallback, this) !=
        BASS_OK) {
        DiscardNextFile();
        return false;
    }
    FCutPending = true;
    return true;
}

std::optional<TCutDone> TRecorder::TakeCut() {
    if (FCutAtStop)
        return std::exchange(FCutAtStop, std::nullopt);
    if (!FCutPending)
        return std::nullopt;
    std::optional<TCutMade> Made;
    {
        std::lock_guard Lock(FCutMutex);
        Made = std::exchange(FCutMade, std::nullopt);
    }
    if (!Made)
        return std::nullopt;
    TCutDone Done;
    Done.Ended = Made->Ended;
    Done.EndedPath = FCurrentPath;
    Done.EndedStartedAt = FStartedAt;
    Done.CutTime = Made->CutTime;
    // The recording thread completed the encoder's file at the cut; this only hears how it went.
    const bool EncodeFailed = !FEncoder.Close();
    if (Made->EndedWavErrno != 0)
        Done.EndedWriteError = WriteFailure(FCurrentPath, Made->EndedWavErrno);
    else if (EncodeFailed)
        Done.EndedWriteError =
            QStringLiteral("Kan niet schrijven naar bestand %1").arg(FCurrentPath);
    FLastFileTimes = Made->Ended;
    FEncoder = std::move(FNext.Encoder);
    FEncodeFailed = false;
    Done.NextPath = FNext.Path;
    FCurrentPath = FNext.Path;
    if (FNext.Preset)
        FFormat = FNext.Preset->Format;
    FNext = {};
    FCutPending = false;
    FStartedAt = QDateTime::fromMSecsSinceEpoch(Made->CutTime / 1'000'000);
    return Done;
}

bool TRecorder::CancelCut() {
    if (!FCutPending || !soundlib::ChannelDisarmCut(FChannel.Get()))
        return false;
    DiscardNextFile();
    FCutPending = false;
    return true;
}

void TRecorder::DiscardNextFile() {
    if (FNext.Wav)
        FNext.Wav->Close();
    FNext.Encoder.Close();
    // The file was made a moment ago by this recorder and holds no audio.
    if (!FNext.Path.isEmpty())
        QFile::remove(FNext.Path);
    FNext = {};
}

TFileTimes TRecorder::FileTimes() const {
    return FLastFileTimes;
}

std::optional<int64_t> TRecorder::FirstFrameTime() const {
    const int64_t Time = FFirstFrameTime.load(std::memory_order_relaxed);
    return Time != 0 && FState == rsRecording ? std::optional(Time) : std::nullopt;
}
