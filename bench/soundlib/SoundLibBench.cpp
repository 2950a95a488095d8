// Measures the CPU time of the sound library against the reference tools on the same work:
// encoding 10 minutes of 44100 Hz stereo PCM versus `lame -b 128`, `oggenc -b 160` and
// `opusenc --bitrate 96`, and capturing 60 s at 48000 Hz stereo from the sine source into a
// WAV file versus `parecord`. Each library run is paired with a run of its reference, so that
// both see nearly the same moments of a shared machine, in three rounds; the median ratio
// counts.
// Needs the tests' PulseAudio server (PULSE_SERVER); bench/run.sh starts it. With --capture
// it runs the capture alone, once.

#include "audio/DeviceList.h"
#include "audio/uRecorder.h"
#include "soundlib/CaptureBackend.h"
#include "soundlib/ScriptedBackend.h"
#include "soundlib/bass.h"

#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <future>
#include <numbers>
#include <optional>
#include <random>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int Rate = 44100;
constexpr int EncodeSeconds = 600;
constexpr int CaptureSeconds = 60;
constexpr int Rounds = 3;

// CPU seconds of the given clock: CLOCK_PROCESS_CPUTIME_ID or CLOCK_THREAD_CPUTIME_ID.
double CpuSeconds(clockid_t Clock) {
    timespec Now{};
    clock_gettime(Clock, &Now);
    return double(Now.tv_sec) + Now.tv_nsec / 1e9;
}

// Runs a command with its output discarded; its CPU time (user + system) in seconds. With
// StopAfter, it is interrupted (SIGINT) after that time, as an operator would.
std::optional<double> ChildCpuSeconds(std::vector<std::string> Args,
                                      std::optional<std::chrono::seconds> StopAfter = {}) {
    std::vector<char*> Argv;
    for (std::string& A : Args)
        Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t Pid = 0;
    const int Spawned = posix_spawnp(&Pid, Argv[0], &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Spawned != 0)
        return std::nullopt;
    if (StopAfter) {
        std::this_thread::sleep_for(*StopAfter);
        kill(Pid, SIGINT);
    }
    int Status = 0;
    rusage Usage{};
    if (wait4(Pid, &Status, 0, &Usage) != Pid || !WIFEXITED(Status) ||
        (!StopAfter && WEXITSTATUS(Status) != 0))
        return std::nullopt;
    return double(Usage.ru_utime.tv_sec + Usage.ru_stime.tv_sec) +
           (Usage.ru_utime.tv_usec + Usage.ru_stime.tv_usec) / 1e6;
}

// Ten minutes of something like music: a few wandering tones over soft noise.
std::vector<int16_t> MusicLike() {
    std::mt19937 Random(42);
    std::normal_distribution<double> Noise(0, 600);
    std::vector<int16_t> Samples(size_t(Rate) * 2 * EncodeSeconds);
    for (size_t F = 0; F < Samples.size() / 2; ++F) {
        const double T = double(F) / Rate;
        double Tone = 0;
        for (int K = 1; K <= 4; ++K)
            Tone +=
                3000 / K * std::sin(2 * std::numbers::pi * (110.0 * K + 20 * std::sin(T / K)) * T);
        Samples[2 * F] = int16_t(std::clamp(Tone + Noise(Random), -32768.0, 32767.0));
        Samples[2 * F + 1] = int16_t(std::clamp(0.8 * Tone + Noise(Random), -32768.0, 32767.0));
    }
    return Samples;
}

bool WriteWav(const QString& Path, const std::vector<int16_t>& Samples) {
    QFile File(Path);
    if (!File.open(QIODevice::WriteOnly))
        return false;
    const uint32_t Data = uint32_t(Samples.size() * 2);
    auto Le32 = [](uint32_t V) { return QByteArray(reinterpret_cast<const char*>(&V), 4); };
    auto Le16 = [](uint16_t V) { return QByteArray(reinterpret_cast<const char*>(&V), 2); };
    File.write("RIFF" + Le32(Data + 36) + "WAVEfmt " + Le32(16) + Le16(1) + Le16(2) + Le32(Rate) +
               Le32(Rate * 4) + Le16(4) + Le16(16) + "data" + Le32(Data));
    File.write(reinterpret_cast<const char*>(Samples.data()), Data);
    return File.error() == QFile::NoError;
}

std::atomic<size_t> Delivered{0};
// The recording thread's CPU time at the first callback and at the latest.
std::atomic<double> FirstCallbackCpu{0}, LatestCallbackCpu{0};

BOOL CountBytes(HRECORD, const void*, DWORD Length, void*) {
    const double Cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    if (Delivered == 0)
        FirstCallbackCpu = Cpu;
    LatestCallbackCpu = Cpu;
    Delivered += Length;
    return 1;
}

using TStartFile = HENCODE(DWORD, const char*, DWORD, const char*);

