#include "audio/uRecorder.h"
#include "soundlib/FrameTimes.h"
#include "soundlib/ScriptedBackend.h"
#include "support/AudioCheck.h"
#include "support/FileSizeLimit.h"
#include "support/Presets.h"
#include "support/RecordingThreadStall.h"
#include "support/WaitUntil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace std::chrono_literals;
using soundlib::TScript;

namespace {

std::vector<int16_t> Noise(size_t Count) {
    std::mt19937 Random(11);
    std::normal_distribution<double> Gauss(0, 5000);
    std::vector<int16_t> Samples(Count);
    for (int16_t& S : Samples)
        S = static_cast<int16_t>(std::clamp(Gauss(Random), -32768.0, 32767.0));
    return Samples;
}

uint32_t Le32At(const std::vector<uint8_t>& Bytes, size_t At) {
    return Bytes[At] | Bytes[At + 1] << 8 | Bytes[At + 2] << 16 | uint32_t(Bytes[At + 3]) << 24;
}

// A completed WAV file: its RIFF and data sizes describe its length.
void ExpectCompleteWav(const QString& Path) {
    const std::vector<uint8_t> Bytes = ReadFileBytes(Path.toStdString());
    ASSERT_GE(Bytes.size(), 44u) << Path.toStdString();
    EXPECT_EQ(Le32At(Bytes, 4), Bytes.size() - 8) << Path.toStdString();
    EXPECT_EQ(Le32At(Bytes, 40), Bytes.size() - 44) << Path.toStdString();
}

qint64 SizeOf(const QString& Path) {
    return QFileInfo(Path).size();
}

class Recorder : public testing::Test {
protected:
    QString PathOf(const QString& Name) const { return Dir.path() + "/" + Name; }
    QTemporaryDir Dir;
};

} // namespace

TEST_F(Recorder, LevelsArePeaksOfTheLatestBlock) {
    const struct {
        const char* Name;
        int32_t Channels;
        std::vector<int16_t> Block;
        float L, R;
    } Cases[] = {
        {"stereo", 2, {1000, -32768, 1000, -32768, -7, 5}, 0.030517578125f, 1.0f},
        {"odd sample ignored", 2, {100, -200, 30000}, float(100 / 32768.0), float(200 / 32768.0)},
        {"mono", 1, {-5, 32767, 12}, float(32767 / 32768.0), float(32767 / 32768.0)},
        {"empty", 2, {}, 0.0f, 0.0f},
    };
    for (const auto& Case : Cases) {
        soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal({}, 1)});
        TRecorder R;
        float L = -1, Right = -1;
        EXPECT_FALSE(R.GetLevels(L, Right));
        EXPECT_EQ(L, 0.0f);
        EXPECT_EQ(Right, 0.0f);
        ASSERT_TRUE(R.Start(Preset(afWAV, 44100, Case.Channels),
                            PathOf(QString::fromLatin1(Case.Name) + ".wav")));
        const std::vector<int16_t> Loud(4, 32767);
        RecordCallback(0, Loud.data(), DWORD(Loud.size() * 2), &R);
        EXPECT_NE(RecordCallback(0, Case.Block.data(), DWORD(Case.Block.size() * 2), &R), 0);
        ASSERT_TRUE(R.GetLevels(L, Right));
        EXPECT_EQ(L, Case.L) << Case.Name;
        EXPECT_EQ(Right, Case.R) << Case.Name;
        const TRecorderSnapshot Recording = R.Snapshot();
        EXPECT_EQ(Recording.LevelL, Case.L) << Case.Name;
        EXPECT_EQ(Recording.LevelR, Case.R) << Case.Name;
        R.Stop();
        EXPECT_FALSE(R.GetLevels(L, Right));
        EXPECT_EQ(L, 0.0f);
        EXPECT_EQ(Right, 0.0f);
        const TRecorderSnapshot Stopped = R.Snapshot();
        EXPECT_FALSE(Stopped.Recording);
        EXPECT_EQ(Stopped.LevelL, 0.0f);
        EXPECT_EQ(Stopped.LevelR, 0.0f);
    }
    EXPECT_NE(RecordCallback(0, nullptr, 0, nullptr), 0) << "no recorder: nothing happens";
}

