#include "base/SystemReason.h"

#include <cerrno>
#include <system_error>

QString SystemReasonText(int Errno) {
    switch (Errno) {
    case ENOSPC:
        return QStringLiteral("geen ruimte meer op de schijf");
    case EACCES:
    case EPERM:
        return QStringLiteral("geen toestemming");
    case ENOENT:
        return QStringLiteral("map of bestand bestaat niet");
    case ENOTDIR:
        return QStringLiteral("een deel van het pad is geen map");
    case EISDIR:
        return QStringLiteral("is een map");
    case EROFS:
        return QStringLiteral("alleen-lezen bestandssysteem");
    case EDQUOT:
        return QStringLiteral("schijfquotum overschreden");
    case EIO:
        return QStringLiteral("invoer-/uitvoerfout");
    default:
        return QString::fromStdString(std::generic_category().message(Errno));
    }
}
