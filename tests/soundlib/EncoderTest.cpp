#include "CaptureHelpers.h"
#include "support/AudioCheck.h"
#include "support/FileSizeLimit.h"

#include "soundlib/ScriptedBackend.h"
#include "soundlib/bass.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace std::chrono_literals;

namespace {

struct TFormatCase {
    const char* Name;
    TStartFile* StartFile;
    const char* Options;
    const char* Extension;
};

const TFormatCase Mp3{"MP3", BASS_Encode_MP3_StartFile, "-b 192", ".mp3"};
const TFormatCase Ogg{"OGG", BASS_Encode_OGG_StartFile, "-b 160", ".ogg"};
const TFormatCase Opus{"OPUS", BASS_Encode_OPUS_StartFile, "--bitrate 96", ".opus"};

std::vector<int16_t> Noise(int Seconds) {
    std::mt19937 Random(5);
    std::normal_distribution<double> Gauss(0, 5000);
    std::vector<int16_t> Samples(size_t(44100) * 2 * Seconds);
    for (int16_t& S : Samples)
        S = static_cast<int16_t>(std::clamp(Gauss(Random), -32768.0, 32767.0));
    return Samples;
}

// Seconds of noise at 44100 Hz stereo, played as fast as it goes through an encoder.
struct TEncodeRun {
    TCollected Got;
    HRECORD Channel = 0;
    HENCODE Encoder = 0;
    size_t Total = 0;

    TEncodeRun(const TFormatCase& Format, const std::string& Path, int Seconds = 4) {
        const std::vector<int16_t> Samples = Noise(Seconds);
        Total = Samples.size() * 2;
        soundlib::InstallScriptedBackend(
            {.Signal = soundlib::SamplesSignal(Samples, 2), .Speed = 0});
        EXPECT_TRUE(BASS_RecordInit(-1));
        Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
        EXPECT_NE(Channel, 0u);
        Encoder = Format.StartFile(Channel, Format.Options, BASS_UNICODE, Path.c_str());
        EXPECT_NE(Encoder, 0u) << Format.Name << " error " << BASS_ErrorGetCode();
    }
    bool WaitForAll() {
        return WaitUntil([this] { return Got.Bytes >= Total; }, 10s);
    }
    // Stops channel and encoder; the encoder's result.
    BOOL Finish() {
        BASS_ChannelStop(Channel);
        return BASS_Encode_Stop(Encoder);
    }
    double Seconds() const { return Got.Bytes / 4.0 / 44100; }
};

class Encoders : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }
};

} // namespace

// The option texts the recorder builds set the bitrate of the file each encoder writes.
TEST_F(Encoders, OptionTextsSetTheBitrate) {
    QTemporaryDir Dir;
    for (const TFormatCase& Format : {Mp3, Ogg, Opus}) {
        const std::string Path = (Dir.path() + "/file").toStdString() + Format.Extension;
        TEncodeRun Run(Format, Path);
        EXPECT_TRUE(Run.WaitForAll());
        EXPECT_TRUE(Run.Finish()) << Format.Name;
        const auto Audio = DecodeAudioFile(Path);
        ASSERT_TRUE(Audio) << Format.Name;
        EXPECT_EQ(Audio->Channels, 2) << Format.Name;
        const double Captured = Run.Seconds();
        EXPECT_NEAR(Audio->Seconds(), Captured, 0.05) << Format.Name;
        const double Kbps = QFileInfo(QString::fromStdString(Path)).size() * 8 / Captured / 1000;
        if (Format.StartFile == BASS_Encode_MP3_StartFile)
            EXPECT_NEAR(Kbps, 192, 4) << "constant bitrate";
        else if (Format.StartFile == BASS_Encode_OGG_StartFile)
            EXPECT_EQ(VorbisNominalBitrate(Path), 160000);
        else
            EXPECT_NEAR(Kbps, 96, 15) << "variable bitrate around the target";
        BASS_Free();
    }
}

// The recorder attaches the encoder to a channel that already runs; a slow file system may
// delay that. The file still starts with the channel's first sample.
TEST_F(Encoders, AnEncoderAttachedLateStillGetsTheFirstSample) {
    QTemporaryDir Dir;
    const std::string Path = (Dir.path() + "/late.ogg").toStdString();
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    ASSERT_TRUE(BASS_RecordInit(-1));
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 44100 * 4 / 2; }, 3s));
    const HENCODE Encoder =
        BASS_Encode_OGG_StartFile(Channel, "-b 128", BASS_UNICODE, Path.c_str());
    ASSERT_NE(Encoder, 0u);
    std::this_thread::sleep_for(500ms);
    BASS_ChannelStop(Channel);
    EXPECT_TRUE(BASS_Encode_Stop(Encoder));
    const auto Audio = DecodeAudioFile(Path);
    ASSERT_TRUE(Audio);
    EXPECT_NEAR(Audio->Seconds(), Got.Bytes / 4.0 / 44100, 0.01);
}

// An encoder stopped before any audio reached it (a recording stopped at once) completes a
// valid file without audio (Opus: one silent frame), and the program goes on.
TEST_F(Encoders, AnEncoderThatGotNoAudioCompletesAnEmptyFile) {
    QTemporaryDir Dir;
    soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal({}, 2)});
    ASSERT_TRUE(BASS_RecordInit(-1));
    // At Opus's own rate libopusenc resamples nothing: there a stream without samples aborted.
    const HRECORD Channel = BASS_RecordStart(48000, 2, 0, nullptr, nullptr);
    ASSERT_NE(Channel, 0u);
    for (const TFormatCase& Format : {Mp3, Ogg, Opus}) {
        const std::string Path = (Dir.path() + "/empty").toStdString() + Format.Extension;
        const HENCODE Encoder =
            Format.StartFile(Channel, Format.Options, BASS_UNICODE, Path.c_str());
        ASSERT_NE(Encoder, 0u) << Format.Name;
        EXPECT_TRUE(BASS_Encode_Stop(Encoder)) << Format.Name;
        const auto Audio = DecodeAudioFile(Path);
        ASSERT_TRUE(Audio) << Format.Name;
        // Opus gets one silent frame: its encoder library cannot end an empty stream.
        EXPECT_LE(Audio->Samples.size(), 2u) << Format.Name;
    }
    EXPECT_TRUE(BASS_ChannelStop(Channel));
}