TEST_F(Recorder, TheWavHeaderIsWrittenByteForByte) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal({}, 1)});
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("stereo.wav")));
    R.Stop(); // before any block
    const std::vector<uint8_t> Stereo = {
        0x52, 0x49, 0x46, 0x46, 0x24, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6D, 0x74,
        0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1,
        0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(ReadFileBytes(PathOf("stereo.wav").toStdString()), Stereo);

    ASSERT_TRUE(R.Start(Preset(afWAV, 8000, 1), PathOf("mono.wav")));
    R.Stop();
    const std::vector<uint8_t> Mono = ReadFileBytes(PathOf("mono.wav").toStdString());
    ASSERT_EQ(Mono.size(), 44u);
    const std::vector<uint8_t> Expected = {0x01, 0x00, 0x40, 0x1F, 0x00, 0x00, 0x80,
                                           0x3E, 0x00, 0x00, 0x02, 0x00, 0x10, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(Mono.begin() + 22, Mono.begin() + 36), Expected);
}

// Blocks go into the file unchanged and in order; the stop completes both sizes.
TEST_F(Recorder, TheWavFileHoldsTheBlocksAndItsSizesAfterStop) {
    const std::vector<int16_t> Samples = Noise(22050 * 2);
    soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal(Samples, 2), .Speed = 0});
    const QString Path = PathOf("day/07/data.wav");
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afWAV, 22050, 2), Path));
    EXPECT_TRUE(WaitUntil([&] { return SizeOf(Path) == 44 + qint64(Samples.size() * 2); }, 5s));
    R.Stop();
    ExpectCompleteWav(Path);
    const std::vector<uint8_t> Bytes = ReadFileBytes(Path.toStdString());
    ASSERT_EQ(Bytes.size(), 44 + Samples.size() * 2);
    EXPECT_EQ(std::memcmp(Bytes.data() + 44, Samples.data(), Samples.size() * 2), 0);
    EXPECT_TRUE(R.WriteError().isEmpty());
}

TEST_F(Recorder, StartWhileRecordingCompletesThePreviousFileFirst) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("first.wav")));
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 1), PathOf("second.wav")));
    EXPECT_EQ(R.State(), rsRecording);
    EXPECT_EQ(R.CurrentPath(), PathOf("second.wav"));
    ExpectCompleteWav(PathOf("first.wav"));
    EXPECT_GT(SizeOf(PathOf("first.wav")), 44 + 44100 * 4 / 10);
    R.Stop();
    ExpectCompleteWav(PathOf("second.wav"));
}

TEST_F(Recorder, DestroyingARecordingRecorderCompletesItsFile) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    {
        TRecorder R;
        ASSERT_TRUE(R.Start(Preset(afWAV, 48000, 2), PathOf("closing.wav")));
        std::this_thread::sleep_for(300ms);
    }
    ExpectCompleteWav(PathOf("closing.wav"));
    EXPECT_GT(SizeOf(PathOf("closing.wav")), 44);
}

// The device dialog reopens the device during a recording: the recording goes on and its
// later stop completes the file.
TEST_F(Recorder, ReopeningTheDeviceDuringARecordingKeepsItGoing) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    TRecorder R;
    const QString Path = PathOf("on.wav");
    ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), Path));
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(R.InitDevice(0));
    EXPECT_EQ(R.State(), rsRecording);
    const qint64 Before = SizeOf(Path);
    std::this_thread::sleep_for(300ms);
    EXPECT_GT(SizeOf(Path), Before + 44100 * 4 / 10) << "blocks keep coming";
    R.Stop();
    ExpectCompleteWav(Path);
}

