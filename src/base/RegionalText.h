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
// A size for the operator, in the decimal units disks are sold in (1 kB = 1000 bytes, 1 MB =
// 1000 kB, 1 GB = 1000 MB), rounded: kilobytes below a megabyte ("12 kB"), megabytes below a
// gigabyte (with one decimal below 10 MB: "7,5 MB", "512 MB"), gigabytes with one decimal
// above ("1,4 GB", "1.234,5 GB"). Nothing (or less) is "0 MB"; anything more never shows as 0.
QString ByteCountText(int64_t Bytes);
