#include "control/PreparedFile.h"

#include "audio/FileRepair.h"
#include "data/uData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

TPreparedFile::TPreparedFile(const QString& DataFolder)
    : FNotePath(QDir(DataFolder).filePath(QString::fromLatin1(NoteName))) {}

void TPreparedFile::Note(const QString& Path) {
    QSaveFile Note(FNotePath);
    if (Note.open(QIODevice::WriteOnly)) {
        Note.write(Path.toUtf8());
        Note.commit();
    }
}

void TPreparedFile::Forget() {
    QFile::remove(FNotePath);
}

bool TPreparedFile::RemoveLeftBehind(TLogData& Data) {
    QFile Note(FNotePath);
    if (!Note.open(QIODevice::ReadOnly))
        return false;
    const QString Path = QString::fromUtf8(Note.readAll());
    Note.close();
    const bool Remove = !Path.isEmpty() && !Data.IsLogged(Path) && HoldsNoAudio(Path);
    const bool Removed = Remove && QFile::remove(Path);
    Forget();
    return Removed;
}