TEST_F(Recorder, ALostServerShowsAsADeadCaptureUntilTheNextStart) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    TRecorder R;
    EXPECT_FALSE(R.CaptureAlive());
    ASSERT_TRUE(R.Start(Preset(afMP3, 44100, 2, 128), PathOf("lost.mp3")));
    EXPECT_TRUE(R.CaptureAlive());
    EXPECT_TRUE(R.Snapshot().CaptureAlive);
    std::this_thread::sleep_for(200ms);
    soundlib::SetScriptedServerUp(false);
    EXPECT_FALSE(R.CaptureAlive());
    EXPECT_EQ(R.State(), rsRecording);
    const TRecorderSnapshot WithoutServer = R.Snapshot();
    EXPECT_TRUE(WithoutServer.Recording);
    EXPECT_FALSE(WithoutServer.CaptureAlive);
    soundlib::SetScriptedServerUp(true);
    ASSERT_TRUE(R.Start(Preset(afMP3, 44100, 2, 128), PathOf("back.mp3")));
    EXPECT_TRUE(R.CaptureAlive());
    R.Stop();
    const auto Lost = DecodeAudioFile(PathOf("lost.mp3").toStdString());
    ASSERT_TRUE(Lost) << "the file of the lost capture is complete";
    EXPECT_GT(Lost->Seconds(), 0.1);
}

TEST_F(Recorder, StartedAtComesFromTheClock) {
    soundlib::InstallScriptedBackend({});
    const QDateTime Moment(QDate(2026, 3, 5), QTime(14, 0, 0));
    TRecorder R([Moment] { return Moment; });
    ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("a.wav")));
    EXPECT_EQ(R.StartedAt(), Moment);
}

// No usable device: false with the device's error code, and neither a folder nor a file.
TEST_F(Recorder, StartWithAnUnusableDeviceCreatesNothing) {
    soundlib::InstallScriptedBackend({});
    soundlib::SetScriptedServerUp(false);
    TRecorder R;
    EXPECT_FALSE(R.Start(Preset(afWAV, 44100, 2), PathOf("2026/03/05/x.wav")));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    EXPECT_EQ(R.StartError(), BASS_ERROR_DRIVER);
    EXPECT_EQ(R.State(), rsIdle);
    EXPECT_FALSE(QFileInfo::exists(PathOf("2026")));
}

TEST_F(Recorder, AFailingCaptureStartLeavesAnEmptyWavFile) {
    soundlib::InstallScriptedBackend({.StartError = BASS_ERROR_NOTAVAIL});
    TRecorder R;
    EXPECT_FALSE(R.Start(Preset(afWAV, 44100, 2), PathOf("empty.wav")));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    BASS_ChannelIsActive(12345);
    EXPECT_EQ(R.StartError(), BASS_ERROR_NOTAVAIL) << "later calls leave it as it is";
    EXPECT_EQ(R.State(), rsIdle);
    EXPECT_EQ(SizeOf(PathOf("empty.wav")), 44);
    ExpectCompleteWav(PathOf("empty.wav"));
    EXPECT_TRUE(R.LeftEmptyFile()) << "the caller may remove it";
    EXPECT_FALSE(R.NameTaken());
}

TEST_F(Recorder, AFailingEncoderStartStopsTheCapture) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    ASSERT_TRUE(QDir().mkpath(PathOf("x.mp3"))); // a folder where the file should be
    TRecorder R;
    EXPECT_FALSE(R.Start(Preset(afMP3, 44100, 2, 128), PathOf("x.mp3")));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_CREATE) << "the encoder's code, not the stop's";
    EXPECT_EQ(R.StartError(), BASS_ERROR_CREATE);
    EXPECT_EQ(R.State(), rsIdle);
    EXPECT_TRUE(R.Start(Preset(afMP3, 44100, 2, 128), PathOf("y.mp3")));
    EXPECT_EQ(R.StartError(), BASS_OK);
}

