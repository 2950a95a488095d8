#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

// The settings file's name; it lies in the program's data folder (the executable's by default).
inline const QString SettingsFileName = QStringLiteral("Vantor2026.ini");

// A whole decimal number, blanks around it allowed; none for anything else, also for a number
// beyond 32 bits. The rule for every number the operator types or the added sections hold.
std::optional<int32_t> WholeNumber(const QString& Text);

// Folder with exactly one trailing '/' (added when missing).
QString WithTrailingDelimiter(QString Folder);
// The executable's folder with exactly one trailing '/'.
QString AppDir();

// The dead-air alarm and the alert command, section [Alarm] of the settings file.
struct TAlarmSettings {
    // Seconds the input must stay below SilenceLevel before it counts as silent; 0: off.
    int32_t SilenceSeconds = 60;
    // The peak level in dBFS below which the input counts as silent.
    int32_t SilenceLevel = -50;
    // The program (with its arguments) run when trouble begins or ends; empty: none.
    QString Command;
    // Minimising the window hides it in the system tray.
    bool MinimizeToTray = false;
    // Minutes the wall clock may go unsynchronised with a time server before that is trouble;
    // 0: off.
    int32_t ClockUnsyncedMinutes = 30;
    // Seconds a scheduled hour may miss before that is trouble when it ends; 0: any.
    int32_t MaxGapSeconds = 2;
    bool operator==(const TAlarmSettings&) const = default;

    static constexpr int32_t MaxSilenceSeconds = 86400;
    static constexpr int32_t MinSilenceLevel = -100;
    static constexpr int32_t MaxSilenceLevel = -1;
    static constexpr int32_t MaxClockUnsyncedMinutes = 10080;
    static constexpr int32_t MaxGapSecondsLimit = 3600;
};

// What is wrong with the two silence values, in Dutch; empty when both lie in their range.
QString SilenceSettingsError(int32_t SilenceSeconds, int32_t SilenceLevel);

// The deletion of old recordings, section [Retention] of the settings file; off by default.
struct TRetentionSettings {
    // Recordings that started more than this many days ago are deleted; 0: off.
    int32_t KeepDays = 0;
    // While the recording volume has less free space than this many MiB (units of 1,048,576
    // bytes, whatever the key's name says), the oldest are deleted; 0: off.
    int32_t MinFreeMB = 0;
    // A recording with a title or persons is never deleted.
    bool KeepAnnotated = true;
    bool operator==(const TRetentionSettings&) const = default;

    static constexpr int32_t MaxKeepDays = 36500;
    static constexpr int32_t MaxMinFreeMB = 16 * 1024 * 1024;
};

// What is wrong with the two retention values, in Dutch; empty when both lie in their range.
QString RetentionSettingsError(int32_t KeepDays, int32_t MinFreeMB);

// The settings kept outside the database, in "Vantor2026.ini" in the program's data folder.
class TConfig {
public:
    // Reads the settings file in Folder, or creates it with the defaults; the default database
    // and recordings folder lie in Folder too.
    explicit TConfig(const QString& Folder);

    // Reads the five keys and the added sections of an existing file; creates a missing one.
    // Never rewrites a file that exists. A file that cannot be read or created, a value out of
    // its range or not UTF-8 (the default stays in force), or a section that appears twice
    // leaves Warning() set.
    void Load();
    // Writes the five keys in place, keeping everything else the file holds, and syncs it.
    // The keys of the added sections are written once they differ from their defaults or the
    // file has them.
    // Throws std::runtime_error with a Dutch message when the file cannot be written, or when a
    // value holds a line break or another control character (the file stays as it was).
    void Save();

    const QString& RootFolder() const { return FRootFolder; }
    void SetRootFolder(const QString& Value) { FRootFolder = Value; }
    const QString& DatabasePath() const { return FDatabasePath; }
    void SetDatabasePath(const QString& Value) { FDatabasePath = Value; }
    int32_t RecordDevice() const { return FRecordDevice; }
    void SetRecordDevice(int32_t Value) { FRecordDevice = Value; }
    int32_t RecordInput() const { return FRecordInput; }
    void SetRecordInput(int32_t Value) { FRecordInput = Value; }
    bool AutoRecord() const { return FAutoRecord; }
    void SetAutoRecord(bool Value) { FAutoRecord = Value; }
    const TAlarmSettings& Alarm() const { return FAlarm; }
    void SetAlarm(const TAlarmSettings& Value) { FAlarm = Value; }
    const TRetentionSettings& Retention() const { return FRetention; }
    void SetRetention(const TRetentionSettings& Value) { FRetention = Value; }
    // Where the Prometheus metrics are served ([Metrics] Listen, "host:port"); empty: off.
    const QString& MetricsListen() const { return FMetricsListen; }
    void SetMetricsListen(const QString& Value) { FMetricsListen = Value; }

    // What went wrong with the settings file during Load, in Dutch; empty when nothing did.
    const QString& Warning() const { return FWarning; }
    // The full path of the settings file in use.
    const QString& IniPath() const { return FIniPath; }

private:
    // The table of the file's keys reaches the fields it reads and writes.
    friend class TSettingsTable;

    QString FIniPath;
    QString FRootFolder;
    QString FDatabasePath;
    int32_t FRecordDevice = -1;
    int32_t FRecordInput = -1;
    bool FAutoRecord = true;
    TAlarmSettings FAlarm;
    TRetentionSettings FRetention;
    QString FMetricsListen;
    QString FWarning;
};

// The program's one settings object; created first in main and released at exit.
extern std::unique_ptr<TConfig> Config;
