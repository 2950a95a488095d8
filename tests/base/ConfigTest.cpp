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
