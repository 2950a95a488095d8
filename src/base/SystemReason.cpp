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
    case ENAMETOOLONG:
        return QStringLiteral("bestandsnaam of pad te lang");
    case EEXIST:
        return QStringLiteral("bestaat al");
    case ENOTEMPTY:
        return QStringLiteral("map is niet leeg");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("is in gebruik");
    case ENOMEM:
        return QStringLiteral("onvoldoende geheugen");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("te veel open bestanden");
    case ELOOP:
        return QStringLiteral("te veel symbolische koppelingen in het pad");
    case EXDEV:
        return QStringLiteral("kan niet over de grens van een bestandssysteem heen");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("apparaat bestaat niet");
    case EFBIG:
        return QStringLiteral("bestand te groot");
    case EINVAL:
        return QStringLiteral("ongeldige waarde");
    case EAGAIN:
        return QStringLiteral("tijdelijk niet beschikbaar");
    case ESTALE:
        return QStringLiteral("verouderde verwijzing naar een netwerkbestand");
    case ETIMEDOUT:
        return QStringLiteral("geen antwoord binnen de tijd");
    default:
        // The system's own text stays, so that nothing is hidden.
        return QStringLiteral("systeemfout (%1)")
            .arg(QString::fromStdString(std::generic_category().message(Errno)));
    }
}
