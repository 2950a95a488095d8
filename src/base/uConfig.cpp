#include "base/uConfig.h"

#include "base/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

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
        return QStringLiteral("De vrije ruimte moet tussen 0 en %1 MiB liggen (0 zet het "
                              "opruimen op vrije ruimte uit).")
            .arg(TRetentionSettings::MaxMinFreeMB);
    return {};
}

namespace {

using TTextField = QString& (*)(TConfig&);
using TNumberField = int32_t& (*)(TConfig&);
using TFlagField = bool& (*)(TConfig&);

QString FlagText(bool Value) {
    return Value ? QStringLiteral("1") : QStringLiteral("0");
}

// One key of the settings file: where it lies, the field that holds it, and how its text is
// read and written.
struct TSettingKey {
    QString Section;
    QString Name;
    // Takes the file's text into the field; false when the text is out of range and the field
    // kept its value.
    std::function<bool(TConfig&, const QString&)> Read;
    std::function<QString(TConfig&)> Text;
    // Whether the field holds its default. A key the program added to the five is written only
    // once it differs from its default or the file has it, so that a file of the five keys stays
    // one until the operator chooses otherwise. Empty for the five keys: always written.
    std::function<bool(TConfig&)> IsDefault;
};

// Whether Field holds Default; empty without a default (one of the five keys).
template <class T>
std::function<bool(TConfig&)> HoldsDefault(T& (*Field)(TConfig&), std::optional<T> Default) {
    if (!Default)
        return {};
    return [Field, Default](TConfig& C) { return Field(C) == *Default; };
}

TSettingKey TextKey(const char* Section, const char* Name, TTextField Field,
                    std::optional<QString> Default = {}) {
    return {QString::fromLatin1(Section), QString::fromLatin1(Name),
            [Field](TConfig& C, const QString& Text) {
                Field(C) = Text;
                return true;
            },
            [Field](TConfig& C) { return Field(C); }, HoldsDefault(Field, Default)};
}

// A number of the five keys: the integer rule of the settings file; anything else keeps the
// field's value.
TSettingKey IntegerKey(const char* Section, const char* Name, TNumberField Field) {
    return {QString::fromLatin1(Section),
            QString::fromLatin1(Name),
            [Field](TConfig& C, const QString& Text) {
                Field(C) = ParseIniInteger(Text, Field(C));
                return true;
            },
            [Field](TConfig& C) { return QString::number(Field(C)); },
            {}};
}

TSettingKey FlagKey(const char* Section, const char* Name, TFlagField Field,
                    std::optional<bool> Default = {}) {
    return {QString::fromLatin1(Section), QString::fromLatin1(Name),
            [Field](TConfig& C, const QString& Text) {
                Field(C) = ParseIniInteger(Text, Field(C) ? 1 : 0) != 0;
                return true;
            },
            [Field](TConfig& C) { return FlagText(Field(C)); }, HoldsDefault(Field, Default)};
}

// A number of an added section: a whole decimal number that Valid accepts.
TSettingKey RangedKey(const char* Section, const char* Name, TNumberField Field, int32_t Default,
                      std::function<bool(int32_t)> Valid) {
    return {QString::fromLatin1(Section), QString::fromLatin1(Name),
            [Field, Valid](TConfig& C, const QString& Text) {
                const std::optional<int32_t> Value = WholeNumber(Text);
                if (!Value || !Valid(*Value))
                    return false;
                Field(C) = *Value;
                return true;
            },
            [Field](TConfig& C) { return QString::number(Field(C)); },
            HoldsDefault(Field, std::optional(Default))};
}

} // namespace