TEST_F(Recorder, AFailingDeviceKeepsThePreviousDevice) {
    soundlib::InstallScriptedBackend({.Devices = {{"Microfoon", true}, {"Lijningang", true}}});
    TRecorder R;
    EXPECT_EQ(R.Device(), -1);
    EXPECT_TRUE(R.InitDevice(1));
    EXPECT_EQ(R.Device(), 1);
    EXPECT_FALSE(R.InitDevice(5));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_EQ(R.Device(), 1);
    EXPECT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("again.wav"))) << "opens device 1 again";
}

// A folder that cannot be made is named in the error, whatever the format.
TEST_F(Recorder, AWavFileThatCannotBeCreatedRaisesTheFileError) {
    soundlib::InstallScriptedBackend({});
    QFile Blocker(PathOf("2026"));
    ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    Blocker.close();
    const QString Path = PathOf("2026/x.wav");
    TRecorder R;
    try {
        R.Start(Preset(afWAV, 44100, 2), Path);
        FAIL() << "no error";
    } catch (const EFileError& Error) {
        EXPECT_EQ(QString::fromUtf8(Error.what()),
                  QStringLiteral("Kan map %1 niet maken: een deel van het pad is geen map")
                      .arg(PathOf("2026")));
    }
    EXPECT_FALSE(R.NameTaken());
    EXPECT_FALSE(R.LeftEmptyFile());
    EXPECT_EQ(R.State(), rsIdle);
    EXPECT_EQ(R.CurrentPath(), Path);
    EXPECT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("fine.wav")));
}

// Something of the wanted name appeared after the name was found free: a file, or a link to
// one (a plain create would follow it and empty its target). No format writes a byte to it;
// the start fails, says the name is taken, and leaves nothing of its own.
TEST_F(Recorder, AnExistingNameIsNeverWrittenOver) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    const QByteArray Earlier("an earlier recording");
    const QString Target = PathOf("earlier.bin");
    QFile Original(Target);
    ASSERT_TRUE(Original.open(QIODevice::WriteOnly));
    Original.write(Earlier);
    Original.close();
    const auto ReadTarget = [&] {
        QFile F(Target);
        EXPECT_TRUE(F.open(QIODevice::ReadOnly));
        return F.readAll();
    };
    TRecorder R;
    for (const TPreset& P : {Preset(afWAV, 44100, 2), Preset(afMP3, 44100, 2, 128),
                             Preset(afOGG, 44100, 2, 128), Preset(afOPUS, 48000, 2, 96)}) {
        for (const bool Link : {false, true}) {
            const QString Format = FormatToStr(P.Format) + (Link ? " via link" : "");
            const QString Name = Link ? "link" : "copy";
            const QString Path = PathOf(Name) + FormatToExt(P.Format);
            ASSERT_TRUE(Link ? QFile::link(Target, Path) : QFile::copy(Target, Path));
            EXPECT_FALSE(R.Start(P, Path)) << Format.toStdString();
            EXPECT_TRUE(R.NameTaken()) << Format.toStdString();
            EXPECT_FALSE(R.LeftEmptyFile()) << Format.toStdString();
            EXPECT_EQ(R.State(), rsIdle);
            EXPECT_EQ(ReadTarget(), Earlier) << Format.toStdString();
            QFile Copy(Path);
            ASSERT_TRUE(Copy.open(QIODevice::ReadOnly));
            EXPECT_EQ(Copy.readAll(), Earlier) << Format.toStdString();
            ASSERT_TRUE(R.Start(P, PathOf(Name + "_2") + FormatToExt(P.Format)));
            EXPECT_FALSE(R.NameTaken());
            R.Stop();
            ASSERT_TRUE(QFile::remove(Path));
        }
    }
}

