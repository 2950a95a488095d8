#pragma once

#include <array>
#include <cstdint>
#include <optional>

// The WAV files the recorder writes: a 44-byte header (RIFF, a fmt chunk of 16-bit PCM, the
// data chunk's header), then the samples up to the end of the file. The two size fields say
// "no samples" until the recording stops, or until the repair sets them after a crash.

inline constexpr int64_t WavHeaderBytes = 44;
// The most sample bytes the 32-bit size fields can describe.
inline constexpr int64_t WavMaxDataBytes = UINT32_MAX - 36;

struct TWavFormat {
    uint16_t Channels = 0;
    uint32_t SampleRate = 0;
    uint32_t FrameBytes() const { return Channels * 2u; }
    uint32_t BytesPerSecond() const { return SampleRate * FrameBytes(); }
};

using TWavHeader = std::array<uint8_t, WavHeaderBytes>;

// The header of a file holding DataBytes bytes of samples (at most WavMaxDataBytes count).
TWavHeader MakeWavHeader(const TWavFormat& Format, int64_t DataBytes);
// The format of Header when it is a header the recorder writes, whatever its sizes say; empty
// for anything else.
std::optional<TWavFormat> ParseWavHeader(const TWavHeader& Header);

// One size field of the header: where it lies and what it holds.
struct TWavSizeField {
    int64_t Offset = 0;
    std::array<uint8_t, 4> Bytes{};
};
// The RIFF and the data size field for DataBytes bytes of samples (at most WavMaxDataBytes
// count).
std::array<TWavSizeField, 2> WavSizeFields(int64_t DataBytes);
