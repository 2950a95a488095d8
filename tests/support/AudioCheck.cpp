#include "support/AudioCheck.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>

std::optional<TDecodedAudio> DecodeAudioFile(const std::string& Path) {
    SF_INFO Info{};
    SNDFILE* File = sf_open(Path.c_str(), SFM_READ, &Info);
    if (!File)
        return std::nullopt;
    TDecodedAudio Audio;
    Audio.Channels = Info.channels;
    Audio.Rate = Info.samplerate;
    std::vector<float> Chunk(4096 * size_t(Info.channels));
    for (;;) {
        const sf_count_t Frames = sf_readf_float(File, Chunk.data(), 4096);
        if (Frames <= 0)
            break;
        Audio.Samples.insert(Audio.Samples.end(), Chunk.begin(),
                             Chunk.begin() + Frames * Info.channels);
    }
    sf_close(File);
    return Audio;
}

namespace {

// Energy of one frequency in Samples (Hann window), by the Goertzel recurrence.
double Energy(const std::vector<double>& Samples, double Hz, int Rate) {
    const double Coefficient = 2 * std::cos(2 * std::numbers::pi * Hz / Rate);
    double Previous = 0, BeforePrevious = 0;
    for (double Sample : Samples) {
        const double Current = Sample + Coefficient * Previous - BeforePrevious;
        BeforePrevious = Previous;
        Previous = Current;
    }
    return Previous * Previous + BeforePrevious * BeforePrevious -
           Coefficient * Previous * BeforePrevious;
}

} // namespace

double DominantFrequency(const TDecodedAudio& Audio, int Channel) {
    const size_t Frames = Audio.Samples.size() / Audio.Channels;
    const size_t Length = std::min<size_t>(Frames, Audio.Rate);
    const size_t Start = (Frames - Length) / 2;
    std::vector<double> Window(Length);
    for (size_t I = 0; I < Length; ++I) {
        const double Hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * I / (Length - 1));
        Window[I] = Hann * Audio.Samples[(Start + I) * Audio.Channels + Channel];
    }
    double Best = 0, BestEnergy = -1;
    for (double Hz = 100; Hz < Audio.Rate / 2.0; Hz += 25) {
        const double E = Energy(Window, Hz, Audio.Rate);
        if (E > BestEnergy) {
            BestEnergy = E;
            Best = Hz;
        }
    }
    return Best;
}

std::vector<uint8_t> ReadFileBytes(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), {}};
}

namespace {

uint32_t Le32(const std::vector<uint8_t>& Bytes, size_t At) {
    return Bytes[At] | Bytes[At + 1] << 8 | Bytes[At + 2] << 16 | uint32_t(Bytes[At + 3]) << 24;
}

// Offset of Magic in the first 200 bytes (the first page), or npos.
size_t FindHeader(const std::vector<uint8_t>& Bytes, const std::string& Magic) {
    const auto End = Bytes.begin() + std::min<size_t>(Bytes.size(), 200);
    const auto It = std::search(Bytes.begin(), End, Magic.begin(), Magic.end());
    return It == End ? std::string::npos : size_t(It - Bytes.begin());
}

} // namespace

uint32_t OpusInputRate(const std::string& Path) {
    const std::vector<uint8_t> Bytes = ReadFileBytes(Path);
    const size_t At = FindHeader(Bytes, "OpusHead");
    return At == std::string::npos || At + 16 > Bytes.size() ? 0 : Le32(Bytes, At + 12);
}

int32_t VorbisNominalBitrate(const std::string& Path) {
    const std::vector<uint8_t> Bytes = ReadFileBytes(Path);
    const size_t At = FindHeader(Bytes, "\x01vorbis");
    // type and "vorbis" (7), version (4), channels (1), rate (4), maximum (4), nominal (4)
    return At == std::string::npos || At + 24 > Bytes.size() ? 0 : int32_t(Le32(Bytes, At + 20));
}