// Every key of the settings file, in the order a new file lists them; loading and saving both
// go through this one table.
class TSettingsTable {
public:
    static const std::vector<TSettingKey>& Keys() {
        static const TAlarmSettings Alarm;
        static const TRetentionSettings Retention;
        static const std::vector<TSettingKey> Table = {
            TextKey("Paths", "RootFolder", [](TConfig& C) -> QString& { return C.FRootFolder; }),
            TextKey("Paths", "Database", [](TConfig& C) -> QString& { return C.FDatabasePath; }),
            IntegerKey("Audio", "Device", [](TConfig& C) -> int32_t& { return C.FRecordDevice; }),
            IntegerKey("Audio", "Input", [](TConfig& C) -> int32_t& { return C.FRecordInput; }),
            FlagKey("Schedule", "AutoRecord", [](TConfig& C) -> bool& { return C.FAutoRecord; }),
            RangedKey(
                "Alarm", "SilenceSeconds",
                [](TConfig& C) -> int32_t& { return C.FAlarm.SilenceSeconds; },
                Alarm.SilenceSeconds,
                [](int32_t V) {
                    return SilenceSettingsError(V, TAlarmSettings().SilenceLevel).isEmpty();
                }),
            RangedKey(
                "Alarm", "SilenceLevel",
                [](TConfig& C) -> int32_t& { return C.FAlarm.SilenceLevel; }, Alarm.SilenceLevel,
                [](int32_t V) { return SilenceSettingsError(0, V).isEmpty(); }),
            TextKey(
                "Alarm", "Command", [](TConfig& C) -> QString& { return C.FAlarm.Command; },
                Alarm.Command),
            FlagKey(
                "Alarm", "MinimizeToTray",
                [](TConfig& C) -> bool& { return C.FAlarm.MinimizeToTray; }, Alarm.MinimizeToTray),
            RangedKey(
                "Alarm", "ClockUnsyncedMinutes",
                [](TConfig& C) -> int32_t& { return C.FAlarm.ClockUnsyncedMinutes; },
                Alarm.ClockUnsyncedMinutes,
                [](int32_t V) { return V >= 0 && V <= TAlarmSettings::MaxClockUnsyncedMinutes; }),
            RangedKey(
                "Alarm", "MaxGapSeconds",
                [](TConfig& C) -> int32_t& { return C.FAlarm.MaxGapSeconds; }, Alarm.MaxGapSeconds,
                [](int32_t V) { return V >= 0 && V <= TAlarmSettings::MaxGapSecondsLimit; }),
            RangedKey(
                "Retention", "KeepDays",
                [](TConfig& C) -> int32_t& { return C.FRetention.KeepDays; }, Retention.KeepDays,
                [](int32_t V) { return RetentionSettingsError(V, 0).isEmpty(); }),
            RangedKey(
                "Retention", "MinFreeMB",
                [](TConfig& C) -> int32_t& { return C.FRetention.MinFreeMB; }, Retention.MinFreeMB,
                [](int32_t V) { return RetentionSettingsError(0, V).isEmpty(); }),
            FlagKey(
                "Retention", "KeepAnnotated",
                [](TConfig& C) -> bool& { return C.FRetention.KeepAnnotated; },
                Retention.KeepAnnotated),
            TextKey(
                "Metrics", "Listen", [](TConfig& C) -> QString& { return C.FMetricsListen; },
                QString()),
        };
        return Table;
    }
};

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
    QStringList Wrong;
    for (const TSettingKey& Key : TSettingsTable::Keys()) {
        const auto Value = Ini.Value(Key.Section, Key.Name);
        if (!Value)
            continue;
        // Bytes that are no UTF-8 would turn a folder into the name of another one.
        if (!Value->ValidUtf8)
            Wrong << QStringLiteral("[%1] %2 is geen geldige UTF-8-tekst (standaard %3 gebruikt)")
                         .arg(Key.Section, Key.Name, Key.Text(*this));
        else if (!Key.Read(*this, Value->Text))
            Wrong << QStringLiteral("[%1] %2=%3 (standaard %4 gebruikt)")
                         .arg(Key.Section, Key.Name, Value->Text, Key.Text(*this));
    }
    QStringList Warnings;
    if (!Wrong.isEmpty())
        Warnings << QStringLiteral("Ongeldige waarden in %1: %2.")
                        .arg(FIniPath, Wrong.join(QStringLiteral(", ")));
    if (const QStringList Repeated = Ini.Repeats(); !Repeated.isEmpty())
        Warnings << QStringLiteral("Dubbele secties of sleutels in %1: %2. De sleutels van een "
                                   "herhaalde sectie worden gelezen als deel van de eerste; staat "
                                   "een sleutel er twee keer, dan geldt de eerste.")
                        .arg(FIniPath, Repeated.join(QStringLiteral(", ")));
    FWarning = Warnings.join(u' ');
}

void TConfig::Save() {
    TIniFile Ini(FIniPath);
    QString Error;
    // Re-read what the file holds now, so its other sections and comments survive.
    if (Ini.Exists() && !Ini.Read(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet lezen: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
    for (const TSettingKey& Key : TSettingsTable::Keys()) {
        if (Key.IsDefault && Key.IsDefault(*this) && !Ini.Value(Key.Section, Key.Name))
            continue;
        if (!Ini.SetValue(Key.Section, Key.Name, Key.Text(*this)))
            throw std::runtime_error(
                QStringLiteral("Kan instellingenbestand %1 niet opslaan: de waarde van [%2] %3 "
                               "bevat een regeleinde of een ander stuurteken.")
                    .arg(FIniPath, Key.Section, Key.Name)
                    .toStdString());
    }
    if (!Ini.Write(Error))
        throw std::runtime_error(QStringLiteral("Kan instellingenbestand %1 niet opslaan: %2")
                                     .arg(FIniPath, Error)
                                     .toStdString());
}
