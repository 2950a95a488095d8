#include "ui/uMain.h"

#include "base/ErrorReport.h"
#include "base/uConfig.h"
#include "control/RecordingController.h"
#include "control/RecordingSession.h"
#include "data/uData.h"
#include "ui/DesktopNotifier.h"
#include "ui/LevelMeter.h"
#include "ui/MessageBoxes.h"
#include "ui/TrayIcon.h"
#include "ui/UiFont.h"
#include "ui/uAbout.h"
#include "ui/uDevice.h"
#include "ui/uEvents.h"
#include "ui/uLog.h"
#include "ui/uPresets.h"
#include "ui/uSchedule.h"
#include "ui/uSettings.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegion>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

namespace {

// The window's size at design time; anchored controls keep their distance to its right edge.
constexpr int DesignWidth = 592;
constexpr int DesignHeight = 401;

// Text that asks for the operator's attention: free space running out, a recording not kept.
const QString AlarmStyle = QStringLiteral("color: #ff5a4a; font-weight: bold;");

// Where a bar lies in the meter box: the left channel in the upper half, the right below.
struct TMeterBar {
    int Top;
    int Height;
};
std::pair<TMeterBar, TMeterBar> MeterBars(int BoxHeight) {
    const int Half = BoxHeight / 2;
    return {{4, Half - 6}, {Half + 2, Half - 6}};
}

// A panel whose children sit at fixed positions; some keep their distance to the right edge
// (anchored top right), others stretch to the right margin.
class TPanel : public QWidget {
public:
    using QWidget::QWidget;

    void AnchorTopRight(QWidget* Control) {
        FRightAnchored.push_back({Control, DesignWidth - Control->geometry().right() - 1});
    }
    void StretchToMargin(QWidget* Control, int RightMargin) {
        FStretched.push_back({Control, RightMargin});
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        for (const auto& [Control, Gap] : FRightAnchored)
            Control->move(width() - Gap - Control->width(), Control->y());
        for (const auto& [Control, Margin] : FStretched)
            Control->resize(std::max(0, width() - Margin - Control->x()), Control->height());
    }

private:
    std::vector<std::pair<QWidget*, int>> FRightAnchored;
    std::vector<std::pair<QWidget*, int>> FStretched;
};

// A paint box: a plain area that its owner paints.
class TPaintBox : public QWidget {
public:
    TPaintBox(QWidget* Parent, std::function<void(QPainter&)> OnPaint)
        : QWidget(Parent), FOnPaint(std::move(OnPaint)) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter Canvas(this);
        FOnPaint(Canvas);
    }

private:
    std::function<void(QPainter&)> FOnPaint;
};

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Text, int Left, int Top) {
    auto* Label = new QLabel(Text, Parent);
    Label->setObjectName(QString::fromLatin1(Name));
    Label->move(Left, Top);
    Label->adjustSize();
    return Label;
}

void ReportError(const std::exception& E) {
    ShowErrorReport(QString::fromUtf8(E.what()));
}

} // namespace

TfrmMain::TfrmMain(TClock Clock, QWidget* Parent)
    : QMainWindow(Parent),
      FSession(std::make_unique<TRecordingSession>(*Config, std::move(Clock))) {
    setObjectName(QStringLiteral("frmMain"));
    setFont(UiFont(12));
    BuildLayout();
    BuildMenu();
    TimerVU = new QTimer(this);
    TimerVU->setObjectName(QStringLiteral("TimerVU"));
    TimerVU->setInterval(50);
    connect(TimerVU, &QTimer::timeout, this, &TfrmMain::TimerVUTimer);

    connect(&Controller(), &TRecordingController::StatusLinesChanged, this,
            &TfrmMain::ShowStatusLines);
    connect(&Controller(), &TRecordingController::RecordingStateChanged, this,
            &TfrmMain::ShowRecordingState);
    connect(&Controller(), &TRecordingController::ClockChanged, this, &TfrmMain::ShowClock);
    connect(&Controller(), &TRecordingController::WarningRaised, this,
            [this](const QString& Text) { ShowWarning(this, Text); });
    connect(&Controller(), &TRecordingController::TroubleChanged, this, &TfrmMain::ShowTrouble);
    auto* Notifier = new TDesktopNotifier(this);
    connect(&Controller(), &TRecordingController::TroubleBegan, Notifier,
            &TDesktopNotifier::TroubleBegan);
    connect(&Controller(), &TRecordingController::TroubleEnded, Notifier,
            &TDesktopNotifier::TroubleEnded);
    // Without a system tray (a bare X server) the window is all there is.
    if (QSystemTrayIcon::isSystemTrayAvailable())
        (new TTrayIcon(this, Controller()))->Show();
    FormCreate();
}

