#pragma once

#include "data/uData.h"
#include "support/Presets.h"

// Adds the preset "WAV 8 kHz Mono" to Data and schedules it for every hour of the week; the
// preset with its id.
inline TPreset ScheduleWavEveryHour(TLogData& Data) {
    TPreset P = Preset(afWAV, 8000, 1);
    P.Name = "WAV 8 kHz Mono";
    P.Id = Data.AddPreset(P);
    for (int Day = 1; Day <= 7; ++Day)
        for (int Hour = 0; Hour < 24; ++Hour)
            Data.SetSchedulePreset(Day, Hour, P.Id);
    return P;
}
