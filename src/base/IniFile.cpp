#include "base/IniFile.h"

#include "base/SystemReason.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>

namespace {

bool IsComment(const QString& Trimmed) {
    return Trimmed.startsWith(u';') || Trimmed.startsWith(u'#');
}

// The name of a "[Section]" line, or nothing for any other line.
std::optional<QString> SectionName(const QString& Line) {
    const QString Trimmed = Line.trimmed();
    if (Trimmed.size() < 2 || !Trimmed.startsWith(u'[') || !Trimmed.endsWith(u']'))
        return std::nullopt;
    return Trimmed.mid(1, Trimmed.size() - 2).trimmed();
}

// Key and value of a "Key=Value" line, or nothing for any other line.
std::optional<std::pair<QString, QString>> KeyValue(const QString& Line) {
    const QString Trimmed = Line.trimmed();
    if (Trimmed.isEmpty() || IsComment(Trimmed) || SectionName(Line))
        return std::nullopt;
    const qsizetype Eq = Trimmed.indexOf(u'=');
    if (Eq <= 0)
        return std::nullopt;
    return std::make_pair(Trimmed.left(Eq).trimmed(), Trimmed.mid(Eq + 1).trimmed());
}

// Why a call on File failed: Qt's texts are English, so the errno the call left tells, in
// Dutch where the reason is a common one; Qt's text when errno tells nothing.
QString FailureReason(const QFileDevice& File, int Errno) {
    return Errno != 0 ? SystemReasonText(Errno) : File.errorString();
}

bool SameName(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

} // namespace

TIniFile::TIniFile(QString Path) : FPath(std::move(Path)) {}

bool TIniFile::Exists() const {
    return QFileInfo::exists(FPath);
}

bool TIniFile::Read(QString& Error) {
    FLines.clear();
    if (QFileInfo(FPath).isDir()) {
        Error = SystemReasonText(EISDIR);
        return false;
    }
    QFile File(FPath);
    errno = 0;
    if (!File.open(QIODevice::ReadOnly)) {
        Error = FailureReason(File, errno);
        return false;
    }
    QByteArray Bytes = File.readAll();
    if (File.error() != QFileDevice::NoError) {
        Error = FailureReason(File, errno);
        return false;
    }
    if (Bytes.startsWith("\xEF\xBB\xBF"))
        Bytes.remove(0, 3);
    QString Text = QString::fromUtf8(Bytes);
    if (Text.contains(QStringLiteral("\r\n")))
        FLineEnd = QStringLiteral("\r\n");
    Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    FLines = Text.split(u'\n');
    if (!FLines.isEmpty() && FLines.last().isEmpty())
        FLines.removeLast();
    return true;
}

qsizetype TIniFile::FindSection(const QString& Section) const {
    for (qsizetype I = 0; I < FLines.size(); ++I)
        if (const auto Name = SectionName(FLines[I]); Name && SameName(*Name, Section))
            return I;
    return -1;
}

qsizetype TIniFile::SectionEnd(qsizetype SectionLine) const {
    qsizetype I = SectionLine + 1;
    while (I < FLines.size() && !SectionName(FLines[I]))
        ++I;
    return I;
}

std::optional<QString> TIniFile::Value(const QString& Section, const QString& Key) const {
    const qsizetype Start = FindSection(Section);
    if (Start < 0)
        return std::nullopt;
    const qsizetype End = SectionEnd(Start);
    for (qsizetype I = Start + 1; I < End; ++I)
        if (const auto Pair = KeyValue(FLines[I]); Pair && SameName(Pair->first, Key))
            return Pair->second;
    return std::nullopt;
}

void TIniFile::SetValue(const QString& Section, const QString& Key, const QString& Value) {
    const QString Line = Key + u'=' + Value;
    const qsizetype Start = FindSection(Section);
    if (Start < 0) {
        if (!FLines.isEmpty() && !FLines.last().trimmed().isEmpty())
            FLines.append(QString());
        FLines.append(u'[' + Section + u']');
        FLines.append(Line);
        return;
    }
    const qsizetype End = SectionEnd(Start);
    for (qsizetype I = Start + 1; I < End; ++I) {
        if (const auto Pair = KeyValue(FLines[I]); Pair && SameName(Pair->first, Key)) {
            FLines[I] = Line;
            return;
        }
    }
    // Append after the section's last non-blank line so a blank separator stays in place.
    qsizetype Insert = End;
    while (Insert > Start + 1 && FLines[Insert - 1].trimmed().isEmpty())
        --Insert;
    FLines.insert(Insert, Line);
}

bool TIniFile::Write(QString& Error) const {
    QSaveFile File(FPath);
    File.setDirectWriteFallback(true);
    errno = 0;
    if (!File.open(QIODevice::WriteOnly)) {
        Error = FailureReason(File, errno);
        return false;
    }
    QString Text;
    for (const QString& Line : FLines)
        Text += Line + FLineEnd;
    File.write(Text.toUtf8());
    errno = 0;
    if (!File.commit()) {
        Error = FailureReason(File, errno);
        return false;
    }
    return true;
}

int32_t ParseIniInteger(const QString& Text, int32_t Fallback) {
    QString Digits = Text.trimmed();
    bool Negative = false;
    if (Digits.startsWith(u'-') || Digits.startsWith(u'+')) {
        Negative = Digits.startsWith(u'-');
        Digits.remove(0, 1);
    }
    int Base = 10;
    if (Digits.startsWith(u'$')) {
        Base = 16;
        Digits.remove(0, 1);
    } else if (Digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        Base = 16;
        Digits.remove(0, 2);
    }
    if (Digits.isEmpty())
        return Fallback;
    for (const QChar C : Digits) {
        const bool Ok = Base == 16 ? isxdigit(C.unicode()) && C.unicode() < 0x80
                                   : C.isDigit() && C.unicode() < 0x80;
        if (!Ok)
            return Fallback;
    }
    bool Ok = false;
    const qulonglong Magnitude = Digits.toULongLong(&Ok, Base);
    if (!Ok)
        return Fallback;
    if (Base == 16) {
        // Hexadecimal names the 32 bits themselves: $FFFFFFFF is -1.
        if (Magnitude > 0xFFFFFFFFull)
            return Fallback;
        const auto Bits = static_cast<int32_t>(static_cast<uint32_t>(Magnitude));
        return Negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(Bits)) : Bits;
    }
    const long long Value =
        Negative ? -static_cast<long long>(Magnitude) : static_cast<long long>(Magnitude);
    if (Magnitude > 0x80000000ull || Value < INT32_MIN || Value > INT32_MAX)
        return Fallback;
    return static_cast<int32_t>(Value);
}
