#include "audio/uRecorder.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingFixture.h"
#include "support/WaitUntil.h"

using namespace std::chrono_literals;

namespace {

constexpr int64_t MiB = FreeSpace::OneMiB;
constexpr int64_t GiB = FreeSpace::OneGiB;

// The free-space rules on the controller, with the volume's free space given by the test
// instead of a real volume: a warning below one hour of recording (never below 1 GiB), and a
// recording whose writes fail on an almost full volume ended, logged and resumed once room
// is made, while a write failing with room to spare keeps its recording.
class FreeSpaceRules : public testing::Test, public TRecordingFixture {
protected:
    int64_t Free = 0;
};

TEST_F(FreeSpaceRules, LowSpaceWarnsAndAFullVolumeEndsTheRecordingUntilRoomIsMade) {
    const struct {
        const char* Name;
        int64_t Free;
        bool WritesFail;
        bool Low;
        bool Recording;
        const char* Info;
        const char* Trouble;
    } Cases[] = {
        {"room", 10 * GiB, false, false, true, "WAV 16-bit, 48000 Hz, Stereo", ""},
        {"low", GiB - 1, false, true, true,
         "Let op: weinig schijfruimte, minder dan voor een uur opname (", ""},
        {"full", 10 * MiB, true, true, false,
         "Schijf vol om 14:20:00, opname bewaard. Hervat zodra er 78 MB vrij is",
         "Geen opname sinds 14:20:00: schijf vol"},
        {"failing with room", 10 * GiB, true, false, true, nullptr,
         "Schrijven mislukt sinds 14:20:00"},
    };
    TPreset Big = Wav;
    Big.SampleRate = 48000;
    Big.Channels = 2;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        QSqlQuery(Data->Connection()).exec(QStringLiteral("DELETE FROM recordings"));
        Now = Amsterdam("2026-03-05T13:20:00Z");
        Free = C.Free;
        TRecordingController Controller(*Config, Data, Clock(),
                                        [this](const QString&) { return Free; });
        Controller.Startup();
        std::optional<TFileSizeLimit> Limit;
        if (C.WritesFail)
            Limit.emplace(512 * 1024); // above the database's size, below a few seconds of audio
        Controller.StartRecording(Big, Now, ControlText::ByHand);
        ASSERT_TRUE(Controller.IsRecording());
        if (C.WritesFail) {
            ASSERT_TRUE(
                WaitUntil([&] { return !Controller.Recorder()->WriteError().isEmpty(); }, 5s));
        }
        Controller.TimerClockTimer();
        Controller.TimerClockTimer();
        EXPECT_EQ(Controller.Status().FreeSpaceLow, C.Low);
        EXPECT_EQ(Controller.IsRecording(), C.Recording);
        if (C.Info) {
            EXPECT_TRUE(Controller.Status().InfoText.startsWith(C.Info))
                << Controller.Status().InfoText.toStdString();
        }
        EXPECT_EQ(Controller.Status().TroubleText, C.Trouble);
        Limit.reset();
        if (!C.Recording) {
            // 64 MiB more than when the writes failed, and the hour goes on in a new file.
            TickUntil(Controller, Amsterdam("2026-03-05T13:20:10Z"));
            EXPECT_FALSE(Controller.IsRecording()) << "no room made yet";
            Free = 74 * MiB;
            TickUntil(Controller, Amsterdam("2026-03-05T13:20:16Z"));
            EXPECT_TRUE(Controller.IsRecording());
            EXPECT_EQ(LogRows().size(), 2);
        }
        Controller.Shutdown();
    }
}

} // namespace

// The tick comes four times a second; the volume is asked once a second of clock time, and
// again at once when the clock jumps back.
TEST_F(FreeSpaceRules, TheVolumeIsAskedOnceASecond) {
    Now = Amsterdam("2026-03-05T13:20:00Z");
    Free = 10 * GiB;
    int Asked = 0;
    TRecordingController Controller(*Config, Data, Clock(), [&](const QString&) {
        ++Asked;
        return Free;
    });
    Controller.Startup();
    Asked = 0;
    Controller.TimerClockTimer();
    TickUntil(Controller, Amsterdam("2026-03-05T13:20:10Z"));
    EXPECT_EQ(Asked, 10); // 13:20:00 was read by the start-up's own tick
    EXPECT_EQ(Controller.LastFreeBytes(), 10 * GiB);
    Now = Amsterdam("2026-03-05T13:00:00Z");
    Controller.TimerClockTimer();
    EXPECT_EQ(Asked, 11);
}
