#pragma once

#include "base/uTypes.h"

#include <QString>
#include <cstdint>
#include <optional>

// Start-up repair of recordings that a crash or a power loss cut short.

struct TWavRepair {
    bool Rewritten = false;  // the two size fields did not describe the file and were rewritten
    int64_t DataBytes = 0;   // whole frames of sample data in the file
    int64_t DurationSec = 0; // DataBytes as whole seconds of audio
};

// Checks a WAV file as the recorder writes it (44-byte header, then the data chunk) and, when
// its RIFF and data sizes do not match the file's length, rewrites both from the length,
// counting whole frames only. Nothing is appended, moved or cut. Empty for a file that is
// missing, unreadable or not such a WAV file.
std::optional<TWavRepair> RepairWavHeader(const QString& Path);

// The playing time of an MP3, OGG or OPUS recording in whole seconds, read from the file's
// headers and its last page (Ogg) or its first frame (MP3) without decoding; empty when the
// file does not tell.
std::optional<int64_t> EncodedDurationSec(const QString& Path, TAudioFormat Format);

// The playing time in whole seconds of a recording of Format, read from its file as above (a
// WAV header that does not describe the file is set right first); empty when the file does
// not tell.
std::optional<int64_t> RecordedDurationSec(const QString& Path, TAudioFormat Format);

// Whether the file at Path holds no audio: a WAV file no longer than its header (whose sizes say
// nothing after a crash), an empty file, or an encoded file that decodes to no frame. A link, or
// a file that cannot be read or decoded, is taken to hold some.
bool HoldsNoAudio(const QString& Path);
