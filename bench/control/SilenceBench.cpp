// Measures what looking for silence costs the recording: the recorder writes 10 minutes of
// 48000 Hz stereo WAV, fed by the scripted capture as fast as it takes it, once with the
// silence level set and once without; the CPU time of each, the lower of three runs, and
// their ratio. The input is a tone below the level, so that the silence count runs on every
// block.

#include "audio/uRecorder.h"
#include "soundlib/ScriptedBackend.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <thread>

namespace {

constexpr int Rate = 48000;
constexpr int Seconds = 600;
constexpr int Runs = 3;

double ProcessCpuSeconds() {
    timespec Now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &Now);
    return double(Now.tv_sec) + Now.tv_nsec / 1e9;
}

// Records Seconds of audio into Path; CPU seconds from the start to the stop.
std::optional<double> Record(const QString& Path, std::optional<int32_t> SilenceLevel) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::ToneSignal(1000, 0.001),
                                      .Speed = 0,
                                      .Block = std::chrono::milliseconds(20)});
    TPreset P;
    P.Format = afWAV;
    P.SampleRate = Rate;
    P.Channels = 2;
    QFile::remove(Path);
    const int64_t Bytes = 44 + int64_t{Rate} * 4 * Seconds;
    const double Before = ProcessCpuSeconds();
    TRecorder Recorder;
    Recorder.SetSilenceLevel(SilenceLevel);
    if (!Recorder.InitDevice(-1) || !Recorder.Start(P, Path))
        return std::nullopt;
    while (QFileInfo(Path).size() < Bytes)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Recorder.Stop();
    return ProcessCpuSeconds() - Before;
}

} // namespace

int main(int Argc, char** Argv) {
    QCoreApplication App(Argc, Argv);
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QStringLiteral("silence.wav"));
    std::optional<double> On;
    std::optional<double> Off;
    for (int I = 0; I < Runs; ++I) {
        const std::optional<double> WithLevel = Record(Path, -50);
        const std::optional<double> Without = Record(Path, std::nullopt);
        if (!WithLevel || !Without) {
            std::printf("silence detection: the recording did not start\n");
            return 1;
        }
        On = std::min(On.value_or(*WithLevel), *WithLevel);
        Off = std::min(Off.value_or(*Without), *Without);
    }
    std::printf("silence detection: %d s of WAV 48 kHz stereo, detection on %.3f s, off %.3f s "
                "CPU: ratio %.3f (aim <= 1.02)\n",
                Seconds, *On, *Off, *On / *Off);
    return 0;
}
