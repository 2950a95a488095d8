#include "base/IniFile.h"
#include "base/uConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& Path) {
    QFile F(Path);
    EXPECT_TRUE(F.open(QIODevice::ReadOnly));
    return F.readAll();
}

void WriteAll(const QString& Path, const QByteArray& Bytes) {
    QFile F(Path);
    ASSERT_TRUE(F.open(QIODevice::WriteOnly));
    F.write(Bytes);
}

class ConfigTest : public testing::Test {
protected:
    QTemporaryDir Dir;
    QString Folder() const { return Dir.path() + u'/'; }
    QString IniPath() const { return Folder() + "Vantor2026.ini"; }
};

} // namespace

TEST_F(ConfigTest, FirstStartWritesTheFiveKeysWithDefaultsInOrder) {
    TConfig C(Dir.path());
    const QByteArray Expected = "[Paths]\n"
                                "RootFolder=" +
                                (Folder() + "Recordings").toUtf8() +
                                "\n"
                                "Database=" +
                                (Folder() + "Vantor2026.sqlite").toUtf8() +
                                "\n"
                                "\n[Audio]\nDevice=-1\nInput=-1\n"
                                "\n[Schedule]\nAutoRecord=1\n";
    EXPECT_EQ(ReadAll(IniPath()), Expected);
    EXPECT_TRUE(C.Warning().isEmpty());
    EXPECT_EQ(C.RecordDevice(), -1);
    EXPECT_TRUE(C.AutoRecord());
}

TEST_F(ConfigTest, LoadReadsValuesByTheIntegerAndBooleanRules) {
    struct Case {
        const char* Device;
        int32_t ExpectedDevice;
        const char* Auto;
        bool ExpectedAuto;
    };
    const Case Cases[] = {
        {"3", 3, "0", false},
        {"$3", 3, "1", true},
        {"0x3", 3, "2", true},
        {"0X1f", 31, "-1", true},
        {"abc", -1, "true", true},
        {"$", -1, "false", true},
        {"0x", -1, "", true},
        {" 7 ", 7, "$0", false},
        {"-2", -2, "0x0", false},
        {"3.5", -1, "1e3", true},
        {"99999999999", -1, "00", false},
        {"$FFFFFFFF", -1, "x", true},
    };
    for (const Case& Cs : Cases) {
        WriteAll(IniPath(), QByteArray("[Audio]\nDevice=") + Cs.Device +
                                "\n[Schedule]\nAutoRecord=" + Cs.Auto + "\n");
        TConfig C(Dir.path());
        EXPECT_EQ(C.RecordDevice(), Cs.ExpectedDevice) << "Device=" << Cs.Device;
        EXPECT_EQ(C.AutoRecord(), Cs.ExpectedAuto) << "AutoRecord=" << Cs.Auto;
    }
}

TEST_F(ConfigTest, LoadToleratesCrlfBomBlanksCaseAndComments) {
    WriteAll(IniPath(),
             "\xEF\xBB\xBF; opmerking\r\n# nog een\r\n[paths]\r\n  rootfolder =  /opnamen/a=b  \r\n"
             "DATABASE=\r\n[AUDIO]\r\nDevice = 0x3\r\n");
    TConfig C(Dir.path());
    EXPECT_EQ(C.RootFolder(), "/opnamen/a=b");
    EXPECT_EQ(C.DatabasePath(), ""); // present but empty: taken as empty
    EXPECT_EQ(C.RecordDevice(), 3);
    EXPECT_EQ(C.RecordInput(), -1);
}

TEST_F(ConfigTest, MissingKeysKeepDefaultsAndTheFileIsNotRewritten) {
    const QByteArray Original = "[Paths]\nDatabase=/db/x.sqlite\n";
    WriteAll(IniPath(), Original);
    TConfig C(Dir.path());
    EXPECT_EQ(C.RootFolder(), Folder() + "Recordings");
    EXPECT_EQ(C.DatabasePath(), "/db/x.sqlite");
    EXPECT_EQ(C.RecordDevice(), -1);
    EXPECT_TRUE(C.AutoRecord());
    EXPECT_EQ(ReadAll(IniPath()), Original);
}

