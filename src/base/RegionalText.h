#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>
#include <cstdint>

// Date, time and number texts with the separators of the regional settings (QLocale()), and
// always with ASCII digits.

// The character a locale puts between hours and minutes; ':' when its format shows none.
QString TimeSeparator(const QLocale& Locale = QLocale());
// "dd/mm/yyyy" with the regional date separator in place of each slash.
QString DateDisplayText(const QDate& Date);
// "hh:nn:ss" on the 24-hour clock with the regional time separator.
QString TimeDisplayText(const QTime& Time);
// The number with its digits grouped by thousands with the regional separator ("#,##0").
QString GroupedNumber(int64_t Value);
