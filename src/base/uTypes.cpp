#include "base/uTypes.h"

namespace {

char AsciiUpper(char16_t C) {
    return (C >= u'a' && C <= u'z') ? static_cast<char>(C - u'a' + 'A') : static_cast<char>(C);
}

bool SameIgnoringAsciiCase(const QString& Text, const char* Name) {
    const auto Length = static_cast<qsizetype>(std::char_traits<char>::length(Name));
    if (Text.size() != Length)
        return false;
    for (qsizetype I = 0; I < Length; ++I) {
        const char16_t C = Text[I].unicode();
        if (C > 0x7F || AsciiUpper(C) != Name[I])
            return false;
    }
    return true;
}

} // namespace

QString FormatToStr(TAudioFormat Format) {
    return QString::fromLatin1(FormatNames[Format]);
}

TAudioFormat StrToFormat(const QString& Text, TAudioFormat Fallback) {
    for (int I = 0; I < static_cast<int>(FormatNames.size()); ++I)
        if (SameIgnoringAsciiCase(Text, FormatNames[I]))
            return static_cast<TAudioFormat>(I);
    return Fallback;
}

QString FormatToExt(TAudioFormat Format) {
    return QString::fromLatin1(FormatExtensions[Format]);
}

bool IsEncodedFormat(TAudioFormat Format) {
    return Format != afWAV;
}
