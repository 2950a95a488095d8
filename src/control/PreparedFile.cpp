#include "control/PreparedFile.h"

#include "audio/WavFormat.h"
#include "data/uData.h"
#include "soundlib/SoundFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

namespace {

// Whether the file holds no audio: a WAV file no longer than its header (whose sizes say
// nothing after a crash), an empty file, or an encoded file that decodes to no frame at all. A
// file that cannot be read or decoded is taken to hold some, and kept.
bool HoldsNoAudio(const QString& Path) {
    const QFileInfo Info(Path);
    if (!Info.isFile() || Info.isSymLink())
        return false;
    if (Info.suffix().compare(QStringLiteral("wav"), Qt::CaseInsensitive) == 0)
        return Info.size() <= WavHeaderBytes;
    if (Info.size() == 0)
        return true;
    int Error = 0;
    int FileErrno = 0;
    const auto File =
        soundlib::TSoundFile::Open(QFile::encodeName(Path).toStdString(), Error, FileErrno);
    if (!File)
        return false;
    std::array<int16_t, 2 * 64> Frames{};
    return File->Read(Frames.data(), 64 / File->Channels()) == 0;
}

} // namespace

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
