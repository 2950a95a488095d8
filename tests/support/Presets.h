#pragma once

#include "base/uTypes.h"

// A preset of the given format, rate, channels and bitrate (kbit/s), without name or id.
inline TPreset Preset(TAudioFormat Format, int32_t Rate, int32_t Channels, int32_t Bitrate = 0) {
    TPreset P;
    P.Format = Format;
    P.SampleRate = Rate;
    P.Channels = Channels;
    P.Bitrate = Bitrate;
    return P;
}