TfrmMain::~TfrmMain() {
    TimerVU->stop();
    try {
        FSession->Shutdown();
    } catch (const std::exception& E) {
        ReportError(E);
    }
}

TRecordingController& TfrmMain::Controller() {
    return FSession->Controller();
}

void TfrmMain::BuildLayout() {
    auto* Client = new QWidget(this);
    auto* Column = new QVBoxLayout(Client);
    Column->setContentsMargins(0, 0, 0, 0);
    Column->setSpacing(0);
    setCentralWidget(Client);

    auto* Top = new TPanel(Client);
    pnlTop = Top;
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(168);
    Column->addWidget(pnlTop);
    lblDate = MakeLabel(pnlTop, "lblDate", QStringLiteral("00/00/0000"), 16, 20);
    lblDate->setFont(UiFont(37));
    lblDate->adjustSize();
    lblTime = MakeLabel(pnlTop, "lblTime", QStringLiteral("00:00:00"), 16, 82);
    lblTime->setFont(UiFont(37));
    lblTime->adjustSize();
    pbMeters = new TPaintBox(pnlTop, [this](QPainter& Canvas) { pbMetersPaint(Canvas); });
    pbMeters->setObjectName(QStringLiteral("pbMeters"));
    pbMeters->setGeometry(260, 16, 316, 96);
    Top->AnchorTopRight(pbMeters);
    lblLogo = MakeLabel(pnlTop, "lblLogo", QStringLiteral("VANTOR 2026 Beta"), 400, 120);
    lblLogo->setFont(UiFont(16, true));
    // 168 pixels wide, right edge at 568; wider when the fallback font for Segoe UI needs it.
    const int LogoWidth = std::max(168, lblLogo->sizeHint().width());
    lblLogo->setGeometry(568 - LogoWidth, 120, LogoWidth, 21);
    lblLogo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Top->AnchorTopRight(lblLogo);
    lblFormat = MakeLabel(pnlTop, "lblFormat", ControlText::NoRecording, 300, 144);
    lblFormat->setFont(UiFont(15));
    lblFormat->setGeometry(300, 144, 268, 19);
    lblFormat->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette GrayText = lblFormat->palette();
    GrayText.setColor(QPalette::WindowText, palette().color(QPalette::Disabled, QPalette::Text));
    lblFormat->setPalette(GrayText);
    Top->AnchorTopRight(lblFormat);

    auto* Status = new TPanel(Client);
    pnlStatus = Status;
    pnlStatus->setObjectName(QStringLiteral("pnlStatus"));
    Column->addWidget(pnlStatus, 1);
    lblFile = MakeLabel(pnlStatus, "lblFile", QStringLiteral("Bestandsnaam"), 16, 12);
    lblInfo = MakeLabel(pnlStatus, "lblInfo", QStringLiteral("Info"), 16, 44);
    lblSource = MakeLabel(pnlStatus, "lblSource", QStringLiteral("Bron"), 16, 76);
    lblFree = MakeLabel(pnlStatus, "lblFree", QStringLiteral("Vrije Schijfruimte :"), 16, 120);
    lblFree->setFont(UiFont(14, true));
    lblFree->adjustSize();
    // The status lines run to the panel's right margin of 16 pixels.
    for (QLabel* Line : {lblFile, lblInfo, lblSource, lblFree})
        Status->StretchToMargin(Line, 16);

    auto* Panel = new QLabel(AppTitle);
    Panel->setObjectName(QStringLiteral("StatusBarPanel"));
    Panel->setFixedWidth(200);
    statusBar()->setObjectName(QStringLiteral("StatusBar"));
    statusBar()->setSizeGripEnabled(true);
    statusBar()->addWidget(Panel);
    lblTrouble = new QLabel(statusBar());
    lblTrouble->setObjectName(QStringLiteral("lblTrouble"));
    lblTrouble->setStyleSheet(AlarmStyle);
    lblTrouble->hide();
    statusBar()->addWidget(lblTrouble, 1);
}

