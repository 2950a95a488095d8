#include "base/ErrorReport.h"
#include "base/RegionalText.h"
#include "control/RecordingSession.h"
#include "support/RecordingFixture.h"
#include "ui/uMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next modal message box with the button captioned Answer, and records what
// the box showed. Stops looking when it goes out of scope.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(const QString& Answer) {
        FPoll.setInterval(10);
        QObject::connect(&FPoll, &QTimer::timeout, [this, Answer] {
            auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!Box)
                return;
            FPoll.stop();
            Shown = true;
            Title = Box->windowTitle();
            Text = Box->text();
            Icon = Box->icon();
            for (QAbstractButton* B : Box->buttons())
                Buttons << B->text();
            if (Box->defaultButton())
                DefaultButton = Box->defaultButton()->text();
            for (QAbstractButton* B : Box->buttons())
                if (B->text() == Answer)
                    B->click();
        });
        FPoll.start();
    }

    bool Shown = false;
    QString Title;
    QString Text;
    QStringList Buttons;
    QString DefaultButton;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;

private:
    QTimer FPoll;
};

class MainWindow : public testing::Test, public TRecordingFixture {
protected:
    template <typename T> static T* Child(QObject& Parent, const char* Name) {
        T* Found = Parent.findChild<T*>(QString::fromLatin1(Name));
        EXPECT_NE(Found, nullptr) << Name;
        return Found;
    }
    static QString Text(QObject& Parent, const char* Name) {
        QLabel* Label = Child<QLabel>(Parent, Name);
        return Label ? Label->text() : QString();
    }
};

TEST_F(MainWindow, StartUpReplacesEveryPlaceholder) {
    Now = Amsterdam("2026-03-05T13:20:07Z");
    TfrmMain Main(Clock());
    EXPECT_EQ(Main.windowTitle(), "Vantor 2026");
    EXPECT_EQ(Text(Main, "lblTime"), "14:20:07");
    EXPECT_EQ(Text(Main, "lblDate"), DateDisplayText(QDate(2026, 3, 5)));
    EXPECT_EQ(Text(Main, "lblFile"), "");
    EXPECT_EQ(Text(Main, "lblInfo"), "Klaar.");
    EXPECT_EQ(Text(Main, "lblSource"), "Wachten op interne klok...");
    EXPECT_TRUE(Text(Main, "lblFree").startsWith("Vrije Schijfruimte : "));
    EXPECT_TRUE(Text(Main, "lblFree").endsWith(" MB") || Text(Main, "lblFree").endsWith(" GB"));
    EXPECT_EQ(Text(Main, "lblFormat"), "Geen opname");
    EXPECT_EQ(Text(Main, "lblLogo"), "VANTOR 2026 Beta");
    EXPECT_EQ(Text(Main, "StatusBarPanel"), "Vantor 2026");
    for (QLabel* Label : Main.findChildren<QLabel*>())
        for (const char* Placeholder :
             {"00/00/0000", "00:00:00", "Bestandsnaam", "Info", "Bron", "Vrije Schijfruimte :"})
            EXPECT_NE(Label->text(), Placeholder) << Label->objectName().toStdString();
}

