#include "ui/DarkStyle.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The style file replaces the built-in look only when Qt parses it as the whole program's
// style sheet; anything else leaves the sheet in force as it was.
TEST(StyleFile, OnlyASheetQtParsesForTheWholeProgramIsApplied) {
    const struct {
        const char* Name;
        QByteArray Content;
        bool Applied;
    } Cases[] = {
        {"valid sheet", "QLabel { color: #ff8800; }\nQPushButton { padding: 4px; }\n", true},
        {"text without selectors", "garbage text", false},
        {"unclosed block", "QLabel { color: red;", false},
        {"not UTF-8", "QLabel { color: red; } /* \xff\xfe */", false},
    };
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("Windows10Dark.vsf");
    auto& App = *qApp;
    for (const auto& C : Cases) {
        App.setStyleSheet(QString());
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
        File.write(C.Content);
        File.close();
        ApplyStyleFile(App, Path);
        EXPECT_EQ(App.styleSheet() == QString::fromUtf8(C.Content), C.Applied) << C.Name;
        EXPECT_EQ(App.styleSheet().isEmpty(), !C.Applied) << C.Name;
    }
    App.setStyleSheet(QString());
    ApplyStyleFile(App, Dir.filePath("ontbreekt.vsf"));
    EXPECT_TRUE(App.styleSheet().isEmpty());
}
