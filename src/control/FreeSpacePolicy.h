#pragma once

#include "base/uTypes.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

// Free space for recordings in bytes on the volume of a folder; -1 when it cannot be read.
// The program reads the file system (VolumeFreeBytes); tests pass their own. The tick and a
// retention run's thread each call a copy of the probe, possibly at the same moment: a probe
// must allow that.
using TFreeSpaceProbe = std::function<int64_t(const QString& Folder)>;

// The space available to this user on the volume of Folder, or of its nearest existing
// parent when Folder does not exist yet; -1 when it cannot be read. Keeps no state, so any
// thread may call it, several at once. Blocks as long as the file system takes to answer.
int64_t VolumeFreeBytes(const QString& Folder);

namespace FreeSpace {
constexpr int64_t OneMiB = int64_t{1} << 20;
constexpr int64_t OneGiB = int64_t{1} << 30;
// After the volume filled up, a new recording waits until this much more is free than when
// the writes failed.
constexpr int64_t ResumeBytes = 64 * OneMiB;

// The bytes one hour of P writes.
int64_t HourBytes(const TPreset& P);
// Below this the operator is warned: one hour of the running preset, never less than 1 GiB.
int64_t Needed(const std::optional<TPreset>& Running);
// Known, and below what is needed: the operator is warned, and a recording whose writes
// failed is taken as stopped by a full volume (with more room, the failure has another cause).
bool Low(int64_t FreeBytes, int64_t NeededBytes);
// What a retry after a full volume waits for: 0 (nothing) unless the volume has almost no
// room left (below ResumeBytes), then ResumeBytes more than is free now.
int64_t AwaitedForStart(int64_t FreeBytes);
} // namespace FreeSpace
