#include "ui/TrayIcon.h"
#include "support/RecordingFixture.h"
#include "ui/DialogTestKit.h"
#include "ui/uMain.h"

#include <QAction>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace {

class TrayIcon : public testing::Test, public TRecordingFixture {
protected:
    TrayIcon() { Now = Amsterdam("2026-03-05T13:20:00Z"); }

    // Ticks the clock in quarter seconds until Utc.
    void TickUntil(TfrmMain& Main, const char* Utc) {
        const QDateTime Until = Amsterdam(Utc);
        while (Now < Until) {
            Now = std::min(Now.addMSecs(250), Until);
            Main.TimerClockTimer();
        }
    }
    static QAction* Entry(TTrayIcon& Tray, const char* Name) {
        return Tray.Menu()->findChild<QAction*>(Name);
    }
};

} // namespace

TEST_F(TrayIcon, WithoutASystemTrayTheWindowHasNoTrayIcon) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    TfrmMain Main(Clock());
    EXPECT_EQ(Main.findChild<TTrayIcon*>(), nullptr);
}

TEST_F(TrayIcon, StateAndToolTipFollowTheRecordingAndItsTrouble) {
    TfrmMain Main(Clock());
    TTrayIcon Tray(&Main, Main.Controller());
    const auto* Icon = Tray.findChild<QSystemTrayIcon*>();
    EXPECT_EQ(Tray.State(), TTrayIcon::TState::Idle);
    EXPECT_TRUE(Tray.ToolTip().startsWith("Vantor 2026\n"));
    const QImage IdleIcon = Icon->icon().pixmap(16).toImage();

    Main.mnuStartClick();
    const TControlStatus& S = Main.Controller().Status();
    EXPECT_EQ(Tray.State(), TTrayIcon::TState::Recording);
    EXPECT_EQ(Tray.ToolTip(),
              "Vantor 2026\n" + S.FileText + "\n" + S.InfoText + "\n" + S.SourceText);
    EXPECT_EQ(Icon->toolTip(), Tray.ToolTip());
    const QImage RecordingIcon = Icon->icon().pixmap(16).toImage();

    soundlib::SetScriptedServerUp(false);
    TickUntil(Main, "2026-03-05T13:20:05Z");
    EXPECT_EQ(Tray.State(), TTrayIcon::TState::Trouble);
    const QString TroubleText = S.TroubleText;
    EXPECT_FALSE(TroubleText.isEmpty());
    EXPECT_TRUE(Tray.ToolTip().endsWith("\n" + TroubleText)) << Tray.ToolTip().toStdString();
    const QImage TroubleIcon = Icon->icon().pixmap(16).toImage();

    soundlib::SetScriptedServerUp(true);
    TickUntil(Main, "2026-03-05T13:20:20Z");
    EXPECT_EQ(Tray.State(), TTrayIcon::TState::Recording);
    EXPECT_FALSE(Tray.ToolTip().contains(TroubleText));
    EXPECT_NE(IdleIcon, RecordingIcon);
    EXPECT_NE(RecordingIcon, TroubleIcon);
    EXPECT_NE(IdleIcon, TroubleIcon);
}

TEST_F(TrayIcon, ClickingOrTheMenuBringsTheWindowBack) {
    TfrmMain Main(Clock());
    TTrayIcon Tray(&Main, Main.Controller());
    const std::pair<const char*, std::function<void()>> Ways[] = {
        {"click",
         [&] { emit Tray.findChild<QSystemTrayIcon*>()->activated(QSystemTrayIcon::Trigger); }},
        {"Venster tonen", [&] { Entry(Tray, "mnuShow")->trigger(); }}};
    for (const auto& [Name, Bring] : Ways) {
        SCOPED_TRACE(Name);
        Main.showMinimized();
        Bring();
        EXPECT_TRUE(Main.isVisible());
        EXPECT_FALSE(Main.isMinimized());
        Main.hide();
        Bring();
        EXPECT_TRUE(Main.isVisible());
    }
    EXPECT_EQ(Entry(Tray, "mnuShow")->text(), "Venster tonen");
    EXPECT_EQ(Entry(Tray, "mnuTrayExit")->text(), "Afsluiten");
}

TEST_F(TrayIcon, MinimisingHidesTheWindowInTheTrayOnlyWhenTheSettingsSaySo) {
    for (const bool ToTray : {false, true}) {
        SCOPED_TRACE(ToTray);
        TAlarmSettings Alarm;
        Alarm.MinimizeToTray = ToTray;
        Config->SetAlarm(Alarm);
        TfrmMain Main(Clock());
        TTrayIcon Tray(&Main, Main.Controller());
        Main.show();
        Main.showMinimized();
        QTest::qWait(20);
        EXPECT_EQ(Main.isVisible(), !ToTray);
        Entry(Tray, "mnuShow")->trigger();
        EXPECT_TRUE(Main.isVisible());
        EXPECT_FALSE(Main.isMinimized());
    }
}

TEST_F(TrayIcon, QuittingFromTheTrayAsksWhileRecording) {
    TfrmMain Main(Clock());
    TTrayIcon Tray(&Main, Main.Controller());
    Main.mnuStartClick();
    Main.hide();
    QString Asked;
    const auto Watch = WhenModal<QMessageBox>([&Asked](QMessageBox* Box) {
        Asked = Box->text();
        for (QAbstractButton* B : Box->buttons())
            if (B->text() == "Neen")
                B->click();
    });
    Entry(Tray, "mnuTrayExit")->trigger();
    EXPECT_EQ(Asked, "Er is een opname bezig. Toch afsluiten?");
    EXPECT_TRUE(Main.isVisible());
    EXPECT_TRUE(Main.Controller().IsRecording());

    Main.mnuStopClick();
    Entry(Tray, "mnuTrayExit")->trigger();
    EXPECT_FALSE(Main.isVisible());
}
