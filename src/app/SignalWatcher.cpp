#include "app/SignalWatcher.h"

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WatchedSignals[] = {SIGTERM, SIGINT, SIGHUP};

// [0] is written by the handler, [1] read by the event loop.
int SignalSockets[2] = {-1, -1};

// Async-signal-safe: one write of one byte; errno is kept for the interrupted code.
void OnSignal(int Signal) {
    const int SavedErrno = errno;
    const unsigned char Byte = static_cast<unsigned char>(Signal);
    [[maybe_unused]] const ssize_t Written = ::write(SignalSockets[0], &Byte, 1);
    errno = SavedErrno;
}

} // namespace

TSignalWatcher::TSignalWatcher(QObject* Parent) : QObject(Parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, SignalSockets) != 0)
        throw std::runtime_error("Kan de signaalafhandeling niet opzetten.");
    struct sigaction Action = {};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (const int Signal : WatchedSignals)
        ::sigaction(Signal, &Action, nullptr);
}

TSignalWatcher::~TSignalWatcher() {
    for (const int Signal : WatchedSignals)
        std::signal(Signal, SIG_DFL);
    FNotifier.reset();
    ::close(SignalSockets[0]);
    ::close(SignalSockets[1]);
    SignalSockets[0] = SignalSockets[1] = -1;
}

void TSignalWatcher::Listen() {
    FNotifier = std::make_unique<QSocketNotifier>(SignalSockets[1], QSocketNotifier::Read);
    connect(FNotifier.get(), &QSocketNotifier::activated, this, &TSignalWatcher::ReadSignal);
}

void TSignalWatcher::ReadSignal() {
    unsigned char Byte = 0;
    while (::read(SignalSockets[1], &Byte, 1) == 1)
        emit Received(Byte);
}
