#include "audio/uRecorder.h"
#include "control/Coverage.h"
#include "control/PreparedFile.h"
#include "support/RecordingFixture.h"
#include "support/RecordingThreadStall.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The scripted source counts frames (its samples are the frame number), so that a file's
// samples show exactly which audio it holds.
class Continuity : public testing::Test, public TRecordingFixture {
protected:
    Continuity() {
        soundlib::TScript Script;
        Script.Signal = soundlib::CounterSignal();
        Script.WallClock = [Read = LastRead] { return Read->Now(); };
        soundlib::InstallScriptedBackend(Script);
    }

    // The 16-bit samples of a WAV file of the recorder (its header is 44 bytes).
    static std::vector<int16_t> WavSamples(const QString& Path) {
        QFile File(Path);
        EXPECT_TRUE(File.open(QIODevice::ReadOnly)) << Path.toStdString();
        const QByteArray Bytes = File.readAll().mid(44);
        std::vector<int16_t> Samples(Bytes.size() / 2);
        std::memcpy(Samples.data(), Bytes.data(), Samples.size() * 2);
        return Samples;
    }

    QVector<TAudioTimes> Times() {
        return Data->AudioTimesOverlapping(Amsterdam("2026-03-05T00:00:00Z"),
                                           Amsterdam("2026-03-06T00:00:00Z"));
    }
    QVector<TGapRow> Gaps() {
        return Data->GapsOverlapping(Amsterdam("2026-03-05T00:00:00Z"),
                                     Amsterdam("2026-03-06T00:00:00Z"));
    }
};

// At the hour the recording thread ends the file and begins the next with the very next
// frame: no frame is lost or doubled, the two files' times meet, no gap is logged, and the
// first file was prepared before the hour so that the hour itself never waits for the
// database.
TEST_F(Continuity, TheHourCutLosesAndRepeatsNoFrame) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:59:57Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    // Real time for audio on both sides of the cut.
    for (const char* Tick :
         {"2026-03-05T12:59:58Z", "2026-03-05T12:59:59Z", "2026-03-05T12:59:59.900Z"}) {
        Now = Amsterdam(Tick);
        Controller.TimerClockTimer();
        std::this_thread::sleep_for(300ms);
    }
    EXPECT_TRUE(Controller.CutPending());
    QFile Note(Dir.filePath(TPreparedFile::NoteName));
    ASSERT_TRUE(Note.open(QIODevice::ReadOnly)) << "the file made ahead is noted";
    EXPECT_EQ(QString::fromUtf8(Note.readAll()), DayFolder("2026/03/05") + "05032026141.wav");
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:00.250Z"));
    ASSERT_FALSE(Controller.CutPending());
    EXPECT_FALSE(QFileInfo::exists(Note.fileName())) << "and forgotten once it is logged";
    ASSERT_TRUE(Controller.IsRecording());
    std::this_thread::sleep_for(300ms);
    Controller.Shutdown();

    const std::vector<int16_t> Before = WavSamples(DayFolder("2026/03/05") + "05032026131.wav");
    const std::vector<int16_t> After = WavSamples(DayFolder("2026/03/05") + "05032026141.wav");
    ASSERT_GT(Before.size(), 2000u);
    ASSERT_GT(After.size(), 800u);
    EXPECT_EQ(static_cast<uint16_t>(Before.back() + 1), static_cast<uint16_t>(After.front()));
    for (size_t I = 1; I < After.size(); ++I)
        ASSERT_EQ(static_cast<uint16_t>(After[I - 1] + 1), static_cast<uint16_t>(After[I])) << I;

    const QVector<TAudioTimes> Rows = Times();
    ASSERT_EQ(Rows.size(), 2);
    EXPECT_EQ(Rows[0].End, Rows[1].Start);
    EXPECT_EQ(Rows[0].Frames, static_cast<int64_t>(Before.size()));
    EXPECT_EQ(Rows[1].Frames, static_cast<int64_t>(After.size()));
    EXPECT_EQ(Rows[1].Start.toOffsetFromUtc(3600).toString(Qt::ISODateWithMs).left(19),
              "2026-03-05T14:00:00");
    EXPECT_EQ(Rows[0].SampleRate, 8000);
    EXPECT_FALSE(Rows[0].EndEstimated);
    EXPECT_TRUE(Gaps().isEmpty());
}

