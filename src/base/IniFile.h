#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// A small INI file that keeps every line it does not change: other sections, keys, comments
// and blank lines survive an update. Sections and keys match in any letter case; blanks
// around '=' are ignored; lines starting with ';' or '#' are comments; CRLF and a UTF-8 BOM
// are accepted and the file's line ending is kept.
class TIniFile {
public:
    explicit TIniFile(QString Path);

    bool Exists() const;
    // Reads the file. False, with the system's reason in Error, when it exists but cannot be read.
    bool Read(QString& Error);
    std::optional<QString> Value(const QString& Section, const QString& Key) const;
    // Replaces the key's value in place, or appends the key to its section (or a new section).
    void SetValue(const QString& Section, const QString& Key, const QString& Value);
    // Replaces the file on disk atomically and syncs it. False, with the reason in Error.
    bool Write(QString& Error) const;

private:
    qsizetype FindSection(const QString& Section) const;
    qsizetype SectionEnd(qsizetype SectionLine) const;

    QString FPath;
    QStringList FLines;
    QString FLineEnd = QStringLiteral("\n");
};

// Whole numbers as the settings file writes them: decimal, or hexadecimal after "$" or
// "0x"/"0X" with at least one digit; 32 bits. Anything else gives Fallback.
int32_t ParseIniInteger(const QString& Text, int32_t Fallback);
