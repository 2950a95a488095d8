#include "CaptureHelpers.h"
#include "support/AudioCheck.h"
#include "support/PulseTestServer.h"

#include "soundlib/CaptureBackend.h"
#include "soundlib/bass.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <numbers>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// Captures from the tests' private PulseAudio server (the PulseServer fixture).

using namespace std::chrono_literals;

namespace {

class PulseCapture : public testing::Test {
protected:
    void TearDown() override { BASS_Free(); }
};

// A 44.1 kHz stereo capture into Got with an MP3 encoder writing Path; a handle is 0 when it
// did not start.
struct TMp3Capture {
    HRECORD Channel = 0;
    HENCODE Encoder = 0;
};

TMp3Capture StartMp3Capture(TCollected& Got, const std::string& Path) {
    TMp3Capture Capture;
    Capture.Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    if (Capture.Channel)
        Capture.Encoder =
            BASS_Encode_MP3_StartFile(Capture.Channel, "-b 128", BASS_UNICODE, Path.c_str());
    return Capture;
}

double Seconds(std::chrono::steady_clock::duration Duration) {
    return std::chrono::duration<double>(Duration).count();
}

// Sets PULSE_SERVER for the lifetime of the object.
class TServerAddress {
public:
    explicit TServerAddress(const std::string& Address) {
        qputenv("PULSE_SERVER", Address.c_str());
    }
    ~TServerAddress() { qputenv("PULSE_SERVER", PulseServerAddress().c_str()); }
};

} // namespace

TEST_F(PulseCapture, DevicesAreTheServersSourcesMonitorsIncluded) {
    BASS_DEVICEINFO Info{};
    std::vector<std::string> Names;
    DWORD Count = 0;
    for (; BASS_RecordGetDeviceInfo(Count, &Info); ++Count) {
        Names.emplace_back(Info.name);
        EXPECT_TRUE(Info.flags & BASS_DEVICE_ENABLED) << Info.name;
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_NE(std::find(Names.begin(), Names.end(), "Monitor of Null Output"), Names.end());
    EXPECT_NE(std::find(Names.begin(), Names.end(), "Sine source at 1000 Hz"), Names.end());
    EXPECT_FALSE(BASS_RecordInit(int(Count)));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_TRUE(BASS_RecordInit(int(Count) - 1));
}

// No server at the address, or one that never answers: the call fails with the driver code
// within 2 s instead of hanging.
TEST_F(PulseCapture, WithoutAServerInitFailsQuickly) {
    QTemporaryDir Dir;
    const std::string Silent = (Dir.path() + "/silent").toStdString();
    const int Listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un Address{};
    Address.sun_family = AF_UNIX;
    std::strncpy(Address.sun_path, Silent.c_str(), sizeof Address.sun_path - 1);
    ASSERT_EQ(::bind(Listener, reinterpret_cast<sockaddr*>(&Address), sizeof Address), 0);
    ASSERT_EQ(::listen(Listener, 4), 0);
    for (const std::string& Server :
         {"unix:" + (Dir.path() + "/nothing").toStdString(), "unix:" + Silent}) {
        TServerAddress Use(Server);
        const auto Start = std::chrono::steady_clock::now();
        EXPECT_FALSE(BASS_RecordInit(-1)) << Server;
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER) << Server;
        EXPECT_LT(std::chrono::steady_clock::now() - Start, 2500ms) << Server;
        BASS_DEVICEINFO Info{};
        EXPECT_FALSE(BASS_RecordGetDeviceInfo(0, &Info));
        EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER) << Server;
    }
    ::close(Listener);
}

