// Measures how close to a whole second of the wall clock the recorder begins its next file.
// A click plays into the tests' null sink at every whole second (TClickSource) while the
// recorder records the sink's monitor, 48000 Hz mono WAV, and begins a new file every 3 s, 10
// times: once by a cut on the recording thread at the first frame captured at the second,
// and once the old way, as a 250 ms clock tick did it: the tick that first sees the second
// stops the recording and starts the next file. A file's error is where its first click lies
// against its whole seconds: positive when the file began after the second. Prints each
// error, the median and the largest |error| of both ways, and their ratios.
// Needs the tests' PulseAudio server (PULSE_SERVER); bench/run.sh starts it.

#include "audio/DeviceList.h"
#include "audio/uRecorder.h"
#include "soundlib/FrameTimes.h"
#include "support/AudioCheck.h"
#include "support/ClickSource.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int Rate = 48000;
constexpr int Cuts = 10;
constexpr int64_t Second = 1'000'000'000;
constexpr int64_t CutEvery = 3 * Second;
constexpr int64_t TickPeriod = 250'000'000;

enum class TWay { RecordingThread, ClockTick };

void SleepUntil(int64_t WallNs) {
    const int64_t Left = WallNs - soundlib::RealtimeNanoseconds();
    if (Left > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(Left));
}

// Records Cuts + 1 files into Folder, the way given; their paths, none when the recording
// failed.
std::optional<std::vector<QString>> Record(const QString& Folder, int Device, TWay Way) {
    TPreset P;
    P.Format = afWAV;
    P.SampleRate = Rate;
    P.Channels = 1;
    std::vector<QString> Paths;
    for (int I = 0; I <= Cuts; ++I)
        Paths.push_back(QStringLiteral("%1/%2-%3.wav")
                            .arg(Folder, Way == TWay::ClockTick ? "tick" : "cut")
                            .arg(I));
    TRecorder R;
    if (!R.InitDevice(Device) || !R.Start(P, Paths[0]))
        return std::nullopt;
    // The sink and the streams settle.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    // A tick's phase against the seconds depends on when the program started: one drawn per
    // cut, as many starts would have it.
    std::mt19937 Random(7);
    std::uniform_int_distribution<int64_t> Phase(0, TickPeriod - 1);
    const int64_t First = (soundlib::RealtimeNanoseconds() / Second + 2) * Second;
    for (int I = 1; I <= Cuts; ++I) {
        const int64_t At = First + (I - 1) * CutEvery;
        if (Way == TWay::RecordingThread) {
            if (!R.PrepareCut(P, Paths[I], At))
                return std::nullopt;
            SleepUntil(At);
            // The recording thread makes the cut with the next block: well within a second.
            while (!R.TakeCut()) {
                if (soundlib::RealtimeNanoseconds() > At + Second)
                    return std::nullopt;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        } else {
            SleepUntil(At + Phase(Random));
            R.Stop();
            if (!R.Start(P, Paths[I]))
                return std::nullopt;
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    R.Stop();
    return Paths;
}

// The error of each file after the first, in ms: where its first click lies against its whole
// seconds, negated (a file that begins late finds the second's click behind it).
std::optional<std::vector<double>> Errors(const std::vector<QString>& Paths) {
    std::vector<double> Result;
    for (size_t I = 1; I < Paths.size(); ++I) {
        const auto Audio = DecodeAudioFile(Paths[I].toStdString());
        if (!Audio)
            return std::nullopt;
        const std::vector<int64_t> Onsets = ClickOnsets(*Audio);
        if (Onsets.empty())
            return std::nullopt;
        int64_t Offset = Onsets.front() % Rate;
        if (Offset > Rate / 2)
            Offset -= Rate;
        Result.push_back(-1000.0 * Offset / Rate);
    }
    return Result;
}

struct TSummary {
    double Median = 0;
    double Max = 0;
};

TSummary Summarise(const char* Way, const std::vector<double>& Errors) {
    std::printf("  %-34s", Way);
    std::vector<double> Sizes;
    for (double E : Errors) {
        std::printf(" %+7.2f", E);
        Sizes.push_back(std::abs(E));
    }
    std::sort(Sizes.begin(), Sizes.end());
    const TSummary S{(Sizes[(Sizes.size() - 1) / 2] + Sizes[Sizes.size() / 2]) / 2, Sizes.back()};
    std::printf("\n  %-34s median |error| %.2f ms, max %.2f ms\n", "", S.Median, S.Max);
    return S;
}

} // namespace

int main() {
    TClickSource Clicks(Rate);
    if (!Clicks.Running()) {
        std::printf("cut at the second: the click source does not play\n");
        return 1;
    }
    TDeviceList Devices;
    ListRecordDevices(Devices);
    const auto Monitor = std::find_if(Devices.begin(), Devices.end(), [](const TDeviceEntry& E) {
        return E.Text == "Monitor of Null Output";
    });
    if (Monitor == Devices.end()) {
        std::printf("cut at the second: no monitor of the null sink\n");
        return 1;
    }
    QTemporaryDir Dir;
    const auto Ours = Record(Dir.path(), Monitor->Value, TWay::RecordingThread);
    const auto Reference = Record(Dir.path(), Monitor->Value, TWay::ClockTick);
    const auto OurErrors = Ours ? Errors(*Ours) : std::nullopt;
    const auto ReferenceErrors = Reference ? Errors(*Reference) : std::nullopt;
    if (!OurErrors || !ReferenceErrors) {
        std::printf("cut at the second: a recording failed or holds no click\n");
        return 1;
    }
    std::printf("Cut at the second, %d cuts every 3 s, error in ms (clicks left out: %d)\n", Cuts,
                Clicks.Missed());
    const TSummary Cut = Summarise("cut on the recording thread", *OurErrors);
    const TSummary Tick = Summarise("reference: stop and start on a tick", *ReferenceErrors);
    std::printf("  ratio median %.4f, max %.4f (aim: max <= 15 ms)\n", Cut.Median / Tick.Median,
                Cut.Max / Tick.Max);
    return 0;
}
