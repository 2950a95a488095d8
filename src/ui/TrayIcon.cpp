#include "ui/TrayIcon.h"

#include "base/ErrorReport.h"
#include "base/uConfig.h"
#include "control/RecordingController.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

// A dot of Color on a transparent square, for every size the tray asks.
QIcon DotIcon(const QColor& Color) {
    QPixmap Picture(64, 64);
    Picture.fill(Qt::transparent);
    QPainter Canvas(&Picture);
    Canvas.setRenderHint(QPainter::Antialiasing);
    Canvas.setPen(QPen(Color.darker(160), 4));
    Canvas.setBrush(Color);
    Canvas.drawEllipse(QRectF(6, 6, 52, 52));
    return QIcon(Picture);
}

QIcon StateIcon(TTrayIcon::TState State) {
    switch (State) {
    case TTrayIcon::TState::Recording:
        return DotIcon(QColor(60, 176, 67));
    case TTrayIcon::TState::Trouble:
        return DotIcon(QColor(255, 90, 74));
    case TTrayIcon::TState::Idle:
        break;
    }
    return DotIcon(QColor(138, 138, 138));
}

} // namespace

TTrayIcon::TTrayIcon(QWidget* Window, TRecordingController& Controller)
    : QObject(Window), FWindow(Window), FController(Controller) {
    mnuTray = new QMenu(Window);
    mnuTray->setObjectName(QStringLiteral("mnuTray"));
    QAction* mnuShow = mnuTray->addAction(QStringLiteral("Venster tonen"));
    mnuShow->setObjectName(QStringLiteral("mnuShow"));
    mnuTray->addSeparator();
    QAction* mnuExit = mnuTray->addAction(QStringLiteral("Afsluiten"));
    mnuExit->setObjectName(QStringLiteral("mnuTrayExit"));
    connect(mnuShow, &QAction::triggered, this, &TTrayIcon::mnuShowClick);
    connect(mnuExit, &QAction::triggered, this, &TTrayIcon::mnuExitClick);

    FIcon = new QSystemTrayIcon(this);
    FIcon->setObjectName(QStringLiteral("TrayIcon"));
    FIcon->setContextMenu(mnuTray);
    connect(FIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason R) {
        if (R == QSystemTrayIcon::Trigger || R == QSystemTrayIcon::DoubleClick)
            mnuShowClick();
    });

    connect(&Controller, &TRecordingController::StatusLinesChanged, this, &TTrayIcon::ShowStatus);
    connect(&Controller, &TRecordingController::RecordingStateChanged, this,
            &TTrayIcon::ShowStatus);
    connect(&Controller, &TRecordingController::TroubleBegan, this, [this](const TTrouble& T) {
        FTroubles[T.Kind] = T.Text;
        ShowStatus();
    });
    connect(&Controller, &TRecordingController::TroubleEnded, this, [this](const TTrouble& T) {
        FTroubles.erase(T.Kind);
        ShowStatus();
    });
    FWindow->installEventFilter(this);
    ShowStatus();
}

void TTrayIcon::Show() {
    FIcon->show();
}

TTrayIcon::TState TTrayIcon::State() const {
    if (!FTroubles.empty())
        return TState::Trouble;
    return FController.IsRecording() ? TState::Recording : TState::Idle;
}

QString TTrayIcon::ToolTip() const {
    const TControlStatus& S = FController.Status();
    QStringList Lines{AppTitle};
    for (const QString& Line : {S.FileText, S.InfoText, S.SourceText})
        if (!Line.isEmpty())
            Lines << Line;
    for (const auto& [Kind, Text] : FTroubles)
        Lines << Text;
    return Lines.join(u'\n');
}

void TTrayIcon::ShowStatus() {
    FIcon->setIcon(StateIcon(State()));
    FIcon->setToolTip(ToolTip());
}

void TTrayIcon::mnuShowClick() {
    FWindow->setWindowState(FWindow->windowState() & ~Qt::WindowMinimized);
    FWindow->show();
    FWindow->raise();
    FWindow->activateWindow();
}

void TTrayIcon::mnuExitClick() {
    mnuShowClick();
    FWindow->close();
}

bool TTrayIcon::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == FWindow && Event->type() == QEvent::WindowStateChange &&
        FWindow->isMinimized() && Config->Alarm().MinimizeToTray)
        // Hidden once the window system has finished minimising it.
        QTimer::singleShot(0, FWindow, [this] {
            if (FWindow->isMinimized())
                FWindow->hide();
        });
    return QObject::eventFilter(Watched, Event);
}