TEST_F(Encoders, MalformedOptionTextDoesNotStart) {
    QTemporaryDir Dir;
    soundlib::InstallScriptedBackend({});
    ASSERT_TRUE(BASS_RecordInit(-1));
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    const struct {
        TStartFile* StartFile;
        const char* Options;
    } Cases[] = {
        {BASS_Encode_MP3_StartFile, ""},
        {BASS_Encode_MP3_StartFile, "-b"},
        {BASS_Encode_MP3_StartFile, "-b abc"},
        {BASS_Encode_MP3_StartFile, "-b 128 -q 2"},
        {BASS_Encode_MP3_StartFile, "-b 12.5"},
        {BASS_Encode_MP3_StartFile, "-b -128"},
        {BASS_Encode_MP3_StartFile, "-b 0"},
        {BASS_Encode_MP3_StartFile, "--bitrate 128"},
        {BASS_Encode_OGG_StartFile, "-b128"},
        {BASS_Encode_OGG_StartFile, "-q 5"},
        {BASS_Encode_OPUS_StartFile, "-b 96"},
        {BASS_Encode_OPUS_StartFile, "--bitrate"},
        {BASS_Encode_OPUS_StartFile, "--bitrate 99999999999"},
    };
    const std::string Path = (Dir.path() + "/never").toStdString();
    for (const auto& Case : Cases) {
        EXPECT_EQ(Case.StartFile(Channel, Case.Options, BASS_UNICODE, Path.c_str()), 0u)
            << Case.Options;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM) << Case.Options;
    }
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Path)));
    EXPECT_EQ(BASS_Encode_MP3_StartFile(Channel, "  -b\t128 ", BASS_UNICODE,
                                        (Path + ".mp3").c_str()) != 0,
              true)
        << "blanks around the words are fine";
    EXPECT_EQ(BASS_Encode_MP3_StartFile(Channel, "-b 128", 0x40000, Path.c_str()), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM) << "no flags but BASS_UNICODE";
    EXPECT_TRUE(BASS_ChannelStop(Channel)); // before Got goes out of scope
}

TEST_F(Encoders, AFileThatCannotBeCreatedFailsTheStart) {
    soundlib::InstallScriptedBackend({});
    ASSERT_TRUE(BASS_RecordInit(-1));
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    for (const TFormatCase& Format : {Mp3, Ogg, Opus}) {
        EXPECT_EQ(Format.StartFile(Channel, Format.Options, BASS_UNICODE, "/nonexistent/x"), 0u);
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_CREATE) << Format.Name;
    }
    EXPECT_TRUE(BASS_ChannelStop(Channel)); // before Got goes out of scope
}

// A disk that fills up during the recording: the encoder stops writing and says so, the
// file keeps what was written, and the capture goes on.
TEST_F(Encoders, AFailingWriteIsReportedNotACrash) {
    QTemporaryDir Dir;
    constexpr rlim_t Limit = 16384;
    for (const TFormatCase& Format : {Mp3, Ogg, Opus}) {
        const std::string Path = (Dir.path() + "/full").toStdString() + Format.Extension;
        TFileSizeLimit SmallDisk(Limit);
        TEncodeRun Run(Format, Path, 8); // Opus holds back up to 3 s before it writes
        EXPECT_TRUE(WaitUntil(
            [&] { return BASS_Encode_IsActive(Run.Encoder) == BASS_ACTIVE_STOPPED; }, 10s))
            << Format.Name;
        EXPECT_EQ(BASS_ChannelIsActive(Run.Channel), BASS_ACTIVE_PLAYING);
        EXPECT_TRUE(Run.WaitForAll());
        EXPECT_FALSE(Run.Finish()) << Format.Name;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN) << Format.Name;
        EXPECT_EQ(QFileInfo(QString::fromStdString(Path)).size(), qint64(Limit)) << Format.Name;
        BASS_Free();
    }
}

TEST_F(Encoders, OneEncoderPerChannelAndStoppedOnceStopped) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.5)});
    ASSERT_TRUE(BASS_RecordInit(-1));
    QTemporaryDir Dir;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, nullptr, nullptr);
    const std::string Path = (Dir.path() + "/a.mp3").toStdString();
    const HENCODE Encoder =
        BASS_Encode_MP3_StartFile(Channel, "-b 128", BASS_UNICODE, Path.c_str());
    ASSERT_NE(Encoder, 0u);
    EXPECT_EQ(BASS_Encode_OGG_StartFile(Channel, "-b 128", BASS_UNICODE, (Path + ".ogg").c_str()),
              0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(BASS_Encode_IsActive(Encoder), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(BASS_Encode_Stop(Encoder)) << "an encoder may stop before its channel";
    EXPECT_EQ(BASS_Encode_IsActive(Encoder), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelIsActive(Channel), BASS_ACTIVE_PLAYING);
    const auto Audio = DecodeAudioFile(Path);
    ASSERT_TRUE(Audio);
    EXPECT_NEAR(DominantFrequency(*Audio), 1000, 25);
}
