#include "base/uTypes.h"

#include <gtest/gtest.h>

TEST(Types, StrToFormatMatchesNamesIgnoringAsciiCaseOnly) {
    struct Case {
        const char* Text;
        TAudioFormat Fallback;
        TAudioFormat Expected;
    };
    const Case Cases[] = {
        {"MP3", afWAV, afMP3},   {"mp3", afWAV, afMP3},   {"Mp3", afWAV, afMP3},
        {"opus", afMP3, afOPUS}, {"OpUs", afMP3, afOPUS}, {"wav", afMP3, afWAV},
        {"ogg", afMP3, afOGG},   {" MP3", afWAV, afWAV},  {"MP3 ", afWAV, afWAV},
        {"", afMP3, afMP3},      {"flac", afWAV, afWAV},  {"flac", afMP3, afMP3},
        {"OPU", afWAV, afWAV},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(StrToFormat(QString::fromUtf8(C.Text), C.Fallback), C.Expected) << C.Text;
    // Only A to Z fold: a dotless capital I or a fullwidth letter is not "i".
    EXPECT_EQ(StrToFormat(QStringLiteral("ＭＰ３"), afWAV), afWAV);
}

TEST(Types, NamesExtensionsAndEncodedFormats) {
    EXPECT_EQ(FormatToStr(afOPUS), "OPUS");
    EXPECT_EQ(FormatToExt(afOPUS), ".opus");
    EXPECT_EQ(FormatToExt(afWAV), ".wav");
    EXPECT_EQ(FormatToExt(afMP3), ".mp3");
    EXPECT_EQ(FormatToExt(afOGG), ".ogg");
    EXPECT_FALSE(IsEncodedFormat(afWAV));
    EXPECT_TRUE(IsEncodedFormat(afMP3));
    EXPECT_TRUE(IsEncodedFormat(afOGG));
    EXPECT_TRUE(IsEncodedFormat(afOPUS));
    for (int F = afWAV; F <= afOPUS; ++F)
        EXPECT_EQ(StrToFormat(FormatToStr(TAudioFormat(F)), afMP3), F);
}
