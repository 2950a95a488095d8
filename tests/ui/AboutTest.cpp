#include "base/uConfig.h"
#include "ui/uAbout.h"

#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(AboutTest, ShowsTheSettingsFileBesideTheProgramEvenBeforeItExists) {
    const QString IniPath = AppDir() + "Vantor2026.ini";
    ASSERT_FALSE(QFileInfo::exists(IniPath));
    TfrmAbout About;
    EXPECT_EQ(About.findChild<QLabel*>("lblIniPath")->text(), IniPath);
    EXPECT_FALSE(QFileInfo::exists(IniPath));
}

TEST(AboutTest, ShowsTheSettingsFileInUseWhenItLiesInAnotherFolder) {
    QTemporaryDir Dir;
    Config = std::make_unique<TConfig>(Dir.path() + "/studio1");
    TfrmAbout About;
    EXPECT_EQ(About.findChild<QLabel*>("lblIniPath")->text(),
              Dir.path() + "/studio1/Vantor2026.ini");
    Config.reset();
}

TEST(AboutTest, ListsEveryLibraryWithTheVersionLoadedAtRunTime) {
    const QStringList Libraries = UsedLibraries();
    const QStringList Names{"Qt",        "SQLite",  "PulseAudio", "LAME",
                            "libvorbis", "libopus", "libopusenc", "libsndfile"};
    ASSERT_EQ(Libraries.size(), Names.size());
    for (int I = 0; I < Names.size(); ++I) {
        const QStringList Parts = Libraries[I].split(QChar(0x00A0));
        ASSERT_EQ(Parts.size(), 2) << Libraries[I].toStdString();
        EXPECT_EQ(Parts[0], Names[I]);
        EXPECT_TRUE(Parts[1].front().isDigit()) << Libraries[I].toStdString();
    }
    EXPECT_EQ(Libraries[0], QString("Qt") + QChar(0x00A0) + qVersion());

    TfrmAbout About;
    const QString Shown = About.findChild<QLabel*>("lblLibs")->text();
    for (const QString& Library : Libraries)
        EXPECT_TRUE(Shown.contains(Library)) << Library.toStdString();
}

TEST(AboutTest, IsAFixedBoxUnderAnOchreHeader) {
    TfrmAbout About;
    EXPECT_EQ(About.windowTitle(), "Over Vantor 2026");
    EXPECT_EQ(About.size(), QSize(424, 320));
    EXPECT_EQ(About.minimumSize(), About.maximumSize());
    auto* Header = About.findChild<QWidget*>("pnlHeader");
    EXPECT_EQ(Header->geometry(), QRect(0, 0, 424, 80));
    EXPECT_EQ(Header->palette().color(QPalette::Window), QColor(0xBC, 0x75, 0x33));
}

TEST(AboutTest, EnterAndEscapeClose) {
    for (const Qt::Key Key : {Qt::Key_Return, Qt::Key_Escape}) {
        TfrmAbout About;
        constexpr int StillOpen = 99;
        QTimer::singleShot(0, &About, [&About, Key] { QTest::keyClick(&About, Key); });
        QTimer::singleShot(2000, &About, [&About] { About.done(StillOpen); });
        EXPECT_NE(About.exec(), StillOpen) << Key;
    }
}