TEST_F(ConfigTest, GarbageAndHugeLinesGiveDefaultsWithoutCrashing) {
    QByteArray Garbage("\xFF\xFE\x00\x01[Audio\n=\n[]\nDevice\n", 22);
    Garbage += "[Audio]\nDevice=" + QByteArray(1 << 20, '7') + "\nInput=\xC3\x28\n";
    Garbage += "[Paths]\nRootFolder=" + QByteArray(1 << 20, 'x') + "\n";
    WriteAll(IniPath(), Garbage);
    TConfig C(Dir.path());
    EXPECT_EQ(C.RecordDevice(), -1);
    EXPECT_EQ(C.RecordInput(), -1);
    EXPECT_EQ(C.RootFolder().size(), 1 << 20);
}

TEST_F(ConfigTest, SaveUpdatesInPlaceAndKeepsOtherContent) {
    WriteAll(IniPath(),
             "; door de beheerder\r\n[Extra]\r\nSleutel=waarde\r\n\r\n[Audio]\r\nInput=4\r\n");
    TConfig C(Dir.path());
    C.SetRecordDevice(2);
    C.SetAutoRecord(false);
    C.Save();
    const QByteArray Saved = ReadAll(IniPath());
    EXPECT_TRUE(Saved.startsWith(
        "; door de "
        "beheerder\r\n[Extra]\r\nSleutel=waarde\r\n\r\n[Audio]\r\nInput=4\r\nDevice=2\r\n"))
        << Saved.constData();
    EXPECT_TRUE(Saved.contains("[Schedule]\r\nAutoRecord=0\r\n"));
    EXPECT_TRUE(Saved.contains("[Paths]\r\nRootFolder="));
    TConfig Again(Dir.path());
    EXPECT_EQ(Again.RecordDevice(), 2);
    EXPECT_EQ(Again.RecordInput(), 4);
    EXPECT_FALSE(Again.AutoRecord());
}

TEST_F(ConfigTest, UnwritableOrUnreadableFilesWarnInDutchAndKeepMemoryValues) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores file permissions";
    QDir().mkpath(Dir.path() + "/ro");
    QFile::setPermissions(Dir.path() + "/ro", QFile::ReadOwner | QFile::ExeOwner);
    TConfig C(Dir.path() + "/ro");
    EXPECT_TRUE(C.Warning().startsWith("Kan instellingenbestand")) << C.Warning().toStdString();
    EXPECT_EQ(C.RecordDevice(), -1);
    EXPECT_THROW(C.Save(), std::runtime_error);
}

TEST_F(ConfigTest, AFolderInPlaceOfTheFileIsReportedNotFatal) {
    // Works as root too: a directory named like the settings file can be neither read nor replaced.
    QDir().mkpath(IniPath());
    TConfig C(Dir.path());
    EXPECT_TRUE(C.Warning().startsWith("Kan instellingenbestand")) << C.Warning().toStdString();
    EXPECT_TRUE(C.Warning().contains(": is een map.")) << C.Warning().toStdString();
    C.SetRecordDevice(5);
    EXPECT_THROW(C.Save(), std::runtime_error);
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
}