// Three seconds from the monitor of the null sink, into which a 1 kHz tone plays in real
// time, at the rates and channel counts of the presets, as raw blocks and through each encoder.
TEST_F(PulseCapture, ThreeSecondsInEachFormatHoldTheTone) {
    TPacedTone Tone;
    ASSERT_TRUE(Tone.Running());
    QTemporaryDir Dir;
    const struct {
        const char* Name;
        DWORD Rate;
        DWORD Channels;
        TStartFile* StartFile;
        const char* Options;
    } Cases[] = {
        {"raw", 48000, 2, nullptr, nullptr},
        {"mp3", 44100, 2, BASS_Encode_MP3_StartFile, "-b 128"},
        {"ogg", 22050, 1, BASS_Encode_OGG_StartFile, "-b 96"},
        {"opus", 48000, 2, BASS_Encode_OPUS_StartFile, "--bitrate 96"},
        {"opus", 8000, 1, BASS_Encode_OPUS_StartFile, "--bitrate 32"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(std::string(Case.Name) + " " + std::to_string(Case.Rate));
        ASSERT_TRUE(BASS_RecordInit(DeviceNamed("vantor_null.monitor")));
        const std::string Path =
            (Dir.path() + "/" + QString::number(Case.Rate) + "." + Case.Name).toStdString();
        TCollected Got;
        const auto BeforeStart = std::chrono::steady_clock::now();
        const HRECORD Channel =
            BASS_RecordStart(Case.Rate, Case.Channels, 0, TCollected::Proc, &Got);
        ASSERT_NE(Channel, 0u);
        const auto Started = std::chrono::steady_clock::now();
        const HENCODE Encoder =
            Case.StartFile ? Case.StartFile(Channel, Case.Options, BASS_UNICODE, Path.c_str()) : 0;
        EXPECT_EQ(Encoder != 0, Case.StartFile != nullptr);
        std::this_thread::sleep_for(3s);
        const auto Stopping = std::chrono::steady_clock::now();
        ASSERT_TRUE(BASS_ChannelStop(Channel));
        const auto Stopped = std::chrono::steady_clock::now();
        // As long as the capture ran, give or take 0.2 s (a busy machine may oversleep).
        const double Captured = Got.Bytes / 2.0 / Case.Channels / Case.Rate;
        EXPECT_GT(Captured, Seconds(Stopping - Started) - 0.2);
        EXPECT_LT(Captured, Seconds(Stopped - BeforeStart) + 0.2);

        TDecodedAudio Audio{int(Case.Channels), int(Case.Rate), {}};
        if (Encoder) {
            EXPECT_TRUE(BASS_Encode_Stop(Encoder));
            const auto Decoded = DecodeAudioFile(Path);
            ASSERT_TRUE(Decoded);
            Audio = *Decoded;
            const bool IsOpus = Case.StartFile == BASS_Encode_OPUS_StartFile;
            EXPECT_EQ(IsOpus ? int(OpusInputRate(Path)) : Audio.Rate, int(Case.Rate));
        } else {
            for (int16_t S : Got.Copy())
                Audio.Samples.push_back(S / 32768.0f);
        }
        EXPECT_EQ(Audio.Channels, int(Case.Channels));
        EXPECT_NEAR(Audio.Seconds(), Captured, 0.2);
        for (int C = 0; C < Audio.Channels; ++C)
            EXPECT_NEAR(DominantFrequency(Audio, C), 1000, 25);
        BASS_RecordFree();
    }
}

// The hour boundary on the real server: one channel stops, the next starts, and the tone runs
// on from the last sample of the first into the first of the second without a jump. After a
// 3-second pause, the next channel holds only current audio.
TEST_F(PulseCapture, NextChannelContinuesTheToneInPhase) {
    TPacedTone Tone;
    ASSERT_TRUE(BASS_RecordInit(DeviceNamed("vantor_null.monitor")));
    constexpr DWORD Rate = 48000;
    TCollected First, Second, AfterPause;
    auto Record = [](TCollected& Into, std::chrono::milliseconds Duration) {
        const HRECORD Channel = BASS_RecordStart(Rate, 1, 0, TCollected::Proc, &Into);
        ASSERT_NE(Channel, 0u);
        std::this_thread::sleep_for(Duration);
        ASSERT_TRUE(BASS_ChannelStop(Channel));
    };
    Record(First, 1500ms);
    Record(Second, 1000ms);
    const std::vector<int16_t> A = First.Copy(), B = Second.Copy();
    ASSERT_GT(A.size(), 4800u);
    ASSERT_GT(B.size(), 480u);

    // Fit a sin + b cos at 1 kHz to the last 10 ms of the first channel, then compare the
    // prediction with the first 2 ms of the second. One sample lost or doubled would shift the
    // phase by 7.5 degrees, an error of about 13 % of the amplitude.
    const double W = 2 * std::numbers::pi * 1000 / Rate;
    double Ss = 0, Sc = 0, Cc = 0, Ys = 0, Yc = 0;
    const size_t Fit = 480, Begin = A.size() - Fit;
    for (size_t I = Begin; I < A.size(); ++I) {
        const double S = std::sin(W * I), C = std::cos(W * I), Y = A[I];
        Ss += S * S, Sc += S * C, Cc += C * C, Ys += Y * S, Yc += Y * C;
    }
    const double Det = Ss * Cc - Sc * Sc;
    const double Sa = (Ys * Cc - Yc * Sc) / Det, Ca = (Yc * Ss - Ys * Sc) / Det;
    const double Amplitude = std::hypot(Sa, Ca);
    ASSERT_GT(Amplitude, 3000) << "the tone is there";
    double Worst = 0;
    for (size_t I = 0; I < 96; ++I) {
        const double T = double(A.size() + I);
        Worst = std::max(Worst, std::abs(B[I] - (Sa * std::sin(W * T) + Ca * std::cos(W * T))));
    }
    EXPECT_LT(Worst / Amplitude, 0.04);

    std::this_thread::sleep_for(3s);
    Record(AfterPause, 1000ms);
    EXPECT_LT(AfterPause.Bytes / 2.0 / Rate, 1.2) << "nothing from the pause";
}

// The server dies during a capture: nothing crashes, stop and encoder stop return, the file
// holds what was captured, and once the server is back a new start works.
TEST_F(PulseCapture, SurvivesTheServerDying) {
    QTemporaryDir Dir;
    const std::string Path = (Dir.path() + "/cut.mp3").toStdString();
    ASSERT_TRUE(BASS_RecordInit(-1)); // the sine source
    TCollected Got;
    const auto [Channel, Encoder] = StartMp3Capture(Got, Path);
    ASSERT_NE(Encoder, 0u);
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 0; }, 5s));
    std::this_thread::sleep_for(500ms);
    KillPulseServer();
    EXPECT_TRUE(
        WaitUntil([&] { return BASS_ChannelIsActive(Channel) == BASS_ACTIVE_STOPPED; }, 2s));
    EXPECT_TRUE(BASS_ChannelStop(Channel));
    EXPECT_TRUE(BASS_Encode_Stop(Encoder));
    const auto Audio = DecodeAudioFile(Path);
    ASSERT_TRUE(Audio);
    EXPECT_NEAR(Audio->Seconds(), Got.Bytes / 4.0 / 44100, 0.1);
    EXPECT_NEAR(DominantFrequency(*Audio), 1000, 25);

    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DRIVER);
    ASSERT_TRUE(StartPulseServer());
    TCollected Again;
    const HRECORD Next = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Again);
    ASSERT_NE(Next, 0u) << "the open device reconnects";
    EXPECT_TRUE(WaitUntil([&] { return Again.Bytes > 0; }, 5s));
    EXPECT_TRUE(BASS_ChannelStop(Next));
    EXPECT_TRUE(BASS_RecordFree());
    EXPECT_TRUE(BASS_RecordInit(-1));
}

