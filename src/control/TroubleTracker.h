#pragma once

#include "control/Trouble.h"

#include <QDateTime>
#include <cstdint>
#include <vector>

// What one tick saw of the wanted recording.
struct TTroubleSigns {
    bool Recording = false;
    // The recording is not running and waits for its retry; WaitsForRoom: for free space.
    bool RetryPending = false;
    bool WaitsForRoom = false;
    bool WritesFail = false;
    // The retry waits because the last start could not make its file or folder.
    bool StartFileFails = false;
    // Audio the running recording lost, and how long its capture has brought nothing.
    double DroppedSeconds = 0;
    double SecondsWithoutAudio = 0;
    // How long the input has stayed below the silence level, and how long makes silence
    // (0: silence is not looked for).
    double SilentSeconds = 0;
    int32_t SilenceLimit = 0;
    // How long the wall clock has gone unsynchronised, how long makes trouble (0: it is not
    // looked for), and how far off it may be by now.
    double ClockUnsyncedSeconds = 0;
    int32_t ClockUnsyncedLimit = 0;
    int64_t ClockMaxErrorMicroseconds = 0;
    // Free space below FreeSpaceNeeded, which the low-space trouble's text names.
    bool FreeSpaceLow = false;
    int64_t FreeSpaceNeeded = 0;
    // The recording the trouble concerns: the running one, or the one that was stopped.
    QString File;
};

// Decides, tick by tick, which trouble is in force, since when, and with which text. Each kind
// begins and ends on its own; the first in force is the one the status shows.
class TTroubleTracker {
public:
    // A capture that brings no audio for this long is trouble of its own.
    static constexpr double NoAudioSeconds = 3;

    struct TChange {
        std::vector<TTrouble> Ended;
        std::vector<TTrouble> Began;
    };

    // Takes in what the tick at Moment saw and tells which kinds ended (with Until set to
    // Moment) and which began.
    TChange Update(const QDateTime& Moment, const TTroubleSigns& Signs);
    // The trouble in force, the most serious first.
    const std::vector<TTrouble>& Current() const { return FCurrent; }
    // The text the trouble line shows: the most serious trouble's, empty without trouble. Low
    // space has a line of its own, the free space drawn as a warning.
    QString Text() const;

private:
    // Moment's trouble of Kind; one that lasts keeps the moment it began.
    QDateTime SinceFor(TTroubleKind Kind, const QDateTime& Moment) const;

    // Consecutive ticks with a stopped recording or failing writes, and when they began.
    int FStoppedTicks = 0;
    QDateTime FStoppedSince;
    std::vector<TTrouble> FCurrent;
};