TEST_F(MainWindow, LayoutSizesFontsAndAnchors) {
    Now = Amsterdam("2026-03-05T13:20:07Z");
    TfrmMain Main(Clock());
    Main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main));
    EXPECT_EQ(Main.centralWidget()->height() + Main.statusBar()->height(), 401);
    EXPECT_EQ(Main.centralWidget()->width(), 592);
    EXPECT_EQ(Child<QWidget>(Main, "pnlTop")->height(), 168);
    EXPECT_EQ(Child<QWidget>(Main, "pbMeters")->geometry(), QRect(260, 16, 316, 96));
    const QRect Logo = Child<QWidget>(Main, "lblLogo")->geometry();
    EXPECT_EQ(Logo.right(), 567);
    EXPECT_EQ(Logo.top(), 120);
    EXPECT_EQ(Logo.height(), 21);
    EXPECT_GE(Logo.width(), 168);
    EXPECT_GE(Logo.width(), Child<QWidget>(Main, "lblLogo")->sizeHint().width());
    EXPECT_EQ(Child<QWidget>(Main, "lblFormat")->geometry(), QRect(300, 144, 268, 19));
    EXPECT_EQ(Child<QWidget>(Main, "lblDate")->pos(), QPoint(16, 20));
    EXPECT_EQ(Child<QWidget>(Main, "lblTime")->pos(), QPoint(16, 82));
    EXPECT_EQ(Child<QWidget>(Main, "lblFile")->pos(), QPoint(16, 12));
    EXPECT_EQ(Child<QWidget>(Main, "lblInfo")->pos(), QPoint(16, 44));
    EXPECT_EQ(Child<QWidget>(Main, "lblSource")->pos(), QPoint(16, 76));
    EXPECT_EQ(Child<QWidget>(Main, "lblFree")->pos(), QPoint(16, 120));
    EXPECT_EQ(Child<QWidget>(Main, "StatusBarPanel")->width(), 200);
    const std::tuple<const char*, int, bool> Fonts[] = {
        {"lblDate", 37, false},   {"lblTime", 37, false}, {"lblLogo", 16, true},
        {"lblFormat", 15, false}, {"lblFree", 14, true},  {"lblInfo", 12, false}};
    for (const auto& [Name, Pixels, Bold] : Fonts) {
        const QFont Font = Child<QWidget>(Main, Name)->font();
        EXPECT_EQ(Font.pixelSize(), Pixels) << Name;
        EXPECT_EQ(Font.bold(), Bold) << Name;
    }
    // The meters, the logo and the format label keep their distance to the right edge.
    Main.resize(Main.width() + 100, Main.height() + 50);
    QTest::qWait(50);
    EXPECT_EQ(Child<QWidget>(Main, "pbMeters")->geometry(), QRect(360, 16, 316, 96));
    EXPECT_EQ(Child<QWidget>(Main, "lblLogo")->geometry().right(), 667);
    EXPECT_EQ(Child<QWidget>(Main, "lblFormat")->pos(), QPoint(400, 144));
    EXPECT_EQ(Child<QWidget>(Main, "lblDate")->pos(), QPoint(16, 20));
}

TEST_F(MainWindow, MenusAndFormatLabelFollowTheRecordingState) {
    Now = Amsterdam("2026-03-05T13:20:07Z");
    TfrmMain Main(Clock());
    QStringList Captions;
    for (QAction* Menu : Main.menuBar()->actions()) {
        Captions << Menu->text();
        for (QAction* Entry : Menu->menu()->actions())
            Captions << (Entry->isSeparator() ? QStringLiteral("-") : "  " + Entry->text());
    }
    EXPECT_EQ(Captions,
              (QStringList{"Programma", "  Start opname", "  Stop opname", "-", "  Opnames log...",
                           "-", "  Afsluiten", "Instellingen", "  Opname-presets...",
                           "  Weekschema...", "  Opname-apparaat...", "-", "  Instellingen...",
                           "Info", "  Storingen...", "  Over Vantor 2026..."}));
    QAction* Start = Child<QAction>(Main, "mnuStart");
    QAction* Stop = Child<QAction>(Main, "mnuStop");
    EXPECT_TRUE(Start->isEnabled());
    EXPECT_FALSE(Stop->isEnabled());

    Start->trigger();
    EXPECT_EQ(Text(Main, "lblFormat"), "MP3 128 Kbit Stereo");
    EXPECT_EQ(Text(Main, "lblInfo"), "MP3 128 Kbps, 44100 Hz, Stereo");
    EXPECT_EQ(Text(Main, "lblSource"), "Opname handmatig gestart");
    EXPECT_FALSE(Start->isEnabled());
    EXPECT_TRUE(Stop->isEnabled());

    Stop->trigger();
    EXPECT_EQ(Text(Main, "lblFormat"), "Geen opname");
    EXPECT_EQ(Text(Main, "lblInfo"), "Opname gestopt.");
    EXPECT_TRUE(Start->isEnabled());
    EXPECT_FALSE(Stop->isEnabled());
}

TEST_F(MainWindow, ManualStartWithoutPresetsShowsTheWarningBox) {
    Now = Amsterdam("2026-03-05T13:20:07Z");
    TfrmMain Main(Clock());
    // After the start-up: opening the database seeds the default presets into an empty table.
    QSqlQuery(Data->Connection()).exec(QStringLiteral("DELETE FROM presets"));
    TBoxAnswerer Seen(QStringLiteral("OK"));
    Child<QAction>(Main, "mnuStart")->trigger();
    EXPECT_EQ(Seen.Text, "Er zijn geen opname-presets gedefinieerd.");
    EXPECT_EQ(Seen.Icon, QMessageBox::Warning);
    EXPECT_EQ(Seen.Buttons, QStringList{"OK"});
    EXPECT_EQ(Text(Main, "lblInfo"), "Klaar.");
    EXPECT_EQ(Text(Main, "lblFormat"), "Geen opname");
}

