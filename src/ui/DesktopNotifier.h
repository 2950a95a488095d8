#pragma once

#include "control/Trouble.h"

#include <QObject>
#include <cstdint>
#include <map>

// Tells the desktop when trouble begins or ends, through the notification service of the
// session bus (org.freedesktop.Notifications). The calls are asynchronous: without a session
// bus or a notification service nothing is shown and nothing waits.
class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // A notification with the trouble's text.
    void TroubleBegan(const TTrouble& Trouble);
    // A notification with the text of the ended trouble, in place of the one its beginning
    // showed.
    void TroubleEnded(const TTrouble& Trouble);

private:
    void Notify(TTroubleKind Kind, const QString& Body, bool Began);

    // The service's id of the notification last shown for each kind.
    std::map<TTroubleKind, uint32_t> FShown;
};