// The disk fills up during a recording: appends stop, the header describes exactly the whole
// frames on disk, the failure is readable, and nothing crashes.
TEST_F(Recorder, AFailingAppendLeavesAFileWhoseHeaderIsTrue) {
    const std::vector<int16_t> Samples = Noise(44100 * 2);
    soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal(Samples, 2), .Speed = 0});
    const QString Path = PathOf("full.wav");
    TRecorder R;
    {
        TFileSizeLimit SmallDisk(44 + 10001);
        ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), Path));
        EXPECT_TRUE(WaitUntil([&] { return !R.WriteError().isEmpty(); }, 5s));
        EXPECT_EQ(R.State(), rsRecording);
        R.Stop();
    }
    ExpectCompleteWav(Path);
    const std::vector<uint8_t> Bytes = ReadFileBytes(Path.toStdString());
    ASSERT_EQ(Bytes.size(), 44u + 10000u) << "every whole frame that fitted";
    EXPECT_EQ(std::memcmp(Bytes.data() + 44, Samples.data(), 10000), 0);
    EXPECT_EQ(R.WriteError(),
              QStringLiteral("Kan niet schrijven naar bestand %1: bestand te groot").arg(Path));
    EXPECT_EQ(R.Snapshot().WriteError, R.WriteError());
    EXPECT_TRUE(R.Start(Preset(afWAV, 44100, 2), PathOf("next.wav")));
    EXPECT_TRUE(R.WriteError().isEmpty()) << "a new recording starts clean";
}

// The recorder's option texts reach the encoders: the files have the presets' bitrates.
TEST_F(Recorder, EncodedFormatsGetThePresetsBitrate) {
    const std::vector<int16_t> Samples = Noise(44100 * 2 * 4);
    const struct {
        TPreset P;
        const char* Name;
    } Cases[] = {
        {Preset(afMP3, 44100, 2, 192), "x.mp3"},
        {Preset(afOGG, 44100, 2, 160), "x.ogg"},
        {Preset(afOPUS, 44100, 2, 96), "x.opus"},
    };
    for (const auto& Case : Cases) {
        soundlib::InstallScriptedBackend(
            {.Signal = soundlib::SamplesSignal(Samples, 2), .Speed = 0});
        TRecorder R;
        const QString Path = PathOf(Case.Name);
        ASSERT_TRUE(R.Start(Case.P, Path));
        std::this_thread::sleep_for(500ms); // the whole signal, as fast as it goes
        R.Stop();
        EXPECT_TRUE(R.WriteError().isEmpty());
        const auto Audio = DecodeAudioFile(Path.toStdString());
        ASSERT_TRUE(Audio) << Case.Name;
        EXPECT_NEAR(Audio->Seconds(), 4.0, 0.01) << Case.Name;
        const double Kbps = SizeOf(Path) * 8 / 4.0 / 1000;
        if (Case.P.Format == afOGG)
            EXPECT_EQ(VorbisNominalBitrate(Path.toStdString()), 160000);
        else
            EXPECT_NEAR(Kbps, Case.P.Bitrate, Case.P.Format == afMP3 ? 4 : 15) << Case.Name;
    }
}

TEST_F(Recorder, AFailingEncoderWriteShowsInWriteError) {
    soundlib::InstallScriptedBackend(
        {.Signal = soundlib::SamplesSignal(Noise(44100 * 2 * 8), 2), .Speed = 0});
    const QString Path = PathOf("full.mp3");
    TFileSizeLimit SmallDisk(16384);
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afMP3, 44100, 2, 128), Path));
    EXPECT_TRUE(WaitUntil([&] { return !R.WriteError().isEmpty(); }, 5s));
    R.Stop();
    EXPECT_EQ(R.WriteError(), QStringLiteral("Kan niet schrijven naar bestand %1").arg(Path));
}

