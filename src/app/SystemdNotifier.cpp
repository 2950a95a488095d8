#include "app/SystemdNotifier.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <systemd/sd-daemon.h>

TSystemdNotifier::TSystemdNotifier() : FEnabled(std::getenv("NOTIFY_SOCKET") != nullptr) {
    uint64_t Microseconds = 0;
    if (sd_watchdog_enabled(0, &Microseconds) > 0)
        FWatchdogInterval =
            std::min(FWatchdogInterval,
                     std::chrono::milliseconds(std::max<uint64_t>(Microseconds / 2000, 1)));
}

void TSystemdNotifier::Ready() {
    Send("READY=1");
    FSinceWatchdog.start();
}

void TSystemdNotifier::Status(const QString& Line) {
    // One line: the protocol separates its assignments by newlines.
    QString Text = Line;
    Text.replace(u'\n', u' ');
    Send("STATUS=" + Text.toUtf8());
}

void TSystemdNotifier::Ticked() {
    // The tick comes four times a second; the message goes out at the watchdog's rhythm,
    // just before the interval is over, so the tick's own jitter never makes it late.
    const auto Early = std::chrono::milliseconds(300);
    if (!FSinceWatchdog.isValid() || FSinceWatchdog.elapsed() < (FWatchdogInterval - Early).count())
        return;
    Send("WATCHDOG=1");
    FSinceWatchdog.restart();
}

void TSystemdNotifier::Stopping() {
    Send("STOPPING=1");
}

void TSystemdNotifier::Send(const QByteArray& State) {
    if (FEnabled)
        sd_notify(0, State.constData());
}
