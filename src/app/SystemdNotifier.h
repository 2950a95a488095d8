#pragma once

#include <QElapsedTimer>
#include <QString>
#include <chrono>

// Tells systemd how the windowless run is doing, through its notify protocol: ready after
// the start-up, the status line, that the clock tick still runs (for WatchdogSec=), and that
// the run is stopping. Without systemd (no NOTIFY_SOCKET) every call does nothing.
//
// Called on the user-interface thread only; no call blocks.
class TSystemdNotifier {
public:
    TSystemdNotifier();

    void Ready();
    void Status(const QString& Line);
    // From every clock tick; sends WATCHDOG=1 at the watchdog's rhythm, at most one interval
    // apart, so a tick that hangs stops the messages and systemd restarts the program.
    void Ticked();
    void Stopping();

    // The longest time between two watchdog messages: half the watchdog time systemd set,
    // and never more than a second.
    std::chrono::milliseconds WatchdogInterval() const { return FWatchdogInterval; }

private:
    void Send(const QByteArray& State);

    bool FEnabled;
    std::chrono::milliseconds FWatchdogInterval{1000};
    QElapsedTimer FSinceWatchdog;
};
