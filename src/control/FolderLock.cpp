#include "control/FolderLock.h"

#include <QDir>
#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TFolderLock::TFolderLock(const QString& Folder)
    : FPath(QDir(Folder).filePath(QString::fromLatin1(FileName))) {}

TFolderLock::~TFolderLock() {
    if (FFd >= 0)
        ::close(FFd);
}

bool TFolderLock::TryLock() {
    if (FFd < 0)
        FFd = ::open(QFile::encodeName(FPath).constData(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (FFd < 0)
        return true;
    return ::flock(FFd, LOCK_EX | LOCK_NB) == 0;
}
