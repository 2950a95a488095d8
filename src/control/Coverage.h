#pragma once

#include "data/uData.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// The coverage ledger: for a day, hour by hour, whether the schedule named a preset, how much
// audio the files hold and every stretch that is missing, with its cause. Made from the
// recordings' exact times and the gaps the recorder wrote down as they began; time that no
// file holds and no gap explains is time the program did not run.

enum class TGapCause {
    Capture,      // the capture was lost or brought nothing (sound server, device)
    VolumeFull,   // the volume was full
    Write,        // writing the file failed for another reason
    Dropped,      // lost in the capture queue while the disk stalled
    NotRunning,   // the program did not run
    Stopped,      // stopped by hand
    FormatChange, // the next hour's preset needed another capture
    Clock,        // the wall clock stepped
};

struct TGapCauseNames {
    TGapCause Cause;
    // Stored in the gaps table and printed by --coverage --json: never changed.
    std::string_view Code;
    // What the operator reads.
    std::string_view Dutch;
};

inline constexpr std::array<TGapCauseNames, 8> GapCauses{{
    {TGapCause::Capture, "capture", "geluidsserver weg"},
    {TGapCause::VolumeFull, "volume-full", "schijf vol"},
    {TGapCause::Write, "write", "schrijven mislukt"},
    {TGapCause::Dropped, "dropped", "audio verloren"},
    {TGapCause::NotRunning, "not-running", "programma liep niet"},
    {TGapCause::Stopped, "stopped", "met de hand gestopt"},
    {TGapCause::FormatChange, "format-change", "ander formaat"},
    {TGapCause::Clock, "clock", "klokstap"},
}};

QString GapCauseCode(TGapCause Cause);
QString GapCauseDutch(TGapCause Cause);
std::optional<TGapCause> GapCauseFromCode(const QString& Code);

struct TCoverageGap {
    QDateTime From;
    QDateTime To;
    TGapCause Cause = TGapCause::NotRunning;
    double Seconds() const { return From.msecsTo(To) / 1000.0; }
};

// One clock hour of a day: the autumn hour the clock shows twice is two entries, the spring
// hour that does not exist none.
struct TCoverageHour {
    enum class TState { NotScheduled, Full, Partial, Missing, Future };
    QDateTime Start; // with the offset from UTC in force
    QDateTime End;
    int Hour = 0; // the local clock's hour, 0..23
    bool Scheduled = false;
    // Of the part of the hour that has passed: RecordedSeconds + MissingSeconds is its length
    // (3600 for a whole hour). Both 0 for an hour that is not scheduled.
    double RecordedSeconds = 0;
    double MissingSeconds = 0;
    // The same in whole milliseconds, which add up exactly: the seconds are these / 1000.
    int64_t RecordedMs = 0;
    int64_t MissingMs = 0;
    QVector<TCoverageGap> Gaps; // the missing stretches, in order
    TState State() const;
};

struct TCoverageDay {
    QDate Date;
    QVector<TCoverageHour> Hours;
};

// What a ledger is made from.
struct TCoverageInput {
    QVector<TAudioTimes> Recordings;
    QVector<TGapRow> Gaps;
    // Whether the weekly schedule names a preset for each hour of the day's weekday.
    std::array<bool, 24> Scheduled{};
    // Nothing after Now counts. A recording without an end runs until Now, but no longer than
    // a recording can last: an end never written (a run that stopped without one) claims no
    // audio beyond that. A gap without an end lasts until Now.
    QDateTime Now;
};

// The ledger of local Day from its inputs.
TCoverageDay ComputeCoverage(const QDate& Day, const TCoverageInput& Input);
// The ledger of local Day as the database holds it at Now. Throws EDatabaseError.
TCoverageDay ReadCoverage(TLogData& Data, const QDate& Day, const QDateTime& Now);
// The ledger's entry for the clock hour that began at HourStart (or that holds it), as the
// database holds it at Now: two indexed queries over the hour and one schedule cell, quick
// enough for the end of every hour. Throws EDatabaseError.
TCoverageHour ReadCoverageHour(TLogData& Data, const QDateTime& HourStart, const QDateTime& Now);

// An hour's seconds in tenths as the ledger prints them: the passed length and the missing
// seconds are each rounded, and the recorded ones are what is left, so that the printed
// recorded and missing seconds add up to the printed length of the hour.
int64_t RecordedTenths(const TCoverageHour& Hour);
int64_t MissingTenths(const TCoverageHour& Hour);

// The Dutch table --coverage prints: a heading, one line per hour with its missing stretches
// and their causes, and a total line; numbers with the regional decimal separator.
QString CoverageText(const TCoverageDay& Day);
// The JSON --coverage --json prints, on one line:
// {"date": "2026-03-05", "hours": [{"hour": 14, "start": "2026-03-05T14:00:00.000+01:00",
// "scheduled": true, "recorded_s": 3587.6, "missing_s": 12.4, "gaps": [{"from": "...",
// "to": "...", "cause": "capture"}]}]}
QByteArray CoverageJson(const TCoverageDay& Day);
