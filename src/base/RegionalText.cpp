#include "base/RegionalText.h"

#include <QLocale>
#include <algorithm>

namespace {

// The first character of a locale's date pattern that is neither a field letter nor a
// quote: the separator between its fields.
QString SeparatorOf(const QString& Pattern, const QString& Fallback) {
    for (const QChar C : Pattern)
        if (!C.isLetter() && C != u'\'' && !C.isSpace())
            return QString(C);
    return Fallback;
}

// Bytes in whole Units, rounded to the nearest.
int64_t InUnits(int64_t Bytes, int64_t Unit) {
    return Bytes / Unit + (Bytes % Unit * 2 >= Unit ? 1 : 0);
}

} // namespace

QString TimeSeparator(const QLocale& Locale) {
    const QString Format = Locale.timeFormat(QLocale::ShortFormat);
    qsizetype I = 0;
    while (I < Format.size() && Format[I] != u'h' && Format[I] != u'H')
        ++I;
    while (I < Format.size() && (Format[I] == u'h' || Format[I] == u'H'))
        ++I;
    if (I >= Format.size() || Format[I].isLetterOrNumber() || Format[I].isSpace() ||
        Format[I] == u'\'')
        return QStringLiteral(":");
    return Format.mid(I, 1);
}

QString DateDisplayText(const QDate& Date) {
    const QString Sep =
        SeparatorOf(QLocale().dateFormat(QLocale::ShortFormat), QStringLiteral("/"));
    return QString::asprintf("%02d", Date.day()) + Sep + QString::asprintf("%02d", Date.month()) +
           Sep + QString::asprintf("%04d", Date.year());
}

QString TimeDisplayText(const QTime& Time) {
    const QString Sep = TimeSeparator();
    return QString::asprintf("%02d", Time.hour()) + Sep + QString::asprintf("%02d", Time.minute()) +
           Sep + QString::asprintf("%02d", Time.second());
}

QString GroupedNumber(int64_t Value) {
    const QString Digits = QString::number(Value < 0 ? -Value : Value);
    const QString Sep = QLocale().groupSeparator();
    QString Result;
    for (qsizetype I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0)
            Result += Sep;
        Result += Digits[I];
    }
    return Value < 0 ? u'-' + Result : Result;
}

namespace {

// Tenths as "12,3" with the regional separators.
QString WithOneDecimal(int64_t Tenths) {
    return GroupedNumber(Tenths / 10) + QLocale().decimalPoint() + QString::number(Tenths % 10);
}

} // namespace

QString ByteCountText(int64_t Bytes) {
    constexpr int64_t KB = 1000, MB = 1000 * KB, GB = 1000 * MB;
    if (Bytes <= 0)
        return QStringLiteral("0 MB");
    if (InUnits(Bytes, KB) < 1000)
        return GroupedNumber(std::max<int64_t>(InUnits(Bytes, KB), 1)) + QStringLiteral(" kB");
    if (InUnits(Bytes, MB / 10) < 100)
        return WithOneDecimal(InUnits(Bytes, MB / 10)) + QStringLiteral(" MB");
    if (InUnits(Bytes, MB) < 1000)
        return GroupedNumber(InUnits(Bytes, MB)) + QStringLiteral(" MB");
    return WithOneDecimal(InUnits(Bytes, GB / 10)) + QStringLiteral(" GB");
}