void TfrmMain::BuildMenu() {
    const auto AddEntry = [this](QMenu* Menu, const char* Name, const QString& Caption,
                                 void (TfrmMain::*Handler)()) {
        QAction* Entry = Menu->addAction(Caption);
        Entry->setObjectName(QString::fromLatin1(Name));
        connect(Entry, &QAction::triggered, this, Handler);
        return Entry;
    };
    QMenuBar* MainMenu = menuBar();
    MainMenu->setObjectName(QStringLiteral("MainMenu"));
    QMenu* mnuProgramma = MainMenu->addMenu(QStringLiteral("Programma"));
    mnuProgramma->setObjectName(QStringLiteral("mnuProgramma"));
    mnuStart = AddEntry(mnuProgramma, "mnuStart", QStringLiteral("Start opname"),
                        &TfrmMain::mnuStartClick);
    mnuStop =
        AddEntry(mnuProgramma, "mnuStop", QStringLiteral("Stop opname"), &TfrmMain::mnuStopClick);
    mnuStop->setEnabled(false);
    mnuProgramma->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    AddEntry(mnuProgramma, "mnuLog", QStringLiteral("Opnames log..."), &TfrmMain::mnuLogClick);
    mnuProgramma->addSeparator()->setObjectName(QStringLiteral("mnuSep2"));
    AddEntry(mnuProgramma, "mnuExit", QStringLiteral("Afsluiten"), &TfrmMain::mnuExitClick);

    QMenu* mnuInstellingen = MainMenu->addMenu(QStringLiteral("Instellingen"));
    mnuInstellingen->setObjectName(QStringLiteral("mnuInstellingen"));
    AddEntry(mnuInstellingen, "mnuPresets", QStringLiteral("Opname-presets..."),
             &TfrmMain::mnuPresetsClick);
    AddEntry(mnuInstellingen, "mnuSchedule", QStringLiteral("Weekschema..."),
             &TfrmMain::mnuScheduleClick);
    AddEntry(mnuInstellingen, "mnuDevice", QStringLiteral("Opname-apparaat..."),
             &TfrmMain::mnuDeviceClick);
    mnuInstellingen->addSeparator()->setObjectName(QStringLiteral("mnuSep3"));
    AddEntry(mnuInstellingen, "mnuSettings", QStringLiteral("Instellingen..."),
             &TfrmMain::mnuSettingsClick);

    QMenu* mnuInfo = MainMenu->addMenu(QStringLiteral("Info"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
    AddEntry(mnuInfo, "mnuEvents", QStringLiteral("Storingen..."), &TfrmMain::mnuEventsClick);
    AddEntry(mnuInfo, "mnuAbout", QStringLiteral("Over Vantor 2026..."), &TfrmMain::mnuAboutClick);
}

void TfrmMain::FormCreate() {
    setWindowTitle(AppTitle);
    // The client area (panels and status bar) is 592 by 401; the menu bar comes on top.
    const QSize Size(DesignWidth, DesignHeight + menuBar()->sizeHint().height());
    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, Size,
                                        Screen->availableGeometry()));
    else
        resize(Size);

    const QStringList Errors = FSession->Start();
    TimerVU->start();
    // Only with the clock running may a box wait for the operator: its loop keeps the hour
    // rule and the retries going meanwhile. The boxes come once the window is constructed, so
    // that a signal to end the program (which its owner connects then) is heeded while they
    // wait.
    QTimer::singleShot(0, this, [this, Errors] {
        for (const QString& Error : Errors)
            if (!FEnding)
                ShowErrorReport(Error);
    });
}

void TfrmMain::closeEvent(QCloseEvent* Event) {
    if (FEnding || FormCloseQuery())
        Event->accept();
    else
        Event->ignore();
}

bool TfrmMain::FormCloseQuery() {
    if (!Controller().IsRecording())
        return true;
    QMessageBox Box(QMessageBox::Question, AppTitle,
                    QStringLiteral("Er is een opname bezig. Toch afsluiten?"),
                    QMessageBox::NoButton, this);
    Box.setObjectName(QStringLiteral("CloseQuery"));
    QPushButton* Yes = Box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    QPushButton* No = Box.addButton(QStringLiteral("Neen"), QMessageBox::NoRole);
    Box.setDefaultButton(No);
    Box.setEscapeButton(No);
    Box.exec();
    return Box.clickedButton() == Yes;
}

