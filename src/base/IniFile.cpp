#include "base/IniFile.h"

#include "base/SystemReason.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
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
    if (Bytes.contains("\r\n"))
        FLineEnd = QStringLiteral("\r\n");
    QList<QByteArray> Lines = Bytes.split('\n');
    if (!Lines.isEmpty() && Lines.last().isEmpty())
        Lines.removeLast();
    for (qsizetype I = 0; I < Lines.size(); ++I) {
        QByteArray& Line = Lines[I];
        // A CR before the split LF belongs to the line end, not to the line.
        if (Line.endsWith('\r') && (I + 1 < Lines.size() || Bytes.endsWith('\n')))
            Line.chop(1);
        QStringDecoder Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString Text = Decoder(Line);
        FLines.append({std::move(Text), Line, !Decoder.hasError()});
    }
    return true;
}

QList<qsizetype> TIniFile::FindSections(const QString& Section) const {
    QList<qsizetype> Found;
    for (qsizetype I = 0; I < FLines.size(); ++I)
        if (const auto Name = SectionName(FLines[I].Text); Name && SameName(*Name, Section))
            Found << I;
    return Found;
}

qsizetype TIniFile::SectionEnd(qsizetype SectionLine) const {
    qsizetype I = SectionLine + 1;
    while (I < FLines.size() && !SectionName(FLines[I].Text))
        ++I;
    return I;
}

std::optional<TIniFile::TValue> TIniFile::Value(const QString& Section, const QString& Key) const {
    for (const qsizetype Start : FindSections(Section)) {
        const qsizetype End = SectionEnd(Start);
        for (qsizetype I = Start + 1; I < End; ++I)
            if (const auto Pair = KeyValue(FLines[I].Text); Pair && SameName(Pair->first, Key))
                return TValue{Pair->second, FLines[I].ValidUtf8};
    }
    return std::nullopt;
}

bool TIniFile::SetValue(const QString& Section, const QString& Key, const QString& Value) {
    for (const QChar C : Key + Value)
        if (C.category() == QChar::Other_Control)
            return false;
    const QString Text = Key + u'=' + Value;
    const TLine Line{Text, Text.toUtf8(), true};
    const QList<qsizetype> Starts = FindSections(Section);
    if (Starts.isEmpty()) {
        if (!FLines.isEmpty() && !FLines.last().Text.trimmed().isEmpty())
            FLines.append(TLine());
        const QString Header = u'[' + Section + u']';
        FLines.append({Header, Header.toUtf8(), true});
        FLines.append(Line);
        return true;
    }
    for (const qsizetype Start : Starts) {
        const qsizetype End = SectionEnd(Start);
        for (qsizetype I = Start + 1; I < End; ++I) {
            if (const auto Pair = KeyValue(FLines[I].Text); Pair && SameName(Pair->first, Key)) {
                FLines[I] = Line;
                return true;
            }
        }
    }
    // Append after the first section's last non-blank line so a blank separator stays in place.
    const qsizetype Start = Starts.first();
    qsizetype Insert = SectionEnd(Start);
    while (Insert > Start + 1 && FLines[Insert - 1].Text.trimmed().isEmpty())
        --Insert;
    FLines.insert(Insert, Line);
    return true;
}

QStringList TIniFile::Repeats() const {
    QStringList Repeated;
    QHash<QString, qsizetype> FirstSection;
    QHash<QString, qsizetype> FirstKey;
    std::optional<QString> Section;
    for (qsizetype I = 0; I < FLines.size(); ++I) {
        if (const auto Name = SectionName(FLines[I].Text)) {
            Section = *Name;
            const qsizetype First = FirstSection.value(Name->toLower(), I);
            FirstSection.insert(Name->toLower(), First);
            if (First != I)
                Repeated << QStringLiteral("[%1] op regel %2 (al op regel %3)")
                                .arg(*Name)
                                .arg(I + 1)
                                .arg(First + 1);
            continue;
        }
        const auto Pair = KeyValue(FLines[I].Text);
        if (!Section || !Pair)
            continue;
        const QString Id = Section->toLower() + u']' + Pair->first.toLower();
        const qsizetype First = FirstKey.value(Id, I);
        FirstKey.insert(Id, First);
        if (First != I)
            Repeated << QStringLiteral("[%1] %2 op regel %3 (al op regel %4)")
                            .arg(*Section, Pair->first)
                            .arg(I + 1)
                            .arg(First + 1);
    }
    return Repeated;
}

bool TIniFile::Write(QString& Error) const {
    QSaveFile File(FPath);
    File.setDirectWriteFallback(true);
    errno = 0;
    if (!File.open(QIODevice::WriteOnly)) {
        Error = FailureReason(File, errno);
        return false;
    }
    const QByteArray LineEnd = FLineEnd.toUtf8();
    QByteArray Bytes;
    for (const TLine& Line : FLines)
        Bytes += Line.Bytes + LineEnd;
    File.write(Bytes);
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
