#include "base/uConfig.h"
#include "control/Coverage.h"
#include "control/MetricsExporter.h"
#include "control/RecordingController.h"
#include "data/uData.h"

#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// A TCP connection to 127.0.0.1:Port; closed with the object.
class TConnection {
public:
    explicit TConnection(int Port) : FSocket(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_port = htons(static_cast<uint16_t>(Port));
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        FConnected = FSocket >= 0 && connect(FSocket, reinterpret_cast<const sockaddr*>(&Address),
                                             sizeof Address) == 0;
    }
    ~TConnection() {
        if (FSocket >= 0)
            close(FSocket);
    }
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    bool Connected() const { return FConnected; }

    // Sends Request and reads the answer until the server closes, for up to Timeout; what
    // arrived.
    std::string Ask(const std::string& Request, std::chrono::milliseconds Timeout) {
        if (send(FSocket, Request.data(), Request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(Request.size()))
            return {};
        std::string Answer;
        const auto Deadline = std::chrono::steady_clock::now() + Timeout;
        for (;;) {
            const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
                Deadline - std::chrono::steady_clock::now());
            pollfd Wait{FSocket, POLLIN, 0};
            if (Left.count() <= 0 || poll(&Wait, 1, static_cast<int>(Left.count())) <= 0)
                return Answer;
            char Buffer[4096];
            const ssize_t Got = recv(FSocket, Buffer, sizeof Buffer, 0);
            if (Got <= 0)
                return Answer;
            Answer.append(Buffer, static_cast<size_t>(Got));
        }
    }

private:
    int FSocket;
    bool FConnected = false;
};

// Starts Exporter on a free port of loopback; the port, 0 when none was free.
int StartOnFreePort(TMetricsExporter& Exporter) {
    for (int Port = 19732; Port < 19832; ++Port)
        if (Exporter.Start(QString("127.0.0.1:%1").arg(Port)).isEmpty())
            return Port;
    return 0;
}

} // namespace

TEST(MetricsListen, AddressesAreTakenOrRefusedInDutch) {
    const char* const NoAddress = "is geen adres zoals 127.0.0.1:9732";
    // The system's civetweb cannot listen on IPv6: refused before it is tried.
    const char* const NoIpv6 = "IPv6 wordt niet ondersteund";
    const struct {
        const char* Listen;
        const char* Address; // nullptr: refused
        const char* Refusal = nullptr;
    } Cases[] = {
        {"127.0.0.1:9732", "127.0.0.1:9732"},
        {" 9732 ", "127.0.0.1:9732"},     // a bare port stays on loopback
        {"0.0.0.0:9100", "0.0.0.0:9100"}, // every interface, when the operator names it
        {"recorder.local:80", "recorder.local:80"},
        {"[::1]:9732", nullptr, NoIpv6},
        {"[::]:9732", nullptr, NoIpv6},
        {"[fe80::1%eth0]:9732", nullptr, NoIpv6},
        {"::1:9732", nullptr, NoIpv6},
        {"127.0.0.1:0", nullptr, NoAddress},
        {"127.0.0.1:65536", nullptr, NoAddress},
        {"127.0.0.1:9732,0.0.0.0:9733", nullptr, NoAddress}, // civetweb would read a second
        {"127.0.0.1:9732s", nullptr, NoAddress},             // address, and an option letter
        {"localhost", nullptr, NoAddress},
        {":9732", nullptr, NoAddress},
        {"", nullptr, NoAddress},
    };
    for (const auto& C : Cases) {
        QString Error;
        const std::optional<std::string> Address = MetricsListenAddress(C.Listen, Error);
        if (C.Address) {
            EXPECT_EQ(Address.value_or("(refused)"), C.Address) << C.Listen;
            EXPECT_TRUE(Error.isEmpty()) << C.Listen;
        } else {
            EXPECT_FALSE(Address) << C.Listen;
            EXPECT_TRUE(Error.contains(C.Refusal)) << C.Listen << ": " << Error.toStdString();
            EXPECT_TRUE(Error.contains("metrics staan uit")) << C.Listen;
        }
    }
}

