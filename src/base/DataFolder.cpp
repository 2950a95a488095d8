#include "base/DataFolder.h"

#include "base/uConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <unistd.h>

namespace {

bool Writable(const QString& Folder) {
    return ::access(QFile::encodeName(Folder).constData(), W_OK) == 0;
}

QString UserDataFolder() {
    return WithTrailingDelimiter(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/Vantor2026"));
}

} // namespace

TDataFolder ChooseDataFolder(const std::optional<QString>& Given) {
    if (Given) {
        const QString Path = WithTrailingDelimiter(QDir(*Given).absolutePath());
        QDir().mkpath(Path);
        return {Path, {}};
    }
    const QString Beside = AppDir();
    if (Writable(Beside))
        return {Beside, {}};
    const QString Own = UserDataFolder();
    const bool FirstUse = !QFileInfo::exists(Own + SettingsFileName);
    QDir().mkpath(Own);
    if (!FirstUse)
        return {Own, {}};
    return {Own, QStringLiteral("De map van het programma (%1) is niet beschrijfbaar. "
                                "Instellingen, database en opnamen staan daarom in %2.")
                     .arg(Beside, Own)};
}
