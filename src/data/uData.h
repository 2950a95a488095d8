#pragma once

#include "base/uTypes.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <QVector>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

// An error of the database engine; what() is the engine's message (UTF-8).
class EDatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A logged recording whose duration was never written: its run ended without a stop.
struct TUnfinishedRecording {
    int32_t Id = 0;
    QString Path;
    TAudioFormat Format = afWAV;
};

// A logged recording as the retention rules see it.
struct TLoggedFile {
    int32_t Id = 0;
    QDateTime StartedAt; // local time; invalid when the row's time cannot be read
    QString Path;
    bool Annotated = false; // it has a title or persons
    QString StoredAt;       // the row's time as stored, where the next page of the log begins
};

// A row for the events log.
struct TEventRow {
    QDateTime At;
    QString Event;
    QString Kind;
    QString Text;
    QString FilePath;
};

// A recording's audio on the wall clock, to the millisecond: from the moment its first frame
// entered the source to the moment after its last frame, each with the offset from UTC then in
// force, so that the autumn hour the clock shows twice stays two distinct hours.
struct TAudioTimes {
    int32_t RecordingId = 0;
    QDateTime Start;
    QDateTime End; // invalid while it records
    int64_t Frames = 0;
    int32_t SampleRate = 0;
    // How much faster (positive) or slower the sound card ran than the wall clock over the file,
    // in parts per million; none when the file was too short to tell or the end is estimated.
    std::optional<double> DriftPpm;
    // The kernel's time status at the start: whether the clock was synchronised, and the most
    // it may be off in microseconds; none when it could not be read.
    std::optional<bool> ClockSynced;
    std::optional<int64_t> ClockMaxErrorMicroseconds;
    // The end was worked out afterwards (a repair after a run that ended without a stop).
    bool EndEstimated = false;
};

// A stretch of time without audio whose cause the recorder knew: From, until To (invalid while
// it lasts), because of Cause (a code word such as "capture" or "stopped").
struct TGapRow {
    int64_t Id = 0;
    QDateTime From;
    QDateTime To;
    QString Cause;
};

// A statement with its named values.
struct TStatement {
    QString Sql;
    QVector<std::pair<QString, QVariant>> Values;
};

// What the recordings log window is narrowed to. From and To are local days, both included; an
// invalid date leaves that end open. Text is looked for as typed, its % and _ included, in the
// title, the persons, the preset's name and the file name, in either case (beyond A to Z: as
// long as the matched part holds such letters in one case); empty lets every row through.
struct TLogFilter {
    QDate From;
    QDate To;
    QString Text;
};

// The listings of the log windows run newest first; their first column is the row's id and
// their second its moment as stored, which together say where a row stands.
constexpr int ListingIdColumn = 0;
constexpr int ListingMomentColumn = 1;
// The headings of the listings' columns that the windows read back by name.
namespace ListingColumn {
inline const QString Moment = QStringLiteral("Datum/tijd");
inline const QString Title = QStringLiteral("Titel");
inline const QString Persons = QStringLiteral("Personen");
inline const QString Kind = QStringLiteral("Soort");
inline const QString FilePath = QStringLiteral("filepath");
} // namespace ListingColumn

// Where a page of a listing begins: below the row with this moment and id; at the top when
// both are null.
struct TPageStart {
    QVariant Moment;
    QVariant Id;
};

// Rows of a listing, read to the end so that no statement stays open: an unfinished read
// would hold a lock that keeps other programs from writing the file.
struct TListingPage {
    QSqlRecord Columns; // the names, which the windows show as headings
    QVector<QVector<QVariant>> Rows;
};

// Where the page below Row begins.
TPageStart PageStartBelow(const QVector<QVariant>& Row);

// At most Limit recordings that Filter lets through, below After, with the column names the
// recordings log window shows as headings. A negative Limit reads to the end.
TStatement RecordingsListing(const TLogFilter& Filter, const TPageStart& After, int Limit);
// How many recordings Filter lets through.
TStatement RecordingsCount(const TLogFilter& Filter);
// At most Limit events below After, with the column names the events window shows as headings.
TStatement EventsListing(const TPageStart& After, int Limit);

// The one object that owns the connection to the SQLite database with the presets, the
// weekly schedule and the recordings log. Used on the user-interface thread only. Every
// operation throws EDatabaseError on an engine error; nothing is caught here.
class TLogData {
public:
    // Opens (creating when missing) the database and its folder, creates the tables and
    // seeds the two default presets into an empty preset table.
    explicit TLogData(const QString& DbPath);
    ~TLogData();
    TLogData(const TLogData&) = delete;
    TLogData& operator=(const TLogData&) = delete;

    // The open connection, for callers that run their own statements. Never close it.
    QSqlDatabase Connection() const;
    // How long a statement waits for another connection's lock before it fails.
    static constexpr int BusyTimeoutMilliseconds = 5000;
    void SetBusyTimeout(int Milliseconds);

    void LoadPresets(TPresetList& List);
    int32_t AddPreset(const TPreset& P);
    void UpdatePreset(const TPreset& P);
    void DeletePreset(int32_t Id);
    void MovePreset(int32_t Id, int32_t Direction);
    bool GetPreset(int32_t Id, TPreset& P);

    int32_t GetSchedulePreset(int32_t Day, int32_t Hour);
    void SetSchedulePreset(int32_t Day, int32_t Hour, int32_t PresetId);

