#pragma once

#include "base/uClock.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QLabel;
class QPainter;
class QTimer;
class TRecordingController;
class TRecordingSession;

// The program's main window: date, time, the two level meters, the running recording, the
// free disk space and the menus. It owns the recording session (which owns the database and
// the recording controller) and only draws what the controller reports.
class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs the start-up sequence (FormCreate). The clock is the local
    // time the controller and the recorder read.
    explicit TfrmMain(TClock Clock = SystemNow, QWidget* Parent = nullptr);
    // FormDestroy: stops a running recording (its duration is logged), releases the recorder,
    // then the database.
    ~TfrmMain() override;

    TRecordingController& Controller();
    TRecordingSession& Session() { return *FSession; }
    // Whether the window may close: asks "Er is een opname bezig. Toch afsluiten?" while a
    // recording runs ("Neen" is the default answer).
    bool FormCloseQuery();
    // Ends the run without asking, for a termination signal or the end of the desktop
    // session: stops a running recording (duration logged, file completed) and leaves the
    // event loop with status 0.
    void EndSession();

    float MeterL() const { return FMeterL; }
    float MeterR() const { return FMeterR; }

public slots:
    void mnuStartClick();
    void mnuStopClick();
    void mnuLogClick();
    void mnuEventsClick();
    void mnuExitClick();
    void mnuPresetsClick();
    void mnuScheduleClick();
    void mnuDeviceClick();
    void mnuSettingsClick();
    void mnuAboutClick();
    void TimerClockTimer();
    void TimerVUTimer();

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    void BuildLayout();
    void BuildMenu();
    void FormCreate();
    void pbMetersPaint(QPainter& Canvas);
    void ShowStatusLines();
    void ShowRecordingState();
    void ShowClock();
    void ShowTrouble();

    std::unique_ptr<TRecordingSession> FSession;
    float FMeterL = 0.0f;
    float FMeterR = 0.0f;
    bool FEnding = false;

    QWidget* pnlTop = nullptr;
    QWidget* pnlStatus = nullptr;
    QLabel* lblDate = nullptr;
    QLabel* lblTime = nullptr;
    QWidget* pbMeters = nullptr;
    QLabel* lblLogo = nullptr;
    QLabel* lblFormat = nullptr;
    QLabel* lblFile = nullptr;
    QLabel* lblInfo = nullptr;
    QLabel* lblSource = nullptr;
    QLabel* lblFree = nullptr;
    // In the status bar: what keeps the recording from being kept, while it lasts.
    QLabel* lblTrouble = nullptr;
    QAction* mnuStart = nullptr;
    QAction* mnuStop = nullptr;
    QTimer* TimerVU = nullptr;
};
