#include "ui/DesktopNotifier.h"

#include "base/ErrorReport.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");

// The urgency hint: a trouble that began stays until the operator dismisses it.
constexpr uchar NormalUrgency = 1;
constexpr uchar CriticalUrgency = 2;

} // namespace

void TDesktopNotifier::TroubleBegan(const TTrouble& Trouble) {
    Notify(Trouble.Kind, Trouble.Text, true);
}

void TDesktopNotifier::TroubleEnded(const TTrouble& Trouble) {
    // A report that begins and ends at once (an incomplete hour) keeps its own notification.
    if (!TroubleKindNames(Trouble.Kind).Instant)
        Notify(Trouble.Kind, TroubleEndText(Trouble), false);
}

void TDesktopNotifier::Notify(TTroubleKind Kind, const QString& Body, bool Began) {
    QDBusConnection Bus = QDBusConnection::sessionBus();
    if (!Bus.isConnected())
        return;
    const auto Shown = FShown.find(Kind);
    const uint32_t Replaces = Shown == FShown.end() ? 0 : Shown->second;
    QDBusMessage Call = QDBusMessage::createMethodCall(Service, Path, Service, "Notify");
    const QVariantMap Hints{
        {QStringLiteral("urgency"), QVariant::fromValue(Began ? CriticalUrgency : NormalUrgency)}};
    Call << AppTitle << Replaces << QString() << AppTitle << Body << QStringList() << Hints
         << int32_t(-1);
    auto* Watcher = new QDBusPendingCallWatcher(Bus.asyncCall(Call), this);
    connect(Watcher, &QDBusPendingCallWatcher::finished, this,
            [this, Kind](QDBusPendingCallWatcher* Finished) {
                const QDBusPendingReply<uint32_t> Reply = *Finished;
                if (Reply.isValid())
                    FShown[Kind] = Reply.value();
                Finished->deleteLater();
            });
}
