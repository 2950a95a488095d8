#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Reading back what the recorder and the sound library wrote.

struct TDecodedAudio {
    int Channels = 0;
    int Rate = 0;
    std::vector<float> Samples; // interleaved, -1.0 to 1.0
    double Seconds() const {
        return Channels && Rate ? double(Samples.size()) / Channels / Rate : 0;
    }
};

// Decodes a WAV, MP3, Ogg Vorbis or Ogg Opus file with libsndfile; nothing if it cannot.
std::optional<TDecodedAudio> DecodeAudioFile(const std::string& Path);

// The frequency, in 25 Hz steps from 100 Hz up to half the rate, that carries the most energy
// in one channel over the middle second (or less) of the audio.
double DominantFrequency(const TDecodedAudio& Audio, int Channel = 0);

// The original input rate recorded in an Ogg Opus file's identification header, or 0.
uint32_t OpusInputRate(const std::string& Path);
// The nominal bitrate (bit/s) in an Ogg Vorbis file's identification header, or 0.
int32_t VorbisNominalBitrate(const std::string& Path);

std::vector<uint8_t> ReadFileBytes(const std::string& Path);