// A chosen source that vanishes, as an unplugged device does, ends the capture instead of the
// server moving it to another source; once the source is back, a new start records from it.
TEST_F(PulseCapture, AVanishedSourceEndsTheCaptureInsteadOfMovingIt) {
    const auto Pactl = [](const QStringList& Args) { return QProcess::execute("pactl", Args); };
    ASSERT_TRUE(BASS_RecordInit(SineDevice()));
    TCollected Got;
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 0; }, 5s));
    ASSERT_EQ(Pactl({"unload-module", "module-sine-source"}), 0);
    EXPECT_TRUE(
        WaitUntil([&] { return BASS_ChannelIsActive(Channel) == BASS_ACTIVE_STOPPED; }, 2s));
    EXPECT_TRUE(BASS_ChannelStop(Channel));
    EXPECT_EQ(BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);

    ASSERT_EQ(
        Pactl({"load-module", "module-sine-source", "source_name=vantor_sine", "frequency=1000"}),
        0);
    ASSERT_EQ(Pactl({"set-default-source", "vantor_sine"}), 0);
    TCollected Again;
    const HRECORD Next = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Again);
    ASSERT_NE(Next, 0u);
    EXPECT_TRUE(WaitUntil([&] { return Again.Bytes > 0; }, 5s));
    EXPECT_TRUE(BASS_ChannelStop(Next));
}

