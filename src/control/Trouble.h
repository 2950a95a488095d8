#pragma once

#include <QDateTime>
#include <QString>

// What keeps the wanted recording from being kept whole, or soon will.
enum class TTroubleKind {
    CaptureLost,   // the sound server or the device went away; retried every few seconds
    VolumeFull,    // the writes failed on a full volume; retried once room is made
    WritesFailing, // the file does not grow for another reason (an I/O error)
    NoAudio,       // the capture is open but brings nothing (a sound server that hangs)
    AudioDropped,  // the disk stalled longer than the capture buffer lasts
    Silence,       // the input stays below the silence level (a pulled cable, a muted mixer)
    LowSpace,      // less free space than one more hour of recording needs
};

// The kind's name for commands and the events log: "capture", "volume-full", "write",
// "stalled", "dropped", "silence" or "low-space".
QString TroubleKindName(TTroubleKind Kind);

// One trouble as the controller raises it: its kind, since when, its Dutch text and the
// recording it concerns (empty when none). Once it ended, Until says when.
struct TTrouble {
    TTroubleKind Kind = TTroubleKind::CaptureLost;
    QDateTime Since;
    QString Text;
    QString File;
    QDateTime Until;
    bool operator==(const TTrouble&) const = default;
};

// The text of a trouble that ended: what it was and how long it lasted.
QString TroubleEndText(const TTrouble& Trouble);

// A recording that started or stopped.
struct TRecordingEvent {
    QString FilePath;
    QString PresetName;
    QString Source;
    QDateTime StartedAt;
    int64_t Seconds = 0; // when it stopped: the length logged
};
