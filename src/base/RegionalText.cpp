#include "base/RegionalText.h"

#include <QLocale>

namespace {

// The first character of a locale's date pattern that is neither a field letter nor a
// quote: the separator between its fields.
QString SeparatorOf(const QString& Pattern, const QString& Fallback) {
    for (const QChar C : Pattern)
        if (!C.isLetter() && C != u'\'' && !C.isSpace())
            return QString(C);
    return Fallback;
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
