#pragma once

#include <QDateTime>
#include <QString>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

// What keeps the wanted recording from being kept whole, or soon will. LowSpace stays last:
// TroubleKindCount counts from it.
enum class TTroubleKind {
    CaptureLost,   // the sound server or the device went away; retried every few seconds
    VolumeFull,    // the writes failed on a full volume; retried once room is made
    WritesFailing, // the file does not grow for another reason (an I/O error)
    NoAudio,       // the capture is open but brings nothing (a sound server that hangs)
    AudioDropped,  // the disk stalled longer than the capture buffer lasts
    Silence,       // the input stays below the silence level (a pulled cable, a muted mixer)
    Clock,         // the wall clock is not kept synchronised with a time server
    Incomplete,    // a scheduled hour ended with more audio missing than allowed
    LowSpace,      // less free space than one more hour of recording needs
};

constexpr std::size_t TroubleKindCount = static_cast<std::size_t>(TTroubleKind::LowSpace) + 1;

// How a kind of trouble is named, written once for every place that names it.
struct TTroubleKindNames {
    TTroubleKind Kind;
    // The code word: the events table, the alert command's VANTOR_KIND and the metrics' kind
    // label. Stored and relied on by scripts and dashboards: never changed.
    std::string_view Code;
    // What the operator reads in the events window.
    std::string_view Dutch;
    // Told by the information line already (the windowless mode does not repeat it).
    bool InInfoLine;
    // Found at one moment rather than lasting: it begins and ends at once, and is told once,
    // by its end, which carries its text.
    bool Instant;
};

// Every kind, in the order of TTroubleKind.
inline constexpr std::array<TTroubleKindNames, TroubleKindCount> TroubleKinds{{
    {TTroubleKind::CaptureLost, "capture", "opname-ingang weg", false, false},
    {TTroubleKind::VolumeFull, "volume-full", "schijf vol", false, false},
    {TTroubleKind::WritesFailing, "write", "schrijven mislukt", false, false},
    {TTroubleKind::NoAudio, "stalled", "geen geluid ontvangen", false, false},
    {TTroubleKind::AudioDropped, "dropped", "audio verloren", false, false},
    {TTroubleKind::Silence, "silence", "stilte", false, false},
    {TTroubleKind::Clock, "clock", "klok", false, false},
    {TTroubleKind::Incomplete, "incomplete", "uur onvolledig", false, true},
    {TTroubleKind::LowSpace, "low-space", "weinig schijfruimte", true, false},
}};

static_assert(
    [] {
        for (std::size_t K = 0; K < TroubleKinds.size(); ++K)
            if (TroubleKinds[K].Kind != static_cast<TTroubleKind>(K))
                return false;
        return true;
    }(),
    "TroubleKinds holds one entry per kind, in the order of TTroubleKind");

constexpr const TTroubleKindNames& TroubleKindNames(TTroubleKind Kind) {
    return TroubleKinds[static_cast<std::size_t>(Kind)];
}

// The code word of Kind: "capture", "volume-full", "write", "stalled", "dropped", "silence",
// "clock", "incomplete" or "low-space".
QString TroubleKindName(TTroubleKind Kind);
// The Dutch name of Kind, as the operator reads it.
QString TroubleKindDutchName(TTroubleKind Kind);
// The kind whose code word is Code; none for other words (the events table holds others).
std::optional<TTroubleKind> TroubleKindFromName(const QString& Code);

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

// Seconds (not negative) with one decimal and the regional separators, for example "12,4 s".
QString SecondsText(double Seconds);

// The text of a trouble that ended: what it was and how long it lasted; an instant trouble's
// own text.
QString TroubleEndText(const TTrouble& Trouble);

// A recording that started or stopped.
struct TRecordingEvent {
    QString FilePath;
    QString PresetName;
    QString Source;
    QDateTime StartedAt;
    int64_t Seconds = 0; // when it stopped: the length logged
};
