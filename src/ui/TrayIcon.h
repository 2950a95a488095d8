#pragma once

#include "control/Trouble.h"

#include <QObject>
#include <QString>
#include <map>

class QMenu;
class QSystemTrayIcon;
class QWidget;
class TRecordingController;

// The program's icon in the system tray while the window runs: a grey, green or red dot for
// idle, recording or trouble, the status lines as its tooltip, a click to bring the window
// back, and a menu to show the window or to quit (asking as the window does). When the
// settings say so, minimising the window hides it in the tray.
class TTrayIcon : public QObject {
    Q_OBJECT
public:
    enum class TState { Idle, Recording, Trouble };

    // Follows Controller's signals; Window is the main window it shows and closes. The icon
    // is not shown yet.
    TTrayIcon(QWidget* Window, TRecordingController& Controller);

    void Show();
    TState State() const;
    QString ToolTip() const;
    QMenu* Menu() const { return mnuTray; }

    // Brings the window back from the tray or from being minimised, on top and active.
    void mnuShowClick();
    // Closes the window the normal way: while a recording runs, that asks first.
    void mnuExitClick();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ShowStatus();

    QWidget* FWindow;
    TRecordingController& FController;
    // The text of each kind of trouble in force.
    std::map<TTroubleKind, QString> FTroubles;
    QSystemTrayIcon* FIcon;
    QMenu* mnuTray;
};