// The recording thread is held up longer than the capture's ring buffer lasts (a disk that
// hangs): the audio that could not wait is dropped, and the recorder tells exactly how much
// its file lacks (counted in the file from the gaps in a running frame counter). The next
// recording continues the same capture and starts without a loss of its own.
TEST_F(Recorder, AudioDroppedBehindAStalledDiskIsCountedExactly) {
    // Fast enough to fill the ring soon, slow enough for a recording thread under the thread
    // sanitizer to keep up once it runs again.
    soundlib::InstallScriptedBackend({.Signal = soundlib::CounterSignal(), .Speed = 16});
    constexpr int FrameBytes = 4;
    constexpr int Rate = 8000;
    const QString Path = PathOf("stalled.wav");
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afWAV, Rate, 2), Path));
    {
        TRecordingThreadStall Stall;
        ASSERT_TRUE(Stall.Started());
        // At 16 times real time the ring's 32 s are full in two seconds.
        ASSERT_TRUE(WaitUntil([&] { return R.DroppedSeconds() > 2; }, 5s));
    }
    // Once more than the ring holds has reached the file, the backlog is written.
    const qint64 Backlog = SizeOf(Path) + qint64{Rate} * FrameBytes * 33;
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(Path) > Backlog; }, 5s));
    R.Stop();

    const std::vector<uint8_t> Bytes = ReadFileBytes(Path.toStdString());
    const auto CounterAt = [&](size_t Frame) {
        const uint8_t* At = Bytes.data() + 44 + Frame * FrameBytes;
        return uint32_t(At[0] | At[1] << 8) | uint32_t(At[2] | At[3] << 8) << 16;
    };
    const size_t Frames = (Bytes.size() - 44) / FrameBytes;
    ASSERT_GT(Frames, 0u);
    const uint64_t Missing = CounterAt(Frames - 1) - CounterAt(0) + 1 - Frames;
    EXPECT_GT(Missing, 0u);
    EXPECT_DOUBLE_EQ(R.DroppedSeconds(), double(Missing) / Rate);
    EXPECT_DOUBLE_EQ(R.Snapshot().DroppedSeconds, double(Missing) / Rate);

    const QString Next = PathOf("next.wav");
    ASSERT_TRUE(R.Start(Preset(afWAV, Rate, 2), Next));
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(Next) > 44 + Rate * FrameBytes; }, 5s));
    EXPECT_EQ(R.DroppedSeconds(), 0.0) << "the capture's earlier loss is not this recording's";
    R.Stop();
    EXPECT_EQ(R.DroppedSeconds(), 0.0);
}

// A sound server that hangs (a stopped process) keeps the capture alive but delivers nothing:
// the time without audio grows, from the start when nothing came yet, and falls back once the
// server goes on.
TEST_F(Recorder, AHungServerShowsAsTimeWithoutAudio) {
    for (const bool HungAtStart : {false, true}) {
        SCOPED_TRACE(HungAtStart ? "hung before the start" : "hung while recording");
        soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
        const QString Path = PathOf(HungAtStart ? "hung_start.wav" : "hung_later.wav");
        TRecorder R;
        EXPECT_EQ(R.Snapshot().SecondsWithoutAudio, 0.0);
        soundlib::SetScriptedServerHung(HungAtStart);
        ASSERT_TRUE(R.Start(Preset(afWAV, 44100, 2), Path));
        if (!HungAtStart) {
            ASSERT_TRUE(WaitUntil([&] { return SizeOf(Path) > 44; }, 5s));
            soundlib::SetScriptedServerHung(true);
        }
        EXPECT_TRUE(WaitUntil([&] { return R.Snapshot().SecondsWithoutAudio > 1; }, 5s));
        const TRecorderSnapshot Hung = R.Snapshot();
        EXPECT_TRUE(Hung.Recording);
        EXPECT_TRUE(Hung.CaptureAlive) << "a hung server is not a lost one";
        soundlib::SetScriptedServerHung(false);
        EXPECT_TRUE(WaitUntil([&] { return R.Snapshot().SecondsWithoutAudio < 0.5; }, 5s));
        R.Stop();
        EXPECT_EQ(R.Snapshot().SecondsWithoutAudio, 0.0);
    }
}

