#include "base/uConfig.h"

#include "base/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

std::unique_ptr<TConfig> Config;

std::optional<int32_t> WholeNumber(const QString& Text) {
    bool Ok = false;
    const int32_t Value = Text.trimmed().toInt(&Ok, 10);
    return Ok ? std::optional<int32_t>(Value) : std::nullopt;
}

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

QString RetentionSettingsError(int32_t KeepDays, int32_t MinFreeMB) {
    if (KeepDays < 0 || KeepDays > TRetentionSettings::MaxKeepDays)
        return QStringLiteral("Het aantal dagen moet tussen 0 en %1 liggen (0 zet het "
                              "opruimen op leeftijd uit).")
            .arg(TRetentionSettings::MaxKeepDays);
    if (MinFreeMB < 0 || MinFreeMB > TRetentionSettings::MaxMinFreeMB)
        return QStringLiteral("De vrije ruimte moet tussen 0 en %1 MB liggen (0 zet het "
                              "opruimen op vrije ruimte uit).")
            .arg(TRetentionSettings::MaxMinFreeMB);
    return {};
}

namespace {

const QString AlarmSection = QStringLiteral("Alarm");
const QString RetentionSection = QStringLiteral("Retention");
const QString MetricsSection = QStringLiteral("Metrics");

QString FlagText(bool Value) {
    return Value ? QStringLiteral("1") : QStringLiteral("0");
}

// Reads the keys of a section the program added to the five of the settings file: a missing
// key keeps its default, and so does a value out of its range, which Wrong then names.
class TSectionReader {
public:
    TSectionReader(const TIniFile& Ini, QString Section, QStringList& Wrong)
        : FIni(Ini), FSection(std::move(Section)), FWrong(Wrong) {}

    void Number(const QString& Key, int32_t& Field, const std::function<bool(int32_t)>& Valid) {
        const auto Text = FIni.Value(FSection, Key);
        if (!Text)
            return;
        const std::optional<int32_t> Value = WholeNumber(*Text);
        if (Value && Valid(*Value))
            Field = *Value;
        else
            FWrong << QStringLiteral("[%1] %2=%3 (standaard %4 gebruikt)")
                          .arg(FSection, Key, *Text)
                          .arg(Field);
    }
    void Flag(const QString& Key, bool& Field) const {
        if (const auto Text = FIni.Value(FSection, Key))
            Field = ParseIniInteger(*Text, Field ? 1 : 0) != 0;
    }
    void Text(const QString& Key, QString& Field) const {
        if (const auto Text = FIni.Value(FSection, Key))
            Field = Text->trimmed();
    }

private:
    const TIniFile& FIni;
    QString FSection;
    QStringList& FWrong;
};

// Writes a key of an added section once it differs from its default or the file has it, so
// that a file of the five keys stays one until the operator chooses otherwise.
void SetChosenValue(TIniFile& Ini, const QString& Section, const QString& Key, const QString& Value,
                    bool IsDefault) {
    if (!IsDefault || Ini.Value(Section, Key))
        Ini.SetValue(Section, Key, Value);
}

} // namespace

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
    LoadAddedSections(Ini);
}

void TConfig::LoadAddedSections(const TIniFile& Ini) {
    QStringList Wrong;
    TSectionReader Alarm(Ini, AlarmSection, Wrong);
    Alarm.Number(QStringLiteral("SilenceSeconds"), FAlarm.SilenceSeconds, [](int32_t V) {
        return SilenceSettingsError(V, TAlarmSettings().SilenceLevel).isEmpty();
    });
    Alarm.Number(QStringLiteral("SilenceLevel"), FAlarm.SilenceLevel,
                 [](int32_t V) { return SilenceSettingsError(0, V).isEmpty(); });
    Alarm.Text(QStringLiteral("Command"), FAlarm.Command);
    Alarm.Flag(QStringLiteral("MinimizeToTray"), FAlarm.MinimizeToTray);
    TSectionReader Retention(Ini, RetentionSection, Wrong);
    Retention.Number(QStringLiteral("KeepDays"), FRetention.KeepDays,
                     [](int32_t V) { return RetentionSettingsError(V, 0).isEmpty(); });
    Retention.Number(QStringLiteral("MinFreeMB"), FRetention.MinFreeMB,
                     [](int32_t V) { return RetentionSettingsError(0, V).isEmpty(); });
    Retention.Flag(QStringLiteral("KeepAnnotated"), FRetention.KeepAnnotated);
    TSectionReader(Ini, MetricsSection, Wrong).Text(QStringLiteral("Listen"), FMetricsListen);
    if (!Wrong.isEmpty())
        FWarning = QStringLiteral("Ongeldige waarden in %1: %2.")
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
    Ini.SetValue(QStringLiteral("Schedule"), QStringLiteral("AutoRecord"), FlagText(FAutoRecord));
    const TAlarmSettings Alarm;
    SetChosenValue(Ini, AlarmSection, QStringLiteral("SilenceSeconds"),
                   QString::number(FAlarm.SilenceSeconds),
                   FAlarm.SilenceSeconds == Alarm.SilenceSeconds);
    SetChosenValue(Ini, AlarmSection, QStringLiteral("SilenceLevel"),
                   QString::number(FAlarm.SilenceLevel), FAlarm.SilenceLevel == Alarm.SilenceLevel);
    SetChosenValue(Ini, AlarmSection, QStringLiteral("Command"), FAlarm.Command,
                   FAlarm.Command.isEmpty());
    SetChosenValue(Ini, AlarmSection, QStringLiteral("MinimizeToTray"),
                   FlagText(FAlarm.MinimizeToTray), !FAlarm.MinimizeToTray);
    const TRetentionSettings Retention;
    SetChosenValue(Ini, RetentionSection, QStringLiteral("KeepDays"),
                   QString::number(FRetention.KeepDays), FRetention.KeepDays == Retention.KeepDays);
    SetChosenValue(Ini, RetentionSection, QStringLiteral("MinFreeMB"),
                   QString::number(FRetention.MinFreeMB),
                   FRetention.MinFreeMB == Retention.MinFreeMB);
    SetChosenValue(Ini, RetentionSection, QStringLiteral("KeepAnnotated"),
                   FlagText(FRetention.KeepAnnotated), FRetention.KeepAnnotated);
    SetChosenValue(Ini, MetricsSection, QStringLiteral("Listen"), FMetricsListen,
                   FMetricsListen.isEmpty());
    if (!Ini.Write(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet opslaan: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
}
