#include "DialogTestKit.h"
#include "data/uData.h"
#include "support/PulseTestServer.h"
#include "support/ToneFiles.h"
#include "ui/uLog.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The recordings log window playing through the tests' private PulseAudio server, whose
// default sink is the null sink; its monitor carries what the window plays.

namespace {

class Playback : public testing::Test {
protected:
    void SetUp() override { Data = std::make_unique<TLogData>(Dir.filePath("Vantor2026.sqlite")); }
    void TearDown() override { Data.reset(); }

    // Logs Path as the one recording, started at 14:23:00.
    void LogOnly(const QString& Path) {
        QSqlQuery(Data->Connection()).exec("DELETE FROM recordings");
        TPreset P;
        ASSERT_TRUE(Data->GetPreset(1, P));
        Data->LogRecording(P, Started, 1, QFileInfo(Path).fileName(), Path);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TLogData> Data;
    const QDateTime Started{QDate(2026, 3, 5), QTime(14, 23)};
};

} // namespace

// Each format: "Afspelen" is heard as the 1 kHz tone within 2 s, and "Ga naar tijd" to two
// seconds after the start makes the clock show that time.
TEST_F(Playback, EachFormatIsHeardAndGaNaarTijdMovesTheClock) {
    const QStringList Files = WriteToneInEachFormat(Dir.path(), "toon", 5);
    ASSERT_EQ(Files.size(), 4);
    for (const QString& File : Files) {
        SCOPED_TRACE(File.toStdString());
        LogOnly(File);
        TfrmLog Window(Data.get());
        Window.show();
        auto* lblPosition = Window.findChild<QLabel*>("lblPosition");
        EXPECT_EQ(lblPosition->text(), "14:23:00");
        {
            TMonitorRecording Monitor(
                Dir.filePath("gehoord-" + QFileInfo(File).fileName() + ".wav"));
            QTest::mouseClick(Window.findChild<QPushButton*>("btnPlay"), Qt::LeftButton);
            EXPECT_EQ(Window.findChild<QPushButton*>("btnPlay")->text(), "Pauze");
            QTest::qWait(2000);
            const TDecodedAudio Heard = Tail(Monitor.Stop(), 1);
            EXPECT_NEAR(DominantFrequency(Heard), 1000, 25);
            EXPECT_GT(Level(Heard), 0.2);
        }
        QTest::mouseClick(Window.findChild<QPushButton*>("btnPlay"), Qt::LeftButton);
        auto* edtGoTo = Window.findChild<QLineEdit*>("edtGoTo");
        edtGoTo->setText("14:23:02");
        QTest::keyClick(edtGoTo, Qt::Key_Return);
        QTest::qWait(300);
        EXPECT_EQ(lblPosition->text(), "14:23:02");
    }
}

// A file that is missing or not audio gets the Dutch message and nothing else; a clock time
// outside the recording is refused the same way.
TEST_F(Playback, AFileThatCannotPlayGetsADutchMessage) {
    WriteToneWav(Dir.filePath("toon.wav"), {{1000, 5}});
    QFile Text(Dir.filePath("tekst.mp3"));
    ASSERT_TRUE(Text.open(QIODevice::WriteOnly));
    Text.write("geen geluid");
    Text.close();
    const struct {
        QString Path;
        const char* Action;
        QString Message;
    } Cases[] = {
        {Dir.filePath("weg.mp3"), "play", "Bestand niet gevonden: " + Dir.filePath("weg.mp3")},
        {Dir.filePath("tekst.mp3"), "play", "is geen geluidsbestand"},
        {Dir.filePath("toon.wav"), "15:00:00", "15:00:00 valt niet binnen deze opname"},
        {Dir.filePath("toon.wav"), "kwart over", "Typ een tijd als uu:mm:ss"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Action);
        LogOnly(C.Path);
        TfrmLog Window(Data.get());
        Window.show();
        QString Shown;
        const auto Watch = WhenModal<QMessageBox>([&Shown](QMessageBox* Box) {
            Shown = Box->text();
            Box->button(QMessageBox::Ok)->click();
        });
        if (QString(C.Action) == "play") {
            QTest::mouseClick(Window.findChild<QPushButton*>("btnPlay"), Qt::LeftButton);
        } else {
            auto* edtGoTo = Window.findChild<QLineEdit*>("edtGoTo");
            edtGoTo->setText(C.Action);
            QTest::keyClick(edtGoTo, Qt::Key_Return);
        }
        EXPECT_TRUE(Shown.contains(C.Message)) << Shown.toStdString();
        EXPECT_EQ(Window.findChild<QPushButton*>("btnPlay")->text(), "Afspelen");
    }
}