// The meters show the running recording's peaks: full scale lights all 30 segments, 0.6 the
// 18 green ones, on both bars; after the stop they go dark.
TEST_F(MainWindow, MetersShowTheRecordingsPeaks) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T13:20:00Z");
    for (const auto& [Amplitude, Expected] : {std::pair{1.0, 30}, std::pair{0.6, 18}}) {
        soundlib::TScript Script;
        Script.Signal = soundlib::ToneSignal(1000, Amplitude);
        soundlib::InstallScriptedBackend(Script);
        TfrmMain Main(Clock());
        Main.show();
        ASSERT_TRUE(Main.Controller().IsRecording());
        // Ticks by hand: a reading equal to the shown level lets the meter fall by 0.75.
        Child<QTimer>(Main, "TimerVU")->stop();
        QTest::qWait(300);
        Main.TimerVUTimer();
        QWidget* Meters = Child<QWidget>(Main, "pbMeters");
        const QImage Image = Meters->grab().toImage();
        for (const int Y : {20, 70}) {
            int Lit = 0;
            for (int I = 0; I < 30; ++I) {
                const QColor C = Image.pixelColor(I * 10 + 4, Y);
                Lit += C.green() >= 200 || C.red() >= 200;
            }
            EXPECT_EQ(Lit, Expected) << Amplitude << " at y " << Y;
        }
        Main.mnuStopClick();
        for (int I = 0; I < 9; ++I)
            Main.TimerVUTimer();
        EXPECT_LT(Main.MeterL() * 30, 0.5f);
    }
}

TEST_F(MainWindow, ClosingDuringARecordingAsks) {
    ScheduleAll(Wav.Id);
    Now = Amsterdam("2026-03-05T13:20:00Z");
    auto Main = std::make_unique<TfrmMain>(Clock());
    Main->show();
    ASSERT_TRUE(Main->Controller().IsRecording());

    TBoxAnswerer Seen(QStringLiteral("Neen"));
    EXPECT_FALSE(Main->close());
    EXPECT_EQ(Seen.Title, "Vantor 2026");
    EXPECT_EQ(Seen.Text, "Er is een opname bezig. Toch afsluiten?");
    EXPECT_EQ(Seen.Icon, QMessageBox::Question);
    EXPECT_EQ(Seen.Buttons, (QStringList{"Ja", "Neen"}));
    EXPECT_EQ(Seen.DefaultButton, "Neen");
    EXPECT_TRUE(Main->isVisible());
    EXPECT_TRUE(Main->Controller().IsRecording());

    TBoxAnswerer Second(QStringLiteral("Ja"));
    Now = Amsterdam("2026-03-05T13:20:42Z");
    EXPECT_TRUE(Main->close());
    EXPECT_TRUE(Second.Shown);
    const QPointer<TRecordingSession> Session(&Main->Session());
    Main.reset();
    EXPECT_TRUE(Session.isNull()) << "the session and its database are gone with the window";
    Data = std::make_unique<TLogData>(Config->DatabasePath());
    EXPECT_EQ(LogRows(),
              (QList<QStringList>{{"2026-03-05 14:20:00", "1", "05032026141.wav", "42"}}));
}

TEST_F(MainWindow, ClosingWhileIdleAsksNothing) {
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TfrmMain Main(Clock());
    Main.show();
    TBoxAnswerer Seen(QStringLiteral("Neen"));
    EXPECT_TRUE(Main.close());
    QTest::qWait(50);
    EXPECT_FALSE(Seen.Shown);
}

// A database that cannot be opened: the error box shows the engine's message, the window
// opens and says no database is available.
TEST_F(MainWindow, UnopenableDatabaseIsReportedAndTheProgramGoesOn) {
    Data.reset();
    Config->SetDatabasePath(QStringLiteral("/proc/geen-map/Vantor2026.sqlite"));
    Now = Amsterdam("2026-03-05T13:20:00Z");
    TBoxAnswerer Seen(QStringLiteral("OK"));
    TfrmMain Main(Clock());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Seen.Shown; }, 5000));
    EXPECT_EQ(Seen.Icon, QMessageBox::Critical);
    EXPECT_FALSE(Seen.Text.isEmpty());
    EXPECT_EQ(Text(Main, "lblInfo"), "Geen database beschikbaar.");
    Main.TimerClockTimer();
    Now = Amsterdam("2026-03-05T14:00:00.100Z");
    Main.TimerClockTimer();
    EXPECT_EQ(Text(Main, "lblInfo"), "Geen database beschikbaar.");
}

} // namespace
