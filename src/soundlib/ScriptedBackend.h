#pragma once

#include "soundlib/FrameTimes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// A capture backend for tests: the devices and the audio they hear are given by the test and
// delivered on a thread of the backend, like a sound server does. The program never links it.

namespace soundlib {

struct TScriptedDevice {
    std::string Name;
    bool Enabled = true;
};

// The audio every scripted device hears, as one signal over time: writes Frames frames of
// Channels interleaved samples at Rate, starting at frame Pos of the signal, and returns how
// many it wrote, fewer once the signal has ended. Called on the backend's thread; it should
// depend on its arguments only.
using TScriptedSignal = std::function<uint32_t(uint64_t Pos, int16_t* Out, uint32_t Frames,
                                               uint32_t Rate, uint32_t Channels)>;

TScriptedSignal SilenceSignal();
// Plays the interleaved Samples (of SourceChannels channels) once, then ends. A capture with
// more channels repeats the last source channel; one with fewer takes the first ones.
TScriptedSignal SamplesSignal(std::vector<int16_t> Samples, uint32_t SourceChannels);
// The 16-bit PCM samples of a WAV file, once; throws std::runtime_error if it is unreadable.
TScriptedSignal WavFileSignal(const std::string& Path);
// A sine of Hz at Amplitude (fraction of full scale) in every channel.
TScriptedSignal ToneSignal(double Hz, double Amplitude);
// Frame number Pos as the samples: mono holds its low 16 bits, stereo the low 16 bits left
// and the next 16 bits right.
TScriptedSignal CounterSignal();

struct TScript {
    std::vector<TScriptedDevice> Devices{{"Testbron", true}};
    TScriptedSignal Signal = SilenceSignal();
    // 1: real time; 4: four times as fast; 0: as fast as the library takes it. While no capture
    // runs the signal goes on at this speed, so that a new capture starts with current audio.
    double Speed = 1.0;
    std::chrono::milliseconds Block{10};
    // When each block entered the source. With SignalEpoch, frame Pos of the signal entered at
    // SignalEpoch plus Pos at the capture's rate (ns since the epoch); otherwise each block is
    // dated by WallClock when it is delivered, less its own length.
    std::optional<int64_t> SignalEpoch;
    std::function<int64_t()> WallClock = RealtimeNanoseconds;
    // When nonzero, BASS_RecordStart fails with this error code.
    int StartError = 0;
    // Runs on the caller's thread whenever a device is asked to start a capture, before it
    // does (not when the library continues a capture that lingers after a stop).
    std::function<void()> OnStart = nullptr;
};

// Makes the library capture from Script from now on (releasing what it held, as BASS_Free).
void InstallScriptedBackend(TScript Script);
// Up = false simulates losing the sound server: running captures die, and devices can be
// neither listed, opened nor started until it is back (Up = true).
void SetScriptedServerUp(bool Up);
// Hung = true simulates a sound server that stops answering without going away (a stopped
// process): captures, running or started meanwhile, deliver nothing but stay alive. Once it
// goes on (Hung = false) they deliver again, first what they missed, at once, as a server
// that continues does.
void SetScriptedServerHung(bool Hung);

} // namespace soundlib
