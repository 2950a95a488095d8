#pragma once

#include <QDateTime>
#include <QString>

// What keeps the wanted recording from being kept whole.
enum class TTroubleKind {
    CaptureLost,   // the sound server or the device went away; retried every few seconds
    VolumeFull,    // the writes failed on a full volume; retried once room is made
    WritesFailing, // the file does not grow for another reason (an I/O error)
    AudioDropped,  // the disk stalled longer than the capture buffer lasts
    NoAudio,       // the capture is open but brings nothing (a sound server that hangs)
};

// One trouble as the controller raises it: its kind, since when, and its Dutch text.
struct TTrouble {
    TTroubleKind Kind = TTroubleKind::CaptureLost;
    QDateTime Since;
    QString Text;
    bool operator==(const TTrouble&) const = default;
};

// A recording that started or stopped.
struct TRecordingEvent {
    QString FilePath;
    QString PresetName;
    QString Source;
    QDateTime StartedAt;
    int64_t Seconds = 0; // when it stopped: the length logged
};