// The [Alarm] section: values in range are taken, anything else keeps its default and is
// named in the warning; a missing section means the defaults.
TEST_F(ConfigTest, AddedValuesOutOfRangeKeepTheirDefaultsAndAreNamed) {
    const struct {
        const char* Section;
        TAlarmSettings Alarm;
        TRetentionSettings Retention;
        const char* Warned; // part of the warning, or "" when there is none
    } Cases[] = {
        {"", {}, {}, ""},
        {"[Alarm]\nSilenceSeconds=0\nSilenceLevel=-100\nCommand= /usr/bin/mail-alert \"a b\" \n"
         "MinimizeToTray=1\n[Retention]\nKeepDays=30\nMinFreeMB=2048\nKeepAnnotated=0\n",
         {0, -100, "/usr/bin/mail-alert \"a b\"", true},
         {30, 2048, false},
         ""},
        {"[alarm]\nsilenceseconds=86400\nsilencelevel=-1\n[RETENTION]\nkeepdays=36500\n",
         {86400, -1, "", false},
         {36500, 0, true},
         ""},
        {"[Alarm]\nClockUnsyncedMinutes=0\nMaxGapSeconds=0\n", {60, -50, "", false, 0, 0}, {}, ""},
        {"[Alarm]\nClockUnsyncedMinutes=10080\nMaxGapSeconds=3600\n",
         {60, -50, "", false, 10080, 3600},
         {},
         ""},
        {"[Alarm]\nClockUnsyncedMinutes=-1\n", {}, {}, "ClockUnsyncedMinutes=-1 (standaard 30"},
        {"[Alarm]\nClockUnsyncedMinutes=10081\n", {}, {}, "ClockUnsyncedMinutes=10081"},
        {"[Alarm]\nMaxGapSeconds=2,5\n", {}, {}, "[Alarm] MaxGapSeconds=2,5 (standaard 2"},
        {"[Alarm]\nMaxGapSeconds=3601\n", {}, {}, "MaxGapSeconds=3601"},
        {"[Alarm]\nSilenceSeconds=-5\n",
         {},
         {},
         "[Alarm] SilenceSeconds=-5 (standaard 60 gebruikt)"},
        {"[Alarm]\nSilenceSeconds=86401\n", {}, {}, "SilenceSeconds=86401"},
        {"[Alarm]\nSilenceSeconds=tien\n", {}, {}, "SilenceSeconds=tien"},
        {"[Alarm]\nSilenceLevel=0\n", {}, {}, "SilenceLevel=0 (standaard -50 gebruikt)"},
        {"[Alarm]\nSilenceLevel=-50.5\n", {}, {}, "SilenceLevel=-50.5"},
        {"[Alarm]\nSilenceSeconds=99999999999999\nSilenceLevel=-101\n",
         {},
         {},
         "[Alarm] SilenceSeconds=99999999999999 (standaard 60 gebruikt), [Alarm] "
         "SilenceLevel=-101"},
        {"[Retention]\nKeepDays=-1\n", {}, {}, "[Retention] KeepDays=-1 (standaard 0 gebruikt)"},
        {"[Retention]\nKeepDays=36501\n", {}, {}, "KeepDays=36501"},
        {"[Retention]\nMinFreeMB=veel\n", {}, {}, "[Retention] MinFreeMB=veel (standaard 0"},
        {"[Retention]\nMinFreeMB=99999999999\n", {}, {}, "MinFreeMB=99999999999"},
    };
    for (const auto& C : Cases) {
        WriteAll(IniPath(), QByteArray("[Schedule]\nAutoRecord=1\n") + C.Section);
        const TConfig Loaded(Dir.path());
        EXPECT_EQ(Loaded.Alarm(), C.Alarm) << C.Section;
        EXPECT_EQ(Loaded.Retention(), C.Retention) << C.Section;
        if (*C.Warned)
            EXPECT_TRUE(Loaded.Warning().contains(C.Warned)) << Loaded.Warning().toStdString();
        else
            EXPECT_TRUE(Loaded.Warning().isEmpty()) << Loaded.Warning().toStdString();
    }
}

// A file of the five keys gets an [Alarm] section only once an alarm value differs from its
// default; from then on each key keeps its line.
TEST_F(ConfigTest, AlarmKeysAreWrittenOnceChosen) {
    TConfig C(Dir.path());
    C.Save();
    EXPECT_FALSE(ReadAll(IniPath()).contains("[Alarm]"));
    C.SetAlarm({30, -60, "/opt/alarm.sh --stil", false});
    C.Save();
    EXPECT_TRUE(ReadAll(IniPath()).endsWith("\n[Alarm]\nSilenceSeconds=30\nSilenceLevel=-60\n"
                                            "Command=/opt/alarm.sh --stil\n"));
    C.SetAlarm({});
    C.Save();
    EXPECT_TRUE(
        ReadAll(IniPath()).endsWith("\n[Alarm]\nSilenceSeconds=60\nSilenceLevel=-50\nCommand=\n"));
    EXPECT_EQ(TConfig(Dir.path()).Alarm(), TAlarmSettings());
}

// The clock and gap limits are written once they differ from their defaults, and read back
// as saved.
TEST_F(ConfigTest, ClockAndGapLimitsAreWrittenOnceChosen) {
    TConfig C(Dir.path());
    C.SetAlarm({60, -50, "", false, 0, 10});
    C.Save();
    EXPECT_TRUE(
        ReadAll(IniPath()).endsWith("\n[Alarm]\nClockUnsyncedMinutes=0\nMaxGapSeconds=10\n"))
        << ReadAll(IniPath()).constData();
    EXPECT_EQ(TConfig(Dir.path()).Alarm(), C.Alarm());
}

