#include "support/ProgramFixture.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The datagram socket systemd listens on for a service's notifications, bound by the test.
class TNotifySocket {
public:
    explicit TNotifySocket(const QString& Path) : FFd(::socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un Address{};
        Address.sun_family = AF_UNIX;
        const QByteArray Name = Path.toUtf8();
        std::copy(Name.begin(), Name.end(), Address.sun_path);
        FBound =
            FFd >= 0 && ::bind(FFd, reinterpret_cast<sockaddr*>(&Address), sizeof(Address)) == 0;
    }
    ~TNotifySocket() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TNotifySocket(const TNotifySocket&) = delete;
    TNotifySocket& operator=(const TNotifySocket&) = delete;

    bool Bound() const { return FBound; }
    // The next message, or an empty one when none came within TimeoutMs.
    QByteArray Receive(int TimeoutMs) const {
        pollfd Wait{FFd, POLLIN, 0};
        if (::poll(&Wait, 1, TimeoutMs) != 1)
            return {};
        char Buffer[4096];
        const ssize_t Length = ::recv(FFd, Buffer, sizeof(Buffer), 0);
        return Length > 0 ? QByteArray(Buffer, int(Length)) : QByteArray();
    }

private:
    int FFd;
    bool FBound = false;
};

class SystemdNotify : public testing::Test, public TProgramFixture {};

} // namespace

// Under systemd the windowless program says it is ready once it has started, tells its status
// line, keeps the watchdog fed from the clock tick at least once a second, and says it is
// stopping when SIGTERM comes.
TEST_F(SystemdNotify, ReadyStatusWatchdogAndStopping) {
    const QString Studio = Dir.path() + "/studio";
    PrepareDataFolder(Studio, 1, SineDevice()); // "MP3 128 Kbit Stereo"
    const QString SocketPath = Dir.path() + "/notify";
    TNotifySocket Socket(SocketPath);
    ASSERT_TRUE(Socket.Bound());
    qputenv("NOTIFY_SOCKET", SocketPath.toUtf8());
    QProcess Program;
    Start(Program, true, "2026-03-05 14:20:00", VANTOR_EXE, {"--headless", "--data-dir", Studio});
    qunsetenv("NOTIFY_SOCKET");

    QList<QByteArray> Before;
    for (QByteArray Message = Socket.Receive(15000); Message != "READY=1";
         Message = Socket.Receive(15000)) {
        ASSERT_FALSE(Message.isEmpty())
            << "no READY=1; before it: " << Before.join(" / ").toStdString();
        Before << Message;
    }
    QList<QByteArray> Statuses;
    QElapsedTimer SinceWatchdog;
    SinceWatchdog.start();
    qint64 LongestGap = 0;
    int Watchdogs = 0;
    QElapsedTimer Listening;
    Listening.start();
    while (Listening.elapsed() < 4000) {
        const QByteArray Message = Socket.Receive(2000);
        if (Message == "WATCHDOG=1") {
            LongestGap = std::max(LongestGap, SinceWatchdog.restart());
            ++Watchdogs;
        } else if (Message.startsWith("STATUS=")) {
            Statuses << Message;
        }
    }
    EXPECT_GE(Watchdogs, 4);
    EXPECT_LE(LongestGap, 1000);
    Statuses = Before + Statuses;
    EXPECT_TRUE(std::any_of(Statuses.begin(), Statuses.end(), [](const QByteArray& S) {
        return S.startsWith("STATUS=") && S.contains("05032026141.mp3") &&
               S.contains("Opname gestart door interne klok");
    })) << Statuses.join(" / ").toStdString();

    Program.terminate();
    QByteArray Message;
    do
        Message = Socket.Receive(10000);
    while (!Message.isEmpty() && Message != "STOPPING=1");
    EXPECT_EQ(Message, "STOPPING=1");
    ASSERT_TRUE(Program.waitForFinished(15000));
    EXPECT_EQ(Program.exitCode(), 0);
}
