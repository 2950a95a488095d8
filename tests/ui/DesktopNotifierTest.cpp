// Runs on a session bus of its own (CTest starts it through dbus-run-session), where the test
// itself is the notification service.

#include "ui/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>
#include <QVariantMap>
#include <gtest/gtest.h>

namespace {

const QString ServiceName = "org.freedesktop.Notifications";
const QString ServiceConnection = "notification-service";

// The desktop's notification service, keeping every notification it was asked to show.
class TNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct TShown {
        QString AppName;
        uint Replaces;
        QString Summary;
        QString Body;
        QVariant Urgency;
        uint Id;
    };
    QList<TShown> Shown;

public slots:
    uint Notify(const QString& AppName, uint Replaces, const QString&, const QString& Summary,
                const QString& Body, const QStringList&, const QVariantMap& Hints, int) {
        const uint Id = Replaces != 0 ? Replaces : ++FLastId;
        Shown.append({AppName, Replaces, Summary, Body, Hints.value("urgency"), Id});
        return Id;
    }

private:
    uint FLastId = 40;
};

class DesktopNotifierTest : public testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no D-Bus session bus; the test runs under dbus-run-session";
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(ServiceConnection); }
    // Offers Service on a connection of its own, as the desktop's own process would.
    static void Register(TNotificationService& Service) {
        QDBusConnection Bus =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, ServiceConnection);
        ASSERT_TRUE(Bus.registerService(ServiceName));
        ASSERT_TRUE(Bus.registerObject("/org/freedesktop/Notifications", &Service,
                                       QDBusConnection::ExportAllSlots));
    }
    static TTrouble Trouble(TTroubleKind Kind, const QString& Text) {
        TTrouble T;
        T.Kind = Kind;
        T.Since = QDateTime(QDate(2026, 3, 5), QTime(14, 0, 10));
        T.Text = Text;
        return T;
    }
};

} // namespace

TEST_F(DesktopNotifierTest, TroubleThatBeginsAndEndsIsShownAndTheEndReplacesItsBeginning) {
    TNotificationService Service;
    Register(Service);
    TDesktopNotifier Notifier;
    TTrouble Silence = Trouble(TTroubleKind::Silence, "Stilte op de ingang sinds 14:00:10");
    const TTrouble LowSpace =
        Trouble(TTroubleKind::LowSpace, "Minder vrije ruimte dan een uur opnemen vraagt");

    Notifier.TroubleBegan(Silence);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Service.Shown.size() == 1; }, 5000));
    Notifier.TroubleBegan(LowSpace);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Service.Shown.size() == 2; }, 5000));
    Silence.Until = Silence.Since.addSecs(150);
    Notifier.TroubleEnded(Silence);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Service.Shown.size() == 3; }, 5000));

    const auto& S = Service.Shown;
    for (const auto& Shown : S) {
        EXPECT_EQ(Shown.AppName, "Vantor 2026");
        EXPECT_EQ(Shown.Summary, "Vantor 2026");
    }
    EXPECT_EQ(S[0].Body, Silence.Text);
    EXPECT_EQ(S[0].Replaces, 0u);
    EXPECT_EQ(S[0].Urgency.toUInt(), 2u);
    EXPECT_EQ(S[1].Body, LowSpace.Text);
    EXPECT_EQ(S[1].Replaces, 0u);
    EXPECT_NE(S[1].Id, S[0].Id);
    EXPECT_EQ(S[2].Body, TroubleEndText(Silence));
    EXPECT_EQ(S[2].Replaces, S[0].Id);
    EXPECT_EQ(S[2].Urgency.toUInt(), 1u);
}

TEST_F(DesktopNotifierTest, WithoutANotificationServiceNothingWaitsAndNothingIsShown) {
    ASSERT_FALSE(QDBusConnection::sessionBus().interface()->isServiceRegistered(ServiceName));
    TDesktopNotifier Notifier;
    QElapsedTimer Took;
    Took.start();
    Notifier.TroubleBegan(Trouble(TTroubleKind::CaptureLost, "Opname-apparaat weg"));
    EXPECT_LT(Took.elapsed(), 100);

    // A service that comes later sees nothing of it.
    TNotificationService Service;
    Register(Service);
    QTest::qWait(300);
    EXPECT_TRUE(Service.Shown.isEmpty());
}

#include "DesktopNotifierTest.moc"