// The server hangs (its process stopped, not gone): the capture stays active but shows how long
// no audio came; stopping the channel and the encoder and releasing the device and the library
// never wait for the server. Once it goes on, a new capture starts and delivers.
TEST_F(PulseCapture, AHungServerShowsAsTimeWithoutAudioAndNeverHoldsUpAStop) {
    QTemporaryDir Dir;
    const std::string Path = (Dir.path() + "/hung.mp3").toStdString();
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_RecordInit(DeviceNamed("vantor_null.monitor")));
    TCollected Got;
    const auto [Channel, Encoder] = StartMp3Capture(Got, Path);
    ASSERT_NE(Encoder, 0u);
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 0; }, 5s));
    EXPECT_LT(soundlib::ChannelMsSinceAudio(Channel), 1000u);
    {
        THungPulseServer Hung;
        ASSERT_TRUE(Hung.Hung());
        EXPECT_TRUE(WaitUntil([&] { return soundlib::ChannelMsSinceAudio(Channel) > 3000; }, 4s));
        EXPECT_EQ(BASS_ChannelIsActive(Channel), BASS_ACTIVE_PLAYING) << "hung is not gone";
        // Each call runs on a thread of its own: should it wait for the server, the server goes
        // on after a second, so that the test ends.
        const auto ExpectPrompt = [&Hung](const char* Call, const std::function<BOOL()>& Run) {
            auto Result = std::async(std::launch::async, Run);
            const bool InTime = Result.wait_for(1s) == std::future_status::ready;
            if (!InTime)
                Hung.Continue();
            EXPECT_TRUE(InTime) << Call << " waits for the hung server";
            EXPECT_TRUE(Result.get()) << Call;
        };
        ExpectPrompt("BASS_ChannelStop", [&] { return BASS_ChannelStop(Channel); });
        ExpectPrompt("BASS_Encode_Stop", [&] { return BASS_Encode_Stop(Encoder); });
        ExpectPrompt("BASS_RecordFree", [] { return BASS_RecordFree(); });
        ExpectPrompt("BASS_Free", [] { return BASS_Free(); });
    }
    const auto Audio = DecodeAudioFile(Path);
    ASSERT_TRUE(Audio) << "the file is complete";
    EXPECT_NEAR(Audio->Seconds(), Got.Bytes / 4.0 / 44100, 0.1);

    ASSERT_TRUE(BASS_RecordInit(DeviceNamed("vantor_null.monitor")));
    TCollected Again;
    const HRECORD Next = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Again);
    ASSERT_NE(Next, 0u);
    EXPECT_TRUE(WaitUntil([&] { return Again.Bytes > 0; }, 5s));
    EXPECT_LT(soundlib::ChannelMsSinceAudio(Next), 1000u);
    EXPECT_TRUE(BASS_ChannelStop(Next));
}

// After a short hang the server delivers what it owed at once: the capture holds the whole
// time, without a drop. (The sink's monitor is paced by the sink's clock; the sine source would
// deliver in 2-second pieces.)
TEST_F(PulseCapture, AfterAShortHangTheMissedAudioArrivesWhole) {
    // A paced tone makes the monitor deliver small fragments in real time.
    TPacedTone Tone;
    ASSERT_TRUE(Tone.Running());
    std::this_thread::sleep_for(2s);
    ASSERT_TRUE(BASS_RecordInit(DeviceNamed("vantor_null.monitor")));
    TCollected Got;
    const auto BeforeStart = std::chrono::steady_clock::now();
    const HRECORD Channel = BASS_RecordStart(44100, 2, 0, TCollected::Proc, &Got);
    ASSERT_NE(Channel, 0u);
    const auto Started = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] { return Got.Bytes > 0; }, 5s));
    {
        THungPulseServer Hung;
        ASSERT_TRUE(Hung.Hung());
        std::this_thread::sleep_for(2s);
    }
    std::this_thread::sleep_for(2s);
    EXPECT_EQ(soundlib::ChannelDroppedBytes(Channel), 0u);
    const auto Stopping = std::chrono::steady_clock::now();
    ASSERT_TRUE(BASS_ChannelStop(Channel));
    const auto Stopped = std::chrono::steady_clock::now();
    const double Captured = Got.Bytes / 4.0 / 44100;
    // Losing the hang would lack 2 s; a loaded machine may still hold back a fragment or two.
    EXPECT_GT(Captured, Seconds(Stopping - Started) - 1.0);
    EXPECT_LT(Captured, Seconds(Stopped - BeforeStart) + 0.2);
}
