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

TPreset MonoWav() {
    TPreset P;
    P.Format = afWAV;
    P.SampleRate = Rate;
    P.Channels = 1;
    return P;
}

// Nanoseconds folded into half a second either side of 0, in ms.
double FromWholeSecondMs(int64_t Nanoseconds) {
    int64_t Rest = Nanoseconds % Second;
    if (Rest < 0)
        Rest += Second;
    if (Rest > Second / 2)
        Rest -= Second;
    return Rest / 1e6;
}
} // namespace

// A capture of the monitor begun just after the sink started playing, when the server's first
// timing report gives the sink a latency longer than anything the stream received yet. The
// file's first frame is dated as the clicks say (a click lies at a whole second), and its times
// agree with the frames it holds.
TEST(TimesOnTheServer, DateTheFirstFrameOfAFreshCapture) {
    TClickSource Clicks(Rate);
    ASSERT_TRUE(Clicks.Running());
    const int Monitor = MonitorDevice();
    ASSERT_GE(Monitor, 0);
    QTemporaryDir Dir;
    const QString Path = Dir.path() + "/fresh.wav";
    TRecorder R;
    ASSERT_TRUE(R.InitDevice(Monitor));
    ASSERT_TRUE(R.Start(MonoWav(), Path));
    // The monitor may deliver its first audio only a second or two after the start.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    R.Stop();
    const TFileTimes Times = R.FileTimes();
    const auto Audio = DecodeAudioFile(Path.toStdString());
    ASSERT_TRUE(Audio);
    const std::vector<int64_t> Onsets = ClickOnsets(*Audio);
    ASSERT_FALSE(Onsets.empty());
    // The last click, when the click source has long settled.
    const double StartErrorMs = FromWholeSecondMs(Times.Start + Onsets.back() * Second / Rate);
    const double SpanMs = (Times.End - Times.Start) / 1e6;
    const double LengthMs = 1000.0 * static_cast<double>(Times.Frames) / Rate;
    std::fprintf(stderr,
                 "fresh capture: first frame dated %+.2f ms from the clicks' time; times span "
                 "%.2f ms for %.2f ms of frames\n",
                 StartErrorMs, SpanMs, LengthMs);
    EXPECT_LE(std::abs(StartErrorMs), 15.0);
    EXPECT_NEAR(SpanMs, LengthMs, 2.0);
}

// A cut at a whole second, recorded from the null sink's monitor while a click plays into it
// at every whole second of the wall clock: the file the cut begins starts on a click, and the
// two files join without a frame lost or doubled.
TEST(TimesOnTheServer, CutBeginsTheNextFileAtTheSecondAsked) {
    TClickSource Clicks(Rate);
    ASSERT_TRUE(Clicks.Running());
    const int Monitor = MonitorDevice();
    ASSERT_GE(Monitor, 0);
    QTemporaryDir Dir;
    const QString OldPath = Dir.path() + "/old.wav";
    const QString NewPath = Dir.path() + "/new.wav";
    const TPreset P = MonoWav();
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
    const double OffsetMs = FromWholeSecondMs((*After - CutFrame) * Second / Rate);
    const double GapMs = 1000.0 * (*After - Before) / Rate;
    // A click left out (its audio asked for late, on a busy machine) moves no other: only told.
    std::fprintf(stderr,
                 "cut: first click of the new file %+.2f ms from a whole second of it; "
                 "clicks around the cut %.2f ms apart; cut time %+.2f ms from the moment asked; "
                 "%d clicks played, %d left out\n",
                 OffsetMs, GapMs, (Cut->CutTime - At) / 1e6, Clicks.Placed(), Clicks.Missed());
    EXPECT_LE(std::abs(OffsetMs), 15.0);
    EXPECT_NEAR(GapMs, 1000.0, 1.0);
    EXPECT_EQ(Cut->NextPath, NewPath);
}
