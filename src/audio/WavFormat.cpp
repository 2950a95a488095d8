#include "audio/WavFormat.h"

#include "base/LittleEndian.h"

#include <algorithm>

namespace {

constexpr int64_t RiffSizeOffset = 4;
constexpr int64_t DataSizeOffset = 40;
// The RIFF size counts everything after its own field: the rest of the header and the samples.
constexpr uint32_t RiffSizeBeyondData = WavHeaderBytes - 8;

std::array<uint8_t, 4> Le32Bytes(uint32_t Value) {
    std::array<uint8_t, 4> Bytes;
    WriteLittleEndian<uint32_t>(Bytes.data(), Value);
    return Bytes;
}

} // namespace

TWavHeader MakeWavHeader(const TWavFormat& Format, int64_t DataBytes) {
    TWavHeader Header{};
    uint8_t* H = Header.data();
    std::copy_n("RIFF", 4, H);
    std::copy_n("WAVEfmt ", 8, H + 8);
    WriteLittleEndian<uint32_t>(H + 16, 16); // the fmt chunk's size
    WriteLittleEndian<uint16_t>(H + 20, 1);  // PCM
    WriteLittleEndian<uint16_t>(H + 22, Format.Channels);
    WriteLittleEndian<uint32_t>(H + 24, Format.SampleRate);
    WriteLittleEndian<uint32_t>(H + 28, Format.BytesPerSecond());
    WriteLittleEndian<uint16_t>(H + 32, static_cast<uint16_t>(Format.FrameBytes()));
    WriteLittleEndian<uint16_t>(H + 34, 16); // bits per sample
    std::copy_n("data", 4, H + 36);
    for (const TWavSizeField& Field : WavSizeFields(DataBytes))
        std::copy(Field.Bytes.begin(), Field.Bytes.end(), H + Field.Offset);
    return Header;
}

std::optional<TWavFormat> ParseWavHeader(const TWavHeader& Header) {
    const TWavFormat Format{ReadLittleEndian<uint16_t>(Header.data() + 22),
                            ReadLittleEndian<uint32_t>(Header.data() + 24)};
    if (Format.Channels == 0 || Format.SampleRate == 0)
        return std::nullopt;
    // Ours when it is exactly the header written for this format, apart from the sizes.
    TWavHeader Expected = MakeWavHeader(Format, 0);
    for (const TWavSizeField& Field : WavSizeFields(0))
        std::copy_n(Header.begin() + Field.Offset, Field.Bytes.size(),
                    Expected.begin() + Field.Offset);
    return Expected == Header ? std::optional(Format) : std::nullopt;
}

std::array<TWavSizeField, 2> WavSizeFields(int64_t DataBytes) {
    const auto Data = static_cast<uint32_t>(std::clamp<int64_t>(DataBytes, 0, WavMaxDataBytes));
    return {{{RiffSizeOffset, Le32Bytes(Data + RiffSizeBeyondData)},
             {DataSizeOffset, Le32Bytes(Data)}}};
}
