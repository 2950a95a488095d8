#include "control/FreeSpacePolicy.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

int64_t VolumeFreeBytes(const QString& Folder) {
    std::filesystem::path Path = Folder.toStdString();
    std::error_code Error;
    while (!std::filesystem::exists(Path, Error) && Path.has_relative_path())
        Path = Path.parent_path();
    const auto Space = std::filesystem::space(Path, Error);
    if (Error)
        return -1;
    return static_cast<int64_t>(Space.available);
}

namespace FreeSpace {

int64_t HourBytes(const TPreset& P) {
    if (IsEncodedFormat(P.Format))
        return int64_t{P.Bitrate} * 1000 / 8 * 3600;
    return int64_t{P.SampleRate} * P.Channels * 2 * 3600;
}

int64_t Needed(const std::optional<TPreset>& Running) {
    return std::max(Running ? HourBytes(*Running) : 0, OneGiB);
}

bool Low(int64_t FreeBytes, int64_t NeededBytes) {
    return FreeBytes >= 0 && FreeBytes < NeededBytes;
}

int64_t AwaitedForStart(int64_t FreeBytes) {
    return FreeBytes >= 0 && FreeBytes < ResumeBytes ? FreeBytes + ResumeBytes : 0;
}

} // namespace FreeSpace