// A cut moves the recording from one file into the next at a moment of the wall clock, in any
// pair of formats of the same rate and channels: the file that ended is complete and holds the
// audio up to the cut, the next one the audio from it on, and the two lengths add up to what
// was captured.
TEST_F(Recorder, ACutHandsTheAudioFromOneFileToTheNextInAnyFormat) {
    const struct {
        TAudioFormat From;
        TAudioFormat To;
    } Cases[] = {{afWAV, afMP3}, {afMP3, afOPUS}, {afOGG, afWAV}};
    for (const auto& Case : Cases) {
        soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
        TRecorder R;
        const QString First = PathOf(QString("first-%1").arg(int(Case.From)));
        const QString Second = PathOf(QString("second-%1").arg(int(Case.To)));
        ASSERT_TRUE(R.Start(Preset(Case.From, 48000, 2, 128), First));
        const int64_t At = soundlib::RealtimeNanoseconds() + 600'000'000;
        ASSERT_TRUE(R.PrepareCut(Preset(Case.To, 48000, 2, 128), Second, At));
        EXPECT_TRUE(R.CutPending());
        EXPECT_TRUE(QFileInfo::exists(Second)) << "made ahead of the cut";
        std::optional<TCutDone> Done;
        ASSERT_TRUE(WaitUntil([&] { return (Done = R.TakeCut()).has_value(); }, 3s));
        EXPECT_FALSE(R.CutPending());
        EXPECT_EQ(Done->EndedPath, First);
        EXPECT_EQ(Done->NextPath, Second);
        EXPECT_TRUE(Done->EndedWriteError.isEmpty());
        EXPECT_GE(Done->CutTime, At);
        EXPECT_LT(Done->CutTime - At, 125'000) << "within a frame of the moment";
        EXPECT_EQ(Done->Ended.End, Done->CutTime);
        EXPECT_EQ(R.CurrentPath(), Second);
        std::this_thread::sleep_for(500ms);
        R.Stop();
        const TFileTimes Next = R.FileTimes();
        EXPECT_EQ(Next.Start, Done->CutTime);
        const auto Ended = DecodeAudioFile(First.toStdString());
        const auto Begun = DecodeAudioFile(Second.toStdString());
        ASSERT_TRUE(Ended && Begun);
        EXPECT_NEAR(Ended->Seconds(), Done->Ended.Frames / 48000.0, 0.08);
        EXPECT_NEAR(Begun->Seconds(), Next.Frames / 48000.0, 0.08);
        EXPECT_NEAR(DominantFrequency(*Begun), 1000, 25);
        if (Case.From == afWAV)
            ExpectCompleteWav(First);
        if (Case.To == afWAV)
            ExpectCompleteWav(Second);
    }
}

// A cut taken back before its moment removes the file it made ahead, which holds nothing, and
// the recording goes on in its own file; a next file whose name is taken is not prepared.
TEST_F(Recorder, ACutTakenBackRemovesItsFileAndATakenNameIsNotPrepared) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    TRecorder R;
    ASSERT_TRUE(R.Start(Preset(afWAV, 8000, 1), PathOf("own.wav")));
    const int64_t Later = soundlib::RealtimeNanoseconds() + 60'000'000'000;
    ASSERT_TRUE(R.PrepareCut(Preset(afMP3, 8000, 1, 32), PathOf("next.mp3"), Later));
    EXPECT_TRUE(R.CancelCut());
    EXPECT_FALSE(R.CutPending());
    EXPECT_FALSE(QFileInfo::exists(PathOf("next.mp3")));
    QFile Taken(PathOf("taken.wav"));
    ASSERT_TRUE(Taken.open(QIODevice::WriteOnly));
    Taken.write("keep");
    Taken.close();
    EXPECT_FALSE(R.PrepareCut(Preset(afWAV, 8000, 1), PathOf("taken.wav"), Later));
    EXPECT_TRUE(R.NameTaken());
    EXPECT_EQ(SizeOf(PathOf("taken.wav")), 4) << "a file of that name is left as it is";
    std::this_thread::sleep_for(300ms);
    R.Stop();
    ExpectCompleteWav(PathOf("own.wav"));
    EXPECT_GT(SizeOf(PathOf("own.wav")), 44 + 8000 * 2 / 10);
    EXPECT_FALSE(R.TakeCut().has_value());
}