// A section given twice is read as one, a key given twice counts where it first stands, and
// the warning names each repetition; saving updates each key where it stands.
TEST_F(ConfigTest, ARepeatedSectionIsReadAsOneAndNamedInTheWarning) {
    WriteAll(IniPath(), "[Alarm]\nSilenceSeconds=30\n[Retention]\nKeepDays=5\n"
                        "[alarm]\nSilenceLevel=-60\nSilenceSeconds=40\n");
    TConfig C(Dir.path());
    EXPECT_EQ(C.Alarm(), (TAlarmSettings{30, -60, "", false}));
    EXPECT_EQ(C.Retention().KeepDays, 5);
    EXPECT_TRUE(C.Warning().contains("[alarm] op regel 5 (al op regel 1), [alarm] "
                                     "SilenceSeconds op regel 7 (al op regel 2)"))
        << C.Warning().toStdString();
    EXPECT_TRUE(C.Warning().contains("de eerste")) << C.Warning().toStdString();

    C.SetAlarm({20, -70, "", false});
    C.Save();
    const QByteArray Saved = ReadAll(IniPath());
    EXPECT_TRUE(Saved.startsWith("[Alarm]\nSilenceSeconds=20\n[Retention]\nKeepDays=5\n"
                                 "[alarm]\nSilenceLevel=-70\nSilenceSeconds=40\n"))
        << Saved.constData();
    EXPECT_EQ(TConfig(Dir.path()).Alarm(), C.Alarm());
}

// A value that is not UTF-8 is never taken as a mangled folder: the default stays and the
// warning names the key. Saving leaves the lines it does not change byte for byte.
TEST_F(ConfigTest, AValueThatIsNotUtf8KeepsTheDefaultAndIsNamed) {
    const QByteArray Comment = "; opnamen van caf\xe9 de Wereld\n";
    const QByteArray Other = "[Extra]\nStudio=caf\xe9\n";
    WriteAll(IniPath(),
             Comment + "[Paths]\nRootFolder=/srv/caf\xe9\n[Alarm]\nCommand=/opt/\xff\n" + Other);
    TConfig C(Dir.path());
    EXPECT_EQ(C.RootFolder(), Folder() + "Recordings");
    EXPECT_EQ(C.Alarm().Command, "");
    EXPECT_TRUE(C.Warning().contains("[Paths] RootFolder is geen geldige UTF-8-tekst (standaard " +
                                     Folder() + "Recordings gebruikt)"))
        << C.Warning().toStdString();
    EXPECT_TRUE(C.Warning().contains("[Alarm] Command is geen geldige UTF-8-tekst"))
        << C.Warning().toStdString();

    C.SetRecordDevice(3);
    C.Save();
    const QByteArray Saved = ReadAll(IniPath());
    EXPECT_TRUE(Saved.startsWith(Comment)) << Saved.constData();
    EXPECT_TRUE(Saved.contains(Other)) << Saved.constData();
}

// A line break or another control character in a value would split its line, and the next
// start would read another folder: saving refuses it and leaves the file as it was.
TEST_F(ConfigTest, SaveRefusesAValueWithALineBreak) {
    TConfig C(Dir.path());
    const QByteArray Before = ReadAll(IniPath());
    for (const QString& Root : {QString("/srv/a\nDatabase=/tmp/leeg.sqlite"), QString("/srv/a\rb"),
                                QString("/srv/a\x1b")}) {
        TConfig Changed(Dir.path());
        Changed.SetRootFolder(Root);
        try {
            Changed.Save();
            ADD_FAILURE() << "saved " << Root.toStdString();
        } catch (const std::runtime_error& E) {
            EXPECT_TRUE(QString::fromUtf8(E.what()).contains(
                "[Paths] RootFolder bevat een regeleinde of een ander stuurteken"))
                << E.what();
        }
        EXPECT_EQ(ReadAll(IniPath()), Before);
    }
    EXPECT_EQ(TConfig(Dir.path()).DatabasePath(), C.DatabasePath());
}
