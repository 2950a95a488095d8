#include "control/RecordingLock.h"

#include <QFile>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

TRecordingLock::TRecordingLock(const QString& Path) {
    const QByteArray Name = QFile::encodeName(Path);
    FFd = ::open(Name.constData(), O_RDWR | O_CLOEXEC);
    if (FFd < 0)
        FFd = ::open(Name.constData(), O_RDONLY | O_CLOEXEC);
}

TRecordingLock::~TRecordingLock() {
    if (FFd >= 0)
        ::close(FFd);
}

bool TRecordingLock::TryLock() {
    return FFd >= 0 && ::flock(FFd, LOCK_EX | LOCK_NB) == 0;
}
