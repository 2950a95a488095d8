#pragma once

#include "control/Coverage.h"
#include "control/Trouble.h"

#include <cstdint>
#include <optional>

// The trouble a scheduled hour that has ended raises when more than MaxGapSeconds of it are
// missing (0: any missing tenth of a second), or none. It begins and ends at the end of the
// hour, names the hour, how much is missing and the cause of most of it: "Uur 14:00–15:00
// onvolledig: 12,4 s ontbreekt (geluidsserver weg)".
std::optional<TTrouble> IncompleteHourTrouble(const TCoverageHour& Hour, int32_t MaxGapSeconds);
