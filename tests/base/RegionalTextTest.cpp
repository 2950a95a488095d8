#include "base/RegionalText.h"

#include <QLocale>
#include <gtest/gtest.h>

// The clock display follows the regional separators whatever the locale's own patterns
// look like, and always shows zero-padded ASCII digits.
TEST(RegionalText, SeparatorsFollowTheLocale) {
    struct TCase {
        const char* Locale;
        const char* Date;
        const char* Time;
        const char* Free;
    };
    const TCase Cases[] = {
        {"nl_NL", "05-03-2026", "09:04:07", "2.047"},
        {"en_GB", "05/03/2026", "09:04:07", "2,047"},
        {"de_DE", "05.03.2026", "09:04:07", "2.047"},
        {"fi_FI", "05.03.2026", "09.04.07", "2\u00a0047"},
        {"C", "05/03/2026", "09:04:07", "2,047"},
    };
    const QLocale Saved;
    for (const TCase& C : Cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(C.Locale)));
        EXPECT_EQ(DateDisplayText(QDate(2026, 3, 5)), QString::fromUtf8(C.Date)) << C.Locale;
        EXPECT_EQ(TimeDisplayText(QTime(9, 4, 7, 900)), QString::fromUtf8(C.Time)) << C.Locale;
        EXPECT_EQ(GroupedNumber(2047), QString::fromUtf8(C.Free)) << C.Locale;
    }
    QLocale::setDefault(Saved);
}

TEST(RegionalText, GroupsEveryThreeDigits) {
    const QLocale Saved;
    QLocale::setDefault(QLocale(QStringLiteral("nl_NL")));
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(123456), "123.456");
    EXPECT_EQ(GroupedNumber(1234567890), "1.234.567.890");
    QLocale::setDefault(Saved);
}

TEST(RegionalText, TimeSeparatorFollowsTheRegionalFormat) {
    const QList<QPair<QLocale, QString>> Cases = {
        {QLocale::c(), ":"},
        {QLocale(QLocale::Dutch, QLocale::Netherlands), ":"},
        {QLocale(QLocale::English, QLocale::UnitedStates), ":"},
        {QLocale(QLocale::Finnish, QLocale::Finland), "."},
    };
    for (const auto& [Locale, Separator] : Cases)
        EXPECT_EQ(TimeSeparator(Locale), Separator) << Locale.name().toStdString();
}

// Every size the operator sees is written by one rule, in decimal units as disks are sold:
// kB below a megabyte, MB below a gigabyte, GB above, and a non-zero size never shows as zero.
TEST(RegionalText, SizesUseDecimalUnitsAndNeverShowZeroForSomething) {
    const QLocale Saved;
    const std::pair<int64_t, const char*> Dutch[] = {
        {-1, "0 MB"},
        {0, "0 MB"},
        {1, "1 kB"},
        {4096, "4 kB"},
        {999'499, "999 kB"},
        {999'500, "1,0 MB"},
        {7'549'999, "7,5 MB"},
        {31'000'000, "31 MB"},
        {int64_t{74} << 20, "78 MB"},
        {999'499'999, "999 MB"},
        {999'500'000, "1,0 GB"},
        {int64_t{1} << 30, "1,1 GB"},
        {1'400'000'000, "1,4 GB"},
        {123'456'000'000'000, "123.456,0 GB"},
        {INT64_MAX, "9.223.372.036,9 GB"},
    };
    QLocale::setDefault(QLocale(QStringLiteral("nl_NL")));
    for (const auto& [Bytes, Text] : Dutch)
        EXPECT_EQ(ByteCountText(Bytes).toStdString(), Text) << Bytes;
    QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
    EXPECT_EQ(ByteCountText(1'234'500'000'000), "1,234.5 GB");
    EXPECT_EQ(ByteCountText(7'500'000), "7.5 MB");
    QLocale::setDefault(Saved);
}
