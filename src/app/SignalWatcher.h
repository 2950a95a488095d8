#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the thread that created the watcher,
// through a self-pipe: the handler only writes the signal number into a socket, which the
// event loop reads. One watcher per process; its destructor restores the default handlers.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    // Catches the signals from here on; they wait in the socket until Listen.
    explicit TSignalWatcher(QObject* Parent = nullptr);
    ~TSignalWatcher() override;
    // Delivers the signals caught so far and all later ones through Received, from the
    // event loop. Called once the receivers are connected.
    void Listen();

signals:
    void Received(int Signal);

private:
    void ReadSignal();

    std::unique_ptr<QSocketNotifier> FNotifier;
};