// A recording thread held up across the hour (a disk that stalls in a write) holds up neither
// the clock tick nor the cut: the ticks go on at once while the cut waits, and once the thread
// goes on it cuts at the hour's frame from the audio that waited in the capture queue.
TEST_F(Continuity, AStalledRecordingThreadHoldsUpNeitherTheTickNorTheCut) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T12:59:58Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    std::this_thread::sleep_for(300ms);
    Now = Amsterdam("2026-03-05T12:59:59.900Z");
    Controller.TimerClockTimer();
    ASSERT_TRUE(Controller.CutPending());
    {
        TRecordingThreadStall Stall;
        ASSERT_TRUE(Stall.Started());
        std::this_thread::sleep_for(300ms); // audio of the new hour waits in the queue
        for (int Tick = 0; Tick < 8; ++Tick) {
            Now = Amsterdam("2026-03-05T13:00:00Z").addMSecs(250 * Tick);
            QElapsedTimer Took;
            Took.start();
            Controller.TimerClockTimer();
            EXPECT_LT(Took.elapsed(), 100) << "tick " << Tick;
        }
        EXPECT_TRUE(Controller.CutPending());
        EXPECT_TRUE(Controller.IsRecording());
    }
    SettleCut(Controller);
    ASSERT_FALSE(Controller.CutPending());
    std::this_thread::sleep_for(200ms);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:02.250Z"));
    Controller.Shutdown();

    const std::vector<int16_t> Before = WavSamples(DayFolder("2026/03/05") + "05032026131.wav");
    const std::vector<int16_t> After = WavSamples(DayFolder("2026/03/05") + "05032026141.wav");
    ASSERT_FALSE(Before.empty());
    ASSERT_FALSE(After.empty());
    EXPECT_EQ(static_cast<uint16_t>(Before.back() + 1), static_cast<uint16_t>(After.front()));
    const QVector<TAudioTimes> Rows = Times();
    ASSERT_EQ(Rows.size(), 2);
    EXPECT_EQ(Rows[0].End, Rows[1].Start);
    EXPECT_TRUE(Gaps().isEmpty());
}

// A capture lost after the hour leaves a hole between the hour's two files: the gap logged
// for it is exactly that hole, with its cause, and the ledger of the hour adds up to 3600 s.
TEST_F(Continuity, ALostCaptureIsAGapOfExactlyTheHoleBetweenTheFiles) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T13:00:01Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    std::this_thread::sleep_for(300ms);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:03Z"));
    soundlib::SetScriptedServerUp(false);
    ASSERT_TRUE(WaitUntil([&] { return !Controller.Recorder()->CaptureAlive(); }, 2s));
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:04Z"));
    ASSERT_FALSE(Controller.IsRecording());
    soundlib::SetScriptedServerUp(true);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:10Z"));
    ASSERT_TRUE(Controller.IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return Controller.Recorder()->FirstFrameTime().has_value(); }, 2s));
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:11Z"));
    Controller.Shutdown();

    const QVector<TAudioTimes> Rows = Times();
    ASSERT_EQ(Rows.size(), 2);
    const QVector<TGapRow> Holes = Gaps();
    ASSERT_EQ(Holes.size(), 1);
    EXPECT_EQ(Holes[0].Cause, "capture");
    EXPECT_EQ(Holes[0].From, Rows[0].End);
    EXPECT_EQ(Holes[0].To, Rows[1].Start);

    const TCoverageHour Hour = ReadCoverageHour(*Data, Amsterdam("2026-03-05T13:00:00Z"),
                                                Amsterdam("2026-03-05T14:00:10Z"));
    EXPECT_TRUE(Hour.Scheduled);
    EXPECT_EQ(Hour.RecordedMs + Hour.MissingMs, 3'600'000);
    ASSERT_GE(Hour.Gaps.size(), 2);
    bool CaptureGap = false;
    for (const TCoverageGap& Gap : Hour.Gaps)
        if (Gap.Cause == TGapCause::Capture) {
            CaptureGap = true;
            EXPECT_EQ(Gap.From, Rows[0].End);
            EXPECT_EQ(Gap.To, Rows[1].Start);
        }
    EXPECT_TRUE(CaptureGap);
}

