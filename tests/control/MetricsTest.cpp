#include "base/uConfig.h"
#include "control/MetricsExporter.h"
#include "control/RecordingController.h"
#include "data/uData.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(MetricsListen, AddressesAreTakenOrRefusedInDutch) {
    const struct {
        const char* Listen;
        const char* Address; // nullptr: refused
    } Cases[] = {
        {"127.0.0.1:9732", "127.0.0.1:9732"},
        {" 9732 ", "127.0.0.1:9732"}, // a bare port stays on loopback
        {"[::1]:9732", "[::1]:9732"},
        {"0.0.0.0:9100", "0.0.0.0:9100"}, // every interface, when the operator names it
        {"recorder.local:80", "recorder.local:80"},
        {"127.0.0.1:0", nullptr},
        {"127.0.0.1:65536", nullptr},
        {"127.0.0.1:9732,0.0.0.0:9733", nullptr}, // civetweb would read a second address
        {"127.0.0.1:9732s", nullptr},             // and an option letter
        {"localhost", nullptr},
        {":9732", nullptr},
        {"", nullptr},
    };
    for (const auto& C : Cases) {
        QString Error;
        const std::optional<std::string> Address = MetricsListenAddress(C.Listen, Error);
        if (C.Address) {
            EXPECT_EQ(Address.value_or("(refused)"), C.Address) << C.Listen;
            EXPECT_TRUE(Error.isEmpty()) << C.Listen;
        } else {
            EXPECT_FALSE(Address) << C.Listen;
            EXPECT_TRUE(Error.contains("is geen adres zoals 127.0.0.1:9732")) << C.Listen;
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
