#include "control/RecordingNames.h"

#include "base/uConfig.h"

#include <QFileInfo>
#include <algorithm>

QString RecordingFolder(const QString& Root, const QDateTime& Moment) {
    const QDate D = Moment.toLocalTime().date();
    return WithTrailingDelimiter(Root) +
           QString::asprintf("%04d/%02d/%02d/", D.year(), D.month(), D.day());
}

QString RecordingFileName(const QDateTime& Moment, int32_t Number, TAudioFormat Format) {
    const QDateTime Local = Moment.toLocalTime();
    const QDate D = Local.date();
    return QString::asprintf("%02d%02d%04d%02d%d", D.day(), D.month(), D.year(),
                             Local.time().hour(), Number) +
           FormatToExt(Format);
}

QString NumberedFileName(const QString& FileName, int Suffix) {
    if (Suffix <= 1)
        return FileName;
    const qsizetype Dot = FileName.lastIndexOf(u'.');
    return QStringLiteral("%1_%2%3").arg(FileName.left(Dot)).arg(Suffix).arg(FileName.mid(Dot));
}

QString FreeFileName(const QString& Folder, const QString& FileName, int& Suffix) {
    for (;; ++Suffix) {
        const QString Candidate = NumberedFileName(FileName, Suffix);
        const QFileInfo Info(Folder + Candidate);
        if (!Info.exists() && !Info.isSymLink())
            return Candidate;
    }
}

int32_t NextRecNumber(int32_t Logged) {
    return std::min<int32_t>(Logged + 1, 9);
}
