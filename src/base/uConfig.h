#pragma once

#include <QString>
#include <cstdint>
#include <memory>

// The settings file's name; it lies beside the executable.
inline const QString SettingsFileName = QStringLiteral("Vantor2026.ini");

// Folder with exactly one trailing '/' (added when missing).
QString WithTrailingDelimiter(QString Folder);
// The executable's folder with exactly one trailing '/'.
QString AppDir();

// The settings kept outside the database, in "Vantor2026.ini" beside the executable.
class TConfig {
public:
    // Reads the settings file beside the executable, or creates it with the defaults.
    TConfig();
    // The same for a settings file in another folder (tests, or a copy of the program).
    explicit TConfig(const QString& Folder);

    // Reads the five keys of an existing file; creates a missing one. Never rewrites a file
    // that exists. A file that cannot be read or created leaves Warning() set.
    void Load();
    // Writes the five keys in place, keeping everything else the file holds, and syncs it.
    // Throws std::runtime_error with a Dutch message when the file cannot be written.
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

    // What went wrong with the settings file during Load, in Dutch; empty when nothing did.
    const QString& Warning() const { return FWarning; }

private:
    QString FIniPath;
    QString FRootFolder;
    QString FDatabasePath;
    int32_t FRecordDevice = -1;
    int32_t FRecordInput = -1;
    bool FAutoRecord = true;
    QString FWarning;
};

// The program's one settings object; created first in main and released at exit.
extern std::unique_ptr<TConfig> Config;