    int32_t LogRecording(const TPreset& P, const QDateTime& StartedAt, int32_t RecNumber,
                         const QString& FileName, const QString& FilePath);
    void UpdateRecordingMeta(int32_t Id, const QString& Title, const QString& Persons);
    void SetRecordingDuration(int32_t Id, int32_t Seconds);
    // Adds a row to the events log: trouble that began or ended, a report of an hour that ended
    // incomplete, a step of the clock, an alert command that ran, a repair at start-up. Event
    // says which ("begin", "einde", "melding", "stap", "opdracht", "herstel"), Kind what it
    // concerns, FilePath the recording (empty when none).
    void LogEvent(const QDateTime& At, const QString& Event, const QString& Kind,
                  const QString& Text, const QString& FilePath = QString());
    // Whether a logged recording names the file FilePath.
    bool IsLogged(const QString& FilePath);
    // How many recordings are logged for the local date and hour of Moment.
    int32_t CountRecordingsInHour(const QDateTime& Moment);
    // Every logged recording, the oldest first.
    QVector<TLoggedFile> LoggedFilesOldestFirst();
    // Every logged recording whose duration is still 0.
    QVector<TUnfinishedRecording> UnfinishedRecordings();
    // Writes the wall-clock times of a recording (a row of its own, replaced when written again).
    void SetAudioTimes(const TAudioTimes& Times);
    // The times of every recording whose audio overlaps [From, To); a recording still running
    // (no end) overlaps from its start on. The earliest start first.
    QVector<TAudioTimes> AudioTimesOverlapping(const QDateTime& From, const QDateTime& To);
    // The times of the recordings whose end is not written, the earliest start first.
    QVector<TAudioTimes> AudioTimesWithoutEnd();
    // Records a gap that began at From for Cause; To invalid while it lasts. Returns its id.
    int64_t LogGap(const QDateTime& From, const QDateTime& To, const QString& Cause);
    // Ends the gap Id at To.
    void CloseGap(int64_t Id, const QDateTime& To);
    // Ends every gap still open at To (what a run that ended without a stop left open).
    void CloseOpenGaps(const QDateTime& To);
    // Every gap that overlaps [From, To); an open one overlaps from its start on. The earliest
    // first.
    QVector<TGapRow> GapsOverlapping(const QDateTime& From, const QDateTime& To);
    // Every row of a listing statement, read to the end.
    TListingPage ReadPage(const TStatement& Listing);
    // The number a counting statement yields.
    int32_t Count(const TStatement& Counting);

private:
    // A prepared statement with its named values bound, executed; throws on an engine error.
    QSqlQuery Run(const QString& Sql,
                  std::initializer_list<std::pair<const char*, QVariant>> Values = {});
    QSqlQuery Run(const TStatement& Statement);
    // The first column of the statement's first row; a null QVariant when it yields none.
    QVariant Single(const QString& Sql,
                    std::initializer_list<std::pair<const char*, QVariant>> Values = {});
    void CreateSchema();
    void SeedDefaultPresets();
    void Close();

    QString FConnectionName;
    QSqlDatabase FConn;
};

// Statements of one scope wait for another connection's lock at most Milliseconds (Unchanged:
// as the database's own setting says); the setting is restored at the end of the scope.
class TBusyWait {
public:
    static constexpr int Unchanged = -1;
    TBusyWait(TLogData& Data, int Milliseconds);
    ~TBusyWait();
    TBusyWait(const TBusyWait&) = delete;
    TBusyWait& operator=(const TBusyWait&) = delete;

private:
    TLogData& FData;
    bool FChanged;
};

// A connection of its own to the database file at DbPath, for the retention rules on their own
// thread: it reads the logged recordings oldest first a page at a time and adds the events of a
// run a batch at a time. Used only on the thread that opened it. A lock held by another
// connection is waited for BusyMilliseconds at most; every operation throws EDatabaseError on an
// engine error.
class TRetentionData {
public:
    static constexpr int BusyMilliseconds = 2000;

    explicit TRetentionData(const QString& DbPath);
    ~TRetentionData();
    TRetentionData(const TRetentionData&) = delete;
    TRetentionData& operator=(const TRetentionData&) = delete;

    // At most Limit logged recordings below After in the order of the log (from the first when
    // After is null), the oldest first; when Before is valid, none that started after the hour
    // of Before.
    QVector<TLoggedFile> LoggedFilesAfter(const TPageStart& After, const QDateTime& Before,
                                          int Limit);
    // Adds Rows to the events log in one transaction: all of them or none.
    void LogEvents(const QVector<TEventRow>& Rows);

private:
    QString FConnectionName;
    QSqlDatabase FConn;
};

// The version of the SQLite library the database driver has loaded.
QString SqliteVersion();

// The operator's text for an engine error: the common SQLite result codes (Code, as the
// driver gives it) in Dutch; any other error as "databasefout" with the engine's own English
// text in brackets, so that nothing is hidden.
QString EngineErrorText(const QString& Code, const QString& EngineText);
// Throws EngineErrorText of the error as EDatabaseError; the driver's text stands in for the
// engine's where the engine said nothing (for example when the SQLite driver of Qt is missing).
[[noreturn]] void RaiseEngineError(const QSqlError& Error);

// The open database Data points to; throws EDatabaseError "Er is geen database geopend." when
// it points to none.
TLogData& RequireDatabase(TLogData* Data);

// A moment as the times tables store it: ISO 8601 with milliseconds and the offset from UTC,
// "2026-03-05T14:00:00.000+01:00"; and back (invalid for any other text).
QString ExactTimeText(const QDateTime& Moment);
QDateTime ExactTimeFromText(const QString& Text);

// "yyyy-mm-dd hh:nn:ss" and "yyyy-mm-dd" of a moment in local time, as the log stores them;
// each ':' is the regional time separator (TimeSeparator).
QString DateTimeText(const QDateTime& Moment);
QString DateText(const QDateTime& Moment);
// The local moment a DateTimeText names, whatever separators it has; invalid when it names none.
QDateTime DateTimeFromText(const QString& Text);
