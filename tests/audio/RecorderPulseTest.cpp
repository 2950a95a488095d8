#include "audio/DeviceList.h"
#include "audio/uRecorder.h"
#include "support/AudioCheck.h"
#include "support/PulseTestServer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <thread>

namespace {
double Seconds(std::chrono::steady_clock::duration Duration) {
    return std::chrono::duration<double>(Duration).count();
}
} // namespace

// One recording per format through the recorder, from the real server: the monitor of the null
// sink while a 1 kHz tone plays into it in real time.
TEST(RecorderOnTheServer, RecordsEachFormat) {
    TPacedTone Tone;
    ASSERT_TRUE(Tone.Running());
    TDeviceList Devices;
    ListRecordDevices(Devices);
    const auto Monitor = std::find_if(Devices.begin(), Devices.end(), [](const TDeviceEntry& E) {
        return E.Text == "Monitor of Null Output";
    });
    ASSERT_NE(Monitor, Devices.end());
    QTemporaryDir Dir;
    const struct {
        TAudioFormat Format;
        int32_t Rate, Channels, Bitrate;
    } Cases[] = {
        // No two neighbours share rate and channels: a start within a second of the stop would
        // rightly continue with the audio since that stop.
        {afWAV, 44100, 2, 0},
        {afOGG, 22050, 1, 96},
        {afMP3, 44100, 2, 128},
        {afOPUS, 48000, 2, 96},
    };
    TRecorder R;
    ASSERT_TRUE(R.InitDevice(Monitor->Value));
    for (const auto& Case : Cases) {
        SCOPED_TRACE(FormatToStr(Case.Format).toStdString());
        TPreset P;
        P.Format = Case.Format;
        P.SampleRate = Case.Rate;
        P.Channels = Case.Channels;
        P.Bitrate = Case.Bitrate;
        const QString Path = Dir.path() + "/2026/03/05/0503202614" + FormatToExt(Case.Format);
        const auto BeforeStart = std::chrono::steady_clock::now();
        ASSERT_TRUE(R.Start(P, Path));
        const auto Started = std::chrono::steady_clock::now();
        float L = 0, Right = 0;
        std::this_thread::sleep_for(std::chrono::seconds(3));
        EXPECT_TRUE(R.GetLevels(L, Right));
        EXPECT_GT(L, 0.3f);
        EXPECT_GT(Right, 0.3f);
        const auto Stopping = std::chrono::steady_clock::now();
        R.Stop();
        const auto Stopped = std::chrono::steady_clock::now();
        EXPECT_TRUE(R.WriteError().isEmpty());
        const auto Audio = DecodeAudioFile(Path.toStdString());
        ASSERT_TRUE(Audio);
        EXPECT_EQ(Audio->Channels, Case.Channels);
        EXPECT_EQ(Case.Format == afOPUS ? int(OpusInputRate(Path.toStdString())) : Audio->Rate,
                  Case.Rate);
        // As long as the capture ran, give or take 0.2 s (on a busy machine the sleep may last
        // longer than asked).
        EXPECT_GT(Audio->Seconds(), Seconds(Stopping - Started) - 0.2);
        EXPECT_LT(Audio->Seconds(), Seconds(Stopped - BeforeStart) + 0.2);
        for (int C = 0; C < Audio->Channels; ++C)
            EXPECT_NEAR(DominantFrequency(*Audio, C), 1000, 25);
    }
}
