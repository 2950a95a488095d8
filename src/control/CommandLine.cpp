#include "control/CommandLine.h"

std::optional<QStringList> SplitCommandLine(const QString& Line) {
    QStringList Words;
    QString Word;
    bool InWord = false;
    for (qsizetype I = 0; I < Line.size(); ++I) {
        const QChar C = Line[I];
        if (C == u' ' || C == u'\t' || C == u'\n') {
            if (InWord)
                Words << std::exchange(Word, QString());
            InWord = false;
            continue;
        }
        InWord = true;
        if (C == u'\\') {
            if (++I == Line.size())
                return std::nullopt;
            Word += Line[I];
        } else if (C == u'\'') {
            const qsizetype End = Line.indexOf(u'\'', I + 1);
            if (End < 0)
                return std::nullopt;
            Word += Line.mid(I + 1, End - I - 1);
            I = End;
        } else if (C == u'"') {
            for (++I;; ++I) {
                if (I == Line.size())
                    return std::nullopt;
                if (Line[I] == u'"')
                    break;
                if (Line[I] == u'\\' && I + 1 < Line.size() &&
                    QStringView(u"\"\\$`").contains(Line[I + 1]))
                    ++I;
                Word += Line[I];
            }
        } else {
            Word += C;
        }
    }
    if (InWord)
        Words << Word;
    return Words;
}
