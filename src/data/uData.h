#pragma once

#include "base/uTypes.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>
#include <cstdint>
#include <initializer_list>
#include <memory>
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
};

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
    // Adds a row to the events log: trouble that began or ended, an alert command that ran,
    // a repair at start-up. Event says which ("begin", "einde", "opdracht", "herstel"), Kind
    // what it concerns, FilePath the recording (empty when none).
    void LogEvent(const QDateTime& At, const QString& Event, const QString& Kind,
                  const QString& Text, const QString& FilePath = QString());
    // How many recordings are logged for the local date and hour of Moment.
    int32_t CountRecordingsInHour(const QDateTime& Moment);
    // Every logged recording, the oldest first.
    QVector<TLoggedFile> LoggedFilesOldestFirst();
    // Every logged recording whose duration is still 0.
    QVector<TUnfinishedRecording> UnfinishedRecordings();

private:
    // A prepared statement with its named values bound, executed; throws on an engine error.
    QSqlQuery Run(const QString& Sql,
                  std::initializer_list<std::pair<const char*, QVariant>> Values = {});
    // The first column of the statement's first row; a null QVariant when it yields none.
    QVariant Single(const QString& Sql,
                    std::initializer_list<std::pair<const char*, QVariant>> Values = {});
    void CreateSchema();
    void SeedDefaultPresets();
    void Close();

    QString FConnectionName;
    QSqlDatabase FConn;
};

// The statement of the recordings log window: every recording, newest first, with the
// column names the window shows as headings. Run unchanged on Connection().
inline const QString LogListingSql = QStringLiteral(
    "SELECT id, rec_dt AS \"Datum/tijd\", rec_hour AS \"Uur\", rec_number AS \"Nr\", format "
    "AS \"Formaat\", preset_name AS \"Preset\", title AS \"Titel\", persons AS \"Personen\", "
    "duration_sec AS \"Duur(s)\", filepath FROM recordings ORDER BY rec_dt DESC, id DESC");

// The statement of the events window: every event, newest first, with the column names the
// window shows as headings. Run unchanged on Connection().
inline const QString EventListingSql = QStringLiteral(
    "SELECT id, event_dt AS \"Datum/tijd\", event AS \"Gebeurtenis\", kind AS \"Soort\", text "
    "AS \"Omschrijving\", filepath AS \"Bestand\" FROM events ORDER BY event_dt DESC, id DESC");

// The version of the SQLite library the database driver has loaded.
QString SqliteVersion();

// Throws the engine's own message as EDatabaseError; the driver's text only where the engine
// said nothing (for example when the SQLite driver of Qt is missing).
[[noreturn]] void RaiseEngineError(const QSqlError& Error);

// The program's one database object, owned by the main window; empty when no database is open.
extern std::unique_ptr<TLogData> LogData;

// The open database object; throws EDatabaseError "Er is geen database geopend." when LogData
// is empty.
TLogData& RequireLogData();

// "yyyy-mm-dd hh:nn:ss" and "yyyy-mm-dd" of a moment in local time, as the log stores them;
// each ':' is the regional time separator (TimeSeparator).
QString DateTimeText(const QDateTime& Moment);
QString DateText(const QDateTime& Moment);
// The local moment a DateTimeText names, whatever separators it has; invalid when it names none.
QDateTime DateTimeFromText(const QString& Text);