// The next hour's preset captures at another rate: the file ends at the hour all the same, and
// the time until the new capture runs is a gap of its own cause; a stop by hand is one too.
TEST_F(Continuity, AnotherRateAtTheHourAndAStopByHandAreGapsWithTheirCause) {
    TPreset Wide = Wav;
    Wide.Id = 0;
    Wide.Name = QStringLiteral("WAV 16 kHz Mono");
    Wide.SampleRate = 16000;
    Wide.Id = Data->AddPreset(Wide);
    ScheduleAll(Wav.Id);
    Data->SetSchedulePreset(4, 14, Wide.Id); // Thursday 14:00
    Now = Amsterdam("2026-03-05T12:59:57Z");
    TRecordingController Controller(*Config, Data, Clock());
    Controller.Startup();
    std::this_thread::sleep_for(300ms);
    TickUntil(Controller, Amsterdam("2026-03-05T12:59:59.750Z"));
    std::this_thread::sleep_for(300ms);
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:01Z"));
    ASSERT_TRUE(Controller.IsRecording());
    EXPECT_EQ(Controller.CurrentPreset().SampleRate, 16000);
    ASSERT_TRUE(WaitUntil([&] { return Controller.Recorder()->FirstFrameTime().has_value(); }, 2s));
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:02Z"));
    Controller.ManualStop();
    TickUntil(Controller, Amsterdam("2026-03-05T13:00:03Z"));
    Controller.Shutdown();

    const QVector<TAudioTimes> Rows = Times();
    ASSERT_EQ(Rows.size(), 2);
    const QVector<TGapRow> Holes = Gaps();
    ASSERT_EQ(Holes.size(), 2);
    EXPECT_EQ(Holes[0].Cause, "format-change");
    EXPECT_EQ(Holes[0].From, Rows[0].End);
    // A gap never ends before it began: the new capture may date its first audio a moment
    // before the old file's end.
    EXPECT_EQ(Holes[0].To, std::max(Rows[1].Start, Holes[0].From));
    EXPECT_EQ(Holes[1].Cause, "stopped");
    EXPECT_EQ(Holes[1].From, Rows[1].End);
    EXPECT_TRUE(Holes[1].To.isValid()) << "the end of the run ends what it was missing";
}

// The wall clock set forward while a recording runs: the audio goes on, but the time the clock
// jumped over holds none of it, which is a gap of the step's length; the step itself is told.
TEST_F(Continuity, AStepOfTheClockForwardIsAGapOfItsLength) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T13:20:00Z");
    int64_t Elapsed = 0; // the monotonic clock, which no step moves
    TRecordingController Controller(*Config, Data, Clock(), VolumeFreeBytes,
                                    [&] { return Elapsed; });
    std::vector<TClockStep> Steps;
    QObject::connect(&Controller, &TRecordingController::ClockStepped,
                     [&](const TClockStep& Step) { Steps.push_back(Step); });
    Controller.Startup();
    ASSERT_TRUE(Controller.IsRecording());
    const auto Tick = [&](int64_t Milliseconds, int64_t Step) {
        Elapsed += Milliseconds;
        Now = Now.addMSecs(Milliseconds + Step);
        Controller.TimerClockTimer();
    };
    Tick(250, 0);
    Tick(250, 5000);
    Tick(250, 0);
    Controller.Shutdown();

    ASSERT_EQ(Steps.size(), 1u);
    EXPECT_EQ(Steps[0].Milliseconds, 5000);
    const QVector<TGapRow> Holes = Gaps();
    ASSERT_EQ(Holes.size(), 1);
    EXPECT_EQ(Holes[0].Cause, "clock");
    EXPECT_EQ(Holes[0].From, Steps[0].Before);
    EXPECT_EQ(Holes[0].To, Steps[0].After);
    EXPECT_EQ(Holes[0].From.msecsTo(Holes[0].To), 5000);
}

} // namespace