void TfrmMain::EndSession() {
    FEnding = true;
    try {
        FSession->Shutdown();
    } catch (const std::exception& E) {
        ReportError(E);
    }
    QCoreApplication::exit(0);
}

void TfrmMain::mnuStartClick() {
    Controller().ManualStart();
}

void TfrmMain::mnuStopClick() {
    Controller().ManualStop();
}

void TfrmMain::mnuExitClick() {
    close();
}

// The dialogs plug in here, each on the session's database.
void TfrmMain::mnuLogClick() {
    TfrmLog Dialog(FSession->Data(), this);
    Dialog.exec();
}

void TfrmMain::mnuEventsClick() {
    TfrmEvents Dialog(FSession->Data(), this);
    Dialog.exec();
}

void TfrmMain::mnuPresetsClick() {
    TfrmPresets Dialog(FSession->Data(), this);
    Dialog.exec();
}

void TfrmMain::mnuScheduleClick() {
    TfrmSchedule Dialog(FSession->Data(), this);
    Dialog.exec();
}

void TfrmMain::mnuDeviceClick() {
    TfrmDevice Dialog(this);
    if (Dialog.exec() != QDialog::Accepted)
        return;
    FSession->ChangeDevice(Dialog.SelectedDevice());
}

void TfrmMain::mnuSettingsClick() {
    TfrmSettings Dialog(*FSession, this);
    Dialog.exec();
}

void TfrmMain::mnuAboutClick() {
    TfrmAbout Dialog(this);
    Dialog.exec();
}

void TfrmMain::TimerClockTimer() {
    Controller().TimerClockTimer();
}

void TfrmMain::TimerVUTimer() {
    float L = 0.0f;
    float R = 0.0f;
    const bool HaveReading = Controller().GetLevels(L, R);
    const float OldL = std::exchange(FMeterL, MeterStep(FMeterL, HaveReading, L));
    const float OldR = std::exchange(FMeterR, MeterStep(FMeterR, HaveReading, R));
    // Only the segments that changed are repainted, and nothing while the window is not seen:
    // a level that falls or rises within a segment draws the same picture.
    if (isMinimized())
        return;
    const auto [BarL, BarR] = MeterBars(pbMeters->height());
    const int Width = pbMeters->width();
    QRegion Changed(
        ChangedSegments(Width, BarL.Top, BarL.Height, LitSegments(OldL), LitSegments(FMeterL)));
    Changed +=
        ChangedSegments(Width, BarR.Top, BarR.Height, LitSegments(OldR), LitSegments(FMeterR));
    // Painted at once rather than through a posted update: one wake-up of the event loop less
    // at every step.
    if (!Changed.isEmpty())
        pbMeters->repaint(Changed);
}

void TfrmMain::pbMetersPaint(QPainter& Canvas) {
    Canvas.fillRect(pbMeters->rect(), QColor(10, 10, 10));
    const auto [BarL, BarR] = MeterBars(pbMeters->height());
    DrawMeter(Canvas, pbMeters->width(), BarL.Top, BarL.Height, FMeterL);
    DrawMeter(Canvas, pbMeters->width(), BarR.Top, BarR.Height, FMeterR);
}

void TfrmMain::ShowStatusLines() {
    const TControlStatus& S = Controller().Status();
    lblFile->setText(S.FileText);
    lblInfo->setText(S.InfoText);
    lblSource->setText(S.SourceText);
}

void TfrmMain::ShowRecordingState() {
    const TControlStatus& S = Controller().Status();
    lblFormat->setText(S.FormatText);
    mnuStart->setEnabled(S.StartEnabled);
    mnuStop->setEnabled(S.StopEnabled);
}

void TfrmMain::ShowClock() {
    const TControlStatus& S = Controller().Status();
    // Every tick brings the texts; a label is touched only when its text changed.
    if (lblDate->text() != S.DateText) {
        lblDate->setText(S.DateText);
        lblDate->adjustSize();
    }
    if (lblTime->text() != S.TimeText) {
        lblTime->setText(S.TimeText);
        lblTime->adjustSize();
    }
    lblFree->setText(S.FreeText);
}

void TfrmMain::ShowTrouble() {
    const TControlStatus& S = Controller().Status();
    lblTrouble->setText(S.TroubleText);
    lblTrouble->setVisible(!S.TroubleText.isEmpty());
    lblFree->setStyleSheet(S.FreeSpaceLow ? AlarmStyle : QString());
}