// A port another program holds already: the exporter says so in Dutch and stays off.
TEST(MetricsListen, ATakenPortIsReportedAndLeavesMetricsOff) {
    QTemporaryDir Dir;
    TConfig Settings(Dir.path());
    std::unique_ptr<TLogData> Data;
    TRecordingController Controller(Settings, Data);
    TMetricsExporter First(Controller, "een"), Second(Controller, "twee");
    QString Taken;
    for (int Port = 19732; Port < 19832 && Taken.isEmpty(); ++Port)
        if (First.Start(QString("127.0.0.1:%1").arg(Port)).isEmpty())
            Taken = QString("127.0.0.1:%1").arg(Port);
    ASSERT_FALSE(Taken.isEmpty());
    const QString Error = Second.Start(Taken);
    EXPECT_TRUE(Error.startsWith("Kan de metrics niet aanbieden op " + Taken))
        << Error.toStdString();
    EXPECT_TRUE(Error.endsWith("Er wordt zonder metrics verder opgenomen.")) << Error.toStdString();
}

// Clients that connect and send nothing (a port scanner, a stuck proxy) hold a request thread
// each until they time out; a scrape beside them is still answered at once.
TEST(MetricsExporter, IdleConnectionsDoNotLockOutAScrape) {
    QTemporaryDir Dir;
    TConfig Settings(Dir.path());
    std::unique_ptr<TLogData> Data;
    TRecordingController Controller(Settings, Data);
    TMetricsExporter Exporter(Controller, "studio1");
    const int Port = StartOnFreePort(Exporter);
    ASSERT_NE(Port, 0);
    std::vector<std::unique_ptr<TConnection>> Idle;
    for (int I = 0; I < 3; ++I) {
        Idle.push_back(std::make_unique<TConnection>(Port));
        ASSERT_TRUE(Idle.back()->Connected());
    }
    TConnection Scrape(Port);
    ASSERT_TRUE(Scrape.Connected());
    const std::string Answer = Scrape.Ask("GET /metrics HTTP/1.0\r\n\r\n", std::chrono::seconds(5));
    EXPECT_EQ(Answer.rfind("HTTP/1.1 200", 0), 0u) << Answer;
    EXPECT_NE(Answer.find("vantor_recording{instance=\"studio1\"} 0"), std::string::npos) << Answer;
}

// Every scheduled hour that ends adds what is missing of it, within the alarm's limit too; an
// hour not scheduled adds nothing. The clock's and an incomplete hour's trouble are kinds of
// their own, there from the start.
TEST(MetricsExporter, MissingSecondsOfScheduledHoursAddUp) {
    QTemporaryDir Dir;
    TConfig Settings(Dir.path());
    std::unique_ptr<TLogData> Data;
    TRecordingController Controller(Settings, Data);
    TMetricsExporter Exporter(Controller, "studio1");
    const int Port = StartOnFreePort(Exporter);
    ASSERT_NE(Port, 0);
    const auto Hour = [](bool Scheduled, double Missing) {
        TCoverageHour H;
        H.Scheduled = Scheduled;
        H.MissingSeconds = Missing;
        H.RecordedSeconds = 3600 - Missing;
        return H;
    };
    Exporter.HourAccounted(Hour(true, 12.5));
    Exporter.HourAccounted(Hour(true, 0));
    Exporter.HourAccounted(Hour(true, 1.25));
    Exporter.HourAccounted(Hour(false, 0));
    const std::string Answer =
        TConnection(Port).Ask("GET /metrics HTTP/1.0\r\n\r\n", std::chrono::seconds(5));
    for (const char* Series : {"vantor_missing_seconds_total{instance=\"studio1\"} 13.75\n",
                               "vantor_trouble_active{instance=\"studio1\",kind=\"clock\"} 0\n",
                               "vantor_trouble_episodes_total{instance=\"studio1\",kind="
                               "\"incomplete\"} 0\n"})
        EXPECT_NE(Answer.find(Series), std::string::npos) << Series << Answer;
}
