#include "base/uConfig.h"

#include "base/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <optional>
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

QString SilenceSettingsError(int32_t SilenceSeconds, int32_t SilenceLevel) {
    if (SilenceSeconds < 0 || SilenceSeconds > TAlarmSettings::MaxSilenceSeconds)
        return QStringLiteral("De stilteduur moet tussen 0 en %1 seconden liggen (0 zet de "
                              "stiltedetectie uit).")
            .arg(TAlarmSettings::MaxSilenceSeconds);
    if (SilenceLevel < TAlarmSettings::MinSilenceLevel ||
        SilenceLevel > TAlarmSettings::MaxSilenceLevel)
        return QStringLiteral("Het stilteniveau moet tussen %1 en %2 dBFS liggen.")
            .arg(TAlarmSettings::MinSilenceLevel)
            .arg(TAlarmSettings::MaxSilenceLevel);
    return {};
}

namespace {

const QString AlarmSection = QStringLiteral("Alarm");

// A whole decimal number, blanks around it allowed; nothing else.
std::optional<int32_t> ParseWholeNumber(const QString& Text) {
    bool Ok = false;
    const int32_t Value = Text.trimmed().toInt(&Ok, 10);
    return Ok ? std::optional<int32_t>(Value) : std::nullopt;
}

} // namespace

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
    LoadAlarm(Ini);
}

void TConfig::LoadAlarm(const TIniFile& Ini) {
    const TAlarmSettings Defaults;
    QStringList Wrong;
    // A value out of its range keeps the default, and the operator is told which one.
    const auto ReadNumber = [&](const QString& Key, int32_t& Field, int32_t Default,
                                const auto& Valid) {
        const auto Text = Ini.Value(AlarmSection, Key);
        if (!Text)
            return;
        const std::optional<int32_t> Value = ParseWholeNumber(*Text);
        if (Value && Valid(*Value))
            Field = *Value;
        else
            Wrong << QStringLiteral("%1=%2 (standaard %3 gebruikt)").arg(Key, *Text).arg(Default);
    };
    ReadNumber(
        QStringLiteral("SilenceSeconds"), FAlarm.SilenceSeconds, Defaults.SilenceSeconds,
        [](int32_t V) { return SilenceSettingsError(V, TAlarmSettings().SilenceLevel).isEmpty(); });
    ReadNumber(QStringLiteral("SilenceLevel"), FAlarm.SilenceLevel, Defaults.SilenceLevel,
               [](int32_t V) { return SilenceSettingsError(0, V).isEmpty(); });
    FAlarm.Command =
        Ini.Value(AlarmSection, QStringLiteral("Command")).value_or(QString()).trimmed();
    if (const auto V = Ini.Value(AlarmSection, QStringLiteral("MinimizeToTray")))
        FAlarm.MinimizeToTray = ParseIniInteger(*V, 0) != 0;
    if (!Wrong.isEmpty())
        FWarning = QStringLiteral("Ongeldige waarden in [Alarm] van %1: %2.")
                       .arg(FIniPath, Wrong.join(QStringLiteral(", ")));
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
    // A file of the five keys stays one until an alarm setting is chosen.
    const TAlarmSettings Defaults;
    const auto SetAlarmValue = [&](const QString& Key, const QString& Value, bool IsDefault) {
        if (!IsDefault || Ini.Value(AlarmSection, Key))
            Ini.SetValue(AlarmSection, Key, Value);
    };
    SetAlarmValue(QStringLiteral("SilenceSeconds"), QString::number(FAlarm.SilenceSeconds),
                  FAlarm.SilenceSeconds == Defaults.SilenceSeconds);
    SetAlarmValue(QStringLiteral("SilenceLevel"), QString::number(FAlarm.SilenceLevel),
                  FAlarm.SilenceLevel == Defaults.SilenceLevel);
    SetAlarmValue(QStringLiteral("Command"), FAlarm.Command, FAlarm.Command.isEmpty());
    SetAlarmValue(QStringLiteral("MinimizeToTray"),
                  FAlarm.MinimizeToTray ? QStringLiteral("1") : QStringLiteral("0"),
                  !FAlarm.MinimizeToTray);
    if (!Ini.Write(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet opslaan: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
}
