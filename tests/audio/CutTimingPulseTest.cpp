#include "audio/uRecorder.h"
#include "soundlib/FrameTimes.h"
#include "support/AudioCheck.h"
#include "support/ClickSource.h"
#include "support/PulseTestServer.h"
#include "support/WaitUntil.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {
constexpr int Rate = 48000;
constexpr int64_t Second = 1'000'000'000;
} // namespace

// A cut at a whole second, recorded from the null sink's monitor while a click plays into it
// at every whole second of the wall clock: the file the cut begins starts on a click, and the
// two files join without a frame lost or doubled.
TEST(CutOnTheServer, BeginsTheNextFileAtTheSecondItWasAskedFor) {
    TClickSource Clicks(Rate);
    ASSERT_TRUE(Clicks.Running());
    const int Monitor = MonitorDevice();
    ASSERT_GE(Monitor, 0);
    QTemporaryDir Dir;
    const QString OldPath = Dir.path() + "/old.wav";
    const QString NewPath = Dir.path() + "/new.wav";
    TPreset P;
    P.Format = afWAV;
    P.SampleRate = Rate;
    P.Channels = 1;
    TRecorder R;
    ASSERT_TRUE(R.InitDevice(Monitor));
    ASSERT_TRUE(R.Start(P, OldPath));
    // The sink and both streams settle.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int64_t At = (soundlib::RealtimeNanoseconds() / Second + 3) * Second;
    ASSERT_TRUE(R.PrepareCut(P, NewPath, At));
    std::optional<TCutDone> Cut;
    ASSERT_TRUE(
        WaitUntil([&] { return (Cut = R.TakeCut()).has_value(); }, std::chrono::seconds(10)));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    R.Stop();
    EXPECT_TRUE(R.WriteError().isEmpty());
    EXPECT_EQ(Clicks.Missed(), 0) << "the server asked for the clicks' audio late";

    const auto Old = DecodeAudioFile(OldPath.toStdString());
    const auto New = DecodeAudioFile(NewPath.toStdString());
    ASSERT_TRUE(Old && New);
    ASSERT_EQ(New->Rate, Rate);
    // The two files as one: a click cut in two by the cut is found once, where it begins.
    TDecodedAudio Both;
    AppendAudio(Both, *Old);
    AppendAudio(Both, *New);
    const auto CutFrame = static_cast<int64_t>(Old->Samples.size()) / Old->Channels;
    const std::vector<int64_t> Onsets = ClickOnsets(Both);
    const auto After = std::lower_bound(Onsets.begin(), Onsets.end(), CutFrame);
    ASSERT_NE(After, Onsets.begin()) << "no click before the cut";
    ASSERT_NE(After, Onsets.end()) << "no click after the cut";
    const int64_t Before = *std::prev(After);

    // Where the first click of the new file lies against its whole seconds: 0 when the file
    // begins exactly at the second asked for.
    int64_t Offset = (*After - CutFrame) % Rate;
    if (Offset > Rate / 2)
        Offset -= Rate;
    const double OffsetMs = 1000.0 * Offset / Rate;
    const double GapMs = 1000.0 * (*After - Before) / Rate;
    std::fprintf(stderr,
                 "cut: first click of the new file %+.2f ms from a whole second of it; "
                 "clicks around the cut %.2f ms apart; cut time %+.2f ms from the moment asked; "
                 "%d clicks played\n",
                 OffsetMs, GapMs, (Cut->CutTime - At) / 1e6, Clicks.Placed());
    EXPECT_LE(std::abs(OffsetMs), 15.0);
    EXPECT_NEAR(GapMs, 1000.0, 1.0);
    EXPECT_EQ(Cut->NextPath, NewPath);
}