// Encodes the samples through the library, fed as fast as it takes them; CPU seconds of the
// encoding: the recording thread's from the first block to the last (reading the queue,
// converting, encoding, writing) and the caller's to start and close the encoder. The scripted
// source feeding the queue stands in for the sound server, whose cost the capture run measures.
std::optional<double> LibraryEncode(const std::vector<int16_t>& Samples, TStartFile* StartFile,
                                    const char* Options, const std::string& Path) {
    soundlib::InstallScriptedBackend({.Signal = soundlib::SamplesSignal(Samples, 2),
                                      .Speed = 0,
                                      .Block = std::chrono::milliseconds(100)});
    if (!BASS_RecordInit(-1))
        return std::nullopt;
    std::remove(Path.c_str()); // the library never writes over an existing file
    Delivered = 0;
    double Caller = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const HRECORD Channel = BASS_RecordStart(Rate, 2, 0, CountBytes, nullptr);
    const HENCODE Encoder = StartFile(Channel, Options, BASS_UNICODE, Path.c_str());
    if (!Channel || !Encoder)
        return std::nullopt;
    Caller = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - Caller;
    while (Delivered < Samples.size() * 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const double Closing = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    BASS_ChannelStop(Channel);
    const bool Ok = BASS_Encode_Stop(Encoder);
    Caller += CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - Closing;
    BASS_Free();
    return Ok ? std::optional(Caller + LatestCallbackCpu - FirstCallbackCpu) : std::nullopt;
}

// Encoding runs one after the other: the scripted source that feeds the library is a busy
// thread of its own, which would slow down a reference running beside it. The capture runs
// at the same time as its reference: both wait on the sound server most of the time.
enum class TPairing { OneAfterTheOther, SideBySide };

// Runs Ours and Theirs, paired as Pairing says, Rounds times; prints each round and the median
// of the rounds' ratios.
template <typename TOurs, typename TTheirs>
void Compare(const char* What, TOurs Ours, const char* Reference, TTheirs Theirs,
             TPairing Pairing = TPairing::OneAfterTheOther) {
    std::vector<double> Ratios;
    std::printf("%s\n", What);
    for (int Round = 1; Round <= Rounds; ++Round) {
        const auto Launch =
            Pairing == TPairing::SideBySide ? std::launch::async : std::launch::deferred;
        std::future<std::optional<double>> Child = std::async(Launch, Theirs);
        const std::optional<double> Library = Ours();
        const std::optional<double> Tool = Child.get();
        if (!Library || !Tool || *Tool <= 0) {
            std::printf("  round %d failed (library %s, %s %s)\n", Round,
                        Library ? "ran" : "failed", Reference, Tool ? "ran" : "failed");
            return;
        }
        Ratios.push_back(*Library / *Tool);
        std::printf("  round %d: library %7.3f s  %-9s %7.3f s  ratio %.3f\n", Round, *Library,
                    Reference, *Tool, Ratios.back());
    }
    std::sort(Ratios.begin(), Ratios.end());
    std::printf("  median ratio %.3f\n", Ratios[Ratios.size() / 2]);
}

// Records CaptureSeconds from the sine source into a WAV file with the recorder, from opening
// the device to closing it; CPU seconds.
std::optional<double> LibraryCapture(const QString& Path) {
    TDeviceList Devices;
    ListRecordDevices(Devices);
    const auto Sine = std::find_if(Devices.begin(), Devices.end(), [](const TDeviceEntry& E) {
        return E.Text == "Sine source at 1000 Hz";
    });
    if (Sine == Devices.end())
        return std::nullopt;
    TPreset P;
    P.Format = afWAV;
    P.SampleRate = 48000;
    P.Channels = 2;
    QFile::remove(Path); // the recorder never writes over an existing file
    const double Before = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    {
        TRecorder Recorder;
        if (!Recorder.InitDevice(Sine->Value) || !Recorder.Start(P, Path))
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::seconds(CaptureSeconds));
        Recorder.Stop();
    }
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - Before;
}

} // namespace

int main(int Argc, char** Argv) {
    QTemporaryDir Dir;
    const std::string Folder = Dir.path().toStdString();
    // --capture: only the library's capture, once, for a profiler (bench/profile.sh).
    if (Argc > 1 && std::string(Argv[1]) == "--capture") {
        const std::optional<double> Seconds = LibraryCapture(Dir.path() + "/capture.wav");
        if (Seconds)
            std::printf("capture %.3f s CPU\n", *Seconds);
        return Seconds ? 0 : 1;
    }
    const std::string Input = Folder + "/input.wav";
    std::printf("Sound library CPU time against the reference tools\n");
    const std::vector<int16_t> Samples = MusicLike();
    if (!WriteWav(QString::fromStdString(Input), Samples)) {
        std::printf("cannot write %s\n", Input.c_str());
        return 1;
    }
    Compare(
        "MP3 -b 128, 10 min 44100 stereo",
        [&] {
            return LibraryEncode(Samples, BASS_Encode_MP3_StartFile, "-b 128", Folder + "/a.mp3");
        },
        "lame",
        [&] {
            return ChildCpuSeconds({"lame", "--quiet", "-b", "128", Input, Folder + "/b.mp3"});
        });
    Compare(
        "OGG -b 160, 10 min 44100 stereo",
        [&] {
            return LibraryEncode(Samples, BASS_Encode_OGG_StartFile, "-b 160", Folder + "/a.ogg");
        },
        "oggenc",
        [&] {
            return ChildCpuSeconds({"oggenc", "-Q", "-b", "160", "-o", Folder + "/b.ogg", Input});
        });
    Compare(
        "OPUS --bitrate 96, 10 min 44100 stereo",
        [&] {
            return LibraryEncode(Samples, BASS_Encode_OPUS_StartFile, "--bitrate 96",
                                 Folder + "/a.opus");
        },
        "opusenc",
        [&] {
            return ChildCpuSeconds(
                {"opusenc", "--quiet", "--bitrate", "96", Input, Folder + "/b.opus"});
        });

    soundlib::InstallCaptureBackend(nullptr); // back to the sound server
    Compare(
        "Capture 60 s 48000 stereo to WAV",
        [&] { return LibraryCapture(Dir.path() + "/capture.wav"); }, "parecord",
        [&] {
            return ChildCpuSeconds({"parecord", "--device=vantor_sine", "--rate=48000",
                                    "--channels=2", "--format=s16le", "--file-format=wav",
                                    Folder + "/parecord.wav"},
                                   std::chrono::seconds(CaptureSeconds));
        },
        TPairing::SideBySide);
    return 0;
}
