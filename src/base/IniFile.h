#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// A small INI file that keeps every line it does not change: other sections, keys, comments
// and blank lines survive an update. Sections and keys match in any letter case; blanks
// around '=' are ignored; lines starting with ';' or '#' are comments; CRLF and a UTF-8 BOM
// are accepted and the file's line ending is kept. A section that appears more than once is
// read as one: its later keys count too, and a key given twice counts where it first appears.
// Lines are kept as the file holds them, bytes that are not UTF-8 included, until they change.
class TIniFile {
public:
    // A key's value as the file holds it.
    struct TValue {
        QString Text;
        // False when the key's line is not valid UTF-8: Text then holds replacement characters
        // and is not what the file says.
        bool ValidUtf8 = true;
    };

    explicit TIniFile(QString Path);

    bool Exists() const;
    // Reads the file. False, with the system's reason in Error, when it exists but cannot be read.
    bool Read(QString& Error);
    std::optional<TValue> Value(const QString& Section, const QString& Key) const;
    // Replaces the key's value in place, or appends the key to its section (or a new section).
    // False, and the file unchanged, when the value holds a line break or another control
    // character: written out it would split its line or be read back as something else.
    bool SetValue(const QString& Section, const QString& Key, const QString& Value);
    // Each section that appears again after its first "[Section]" line, and each key that
    // appears again in its section, in Dutch with the line numbers (from 1); empty when each
    // appears once.
    QStringList Repeats() const;
    // Replaces the file on disk atomically and syncs it. False, with the reason in Error.
    bool Write(QString& Error) const;

private:
    struct TLine {
        QString Text;
        // The line as the file held it; written back unchanged until the line is replaced.
        QByteArray Bytes;
        bool ValidUtf8 = true;
    };

    // The "[Section]" lines of Section, in file order.
    QList<qsizetype> FindSections(const QString& Section) const;
    qsizetype SectionEnd(qsizetype SectionLine) const;

    QString FPath;
    QList<TLine> FLines;
    QString FLineEnd = QStringLiteral("\n");
};

// Whole numbers as the settings file writes them: decimal, or hexadecimal after "$" or
// "0x"/"0X" with at least one digit; 32 bits. Anything else gives Fallback.
int32_t ParseIniInteger(const QString& Text, int32_t Fallback);
