#include "soundlib/Encoder.h"

#include <charconv>
#include <optional>
#include <vector>

namespace soundlib {

namespace {

// Bitrates beyond this are certainly a mistake (kilobits taken for bits).
constexpr int MaxKbps = 10000;

// Reads "Flag N", N a whole number of kbit/s, with any blanks around and between.
std::optional<int> ReadBitrate(std::string_view Text, std::string_view Flag) {
    std::vector<std::string_view> Words;
    size_t Pos = 0;
    while (Pos < Text.size()) {
        const size_t Start = Text.find_first_not_of(" \t", Pos);
        if (Start == std::string_view::npos)
            break;
        const size_t End = std::min(Text.find_first_of(" \t", Start), Text.size());
        Words.push_back(Text.substr(Start, End - Start));
        Pos = End;
    }
    if (Words.size() != 2 || Words[0] != Flag)
        return std::nullopt;
    int Kbps = 0;
    const char* Last = Words[1].data() + Words[1].size();
    const auto [Ptr, Ec] = std::from_chars(Words[1].data(), Last, Kbps);
    if (Ec != std::errc() || Ptr != Last || Kbps < 1 || Kbps > MaxKbps)
        return std::nullopt;
    return Kbps;
}

} // namespace

std::unique_ptr<TEncoder> CreateEncoder(TEncoderKind Kind, std::string_view Options,
                                        const TCaptureFormat& Format, const std::string& Path,
                                        int& Error, int& FileErrno) {
    const std::optional<int> Kbps =
        ReadBitrate(Options, Kind == TEncoderKind::Opus ? "--bitrate" : "-b");
    if (!Kbps) {
        Error = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    switch (Kind) {
    case TEncoderKind::Mp3:
        return CreateMp3Encoder(*Kbps, Format, Path, Error, FileErrno);
    case TEncoderKind::Ogg:
        return CreateOggEncoder(*Kbps, Format, Path, Error, FileErrno);
    case TEncoderKind::Opus:
        return CreateOpusEncoder(*Kbps, Format, Path, Error, FileErrno);
    }
    Error = BASS_ERROR_ILLPARAM;
    return nullptr;
}

} // namespace soundlib
