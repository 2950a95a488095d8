#include "base/uConfig.h"

#include "base/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

std::unique_ptr<TConfig> Config;

QString WithTrailingDelimiter(QString Folder) {
    if (!Folder.endsWith(u'/'))
        Folder += u'/';
    return Folder;
}

QString AppDir() {
    const QString Exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return WithTrailingDelimiter(QFileInfo(Exe).absolutePath());
}

TConfig::TConfig() : TConfig(AppDir()) {}

TConfig::TConfig(const QString& Folder) {
    const QString Dir = WithTrailingDelimiter(Folder);
    FIniPath = Dir + SettingsFileName;
    FRootFolder = Dir + QStringLiteral("Recordings");
    FDatabasePath = Dir + QStringLiteral("Vantor2026.sqlite");
    Load();
}

void TConfig::Load() {
    TIniFile Ini(FIniPath);
    if (!Ini.Exists()) {
        try {
            Save();
        } catch (const std::exception& E) {
            FWarning = QString::fromUtf8(E.what());
        }
        return;
    }
    QString Error;
    if (!Ini.Read(Error)) {
        FWarning = QStringLiteral("Kan instellingenbestand %1 niet lezen: %2. "
                                  "De standaardinstellingen worden gebruikt.")
                       .arg(FIniPath, Error);
        return;
    }
    FRootFolder =
        Ini.Value(QStringLiteral("Paths"), QStringLiteral("RootFolder")).value_or(FRootFolder);
    FDatabasePath =
        Ini.Value(QStringLiteral("Paths"), QStringLiteral("Database")).value_or(FDatabasePath);
    if (const auto V = Ini.Value(QStringLiteral("Audio"), QStringLiteral("Device")))
        FRecordDevice = ParseIniInteger(*V, FRecordDevice);
    if (const auto V = Ini.Value(QStringLiteral("Audio"), QStringLiteral("Input")))
        FRecordInput = ParseIniInteger(*V, FRecordInput);
    if (const auto V = Ini.Value(QStringLiteral("Schedule"), QStringLiteral("AutoRecord")))
        FAutoRecord = ParseIniInteger(*V, FAutoRecord ? 1 : 0) != 0;
}

void TConfig::Save() {
    TIniFile Ini(FIniPath);
    QString Error;
    // Re-read what the file holds now, so its other sections and comments survive.
    if (Ini.Exists() && !Ini.Read(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet lezen: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
    Ini.SetValue(QStringLiteral("Paths"), QStringLiteral("RootFolder"), FRootFolder);
    Ini.SetValue(QStringLiteral("Paths"), QStringLiteral("Database"), FDatabasePath);
    Ini.SetValue(QStringLiteral("Audio"), QStringLiteral("Device"), QString::number(FRecordDevice));
    Ini.SetValue(QStringLiteral("Audio"), QStringLiteral("Input"), QString::number(FRecordInput));
    Ini.SetValue(QStringLiteral("Schedule"), QStringLiteral("AutoRecord"),
                 FAutoRecord ? QStringLiteral("1") : QStringLiteral("0"));
    if (!Ini.Write(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet opslaan: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
}
