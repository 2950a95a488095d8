#pragma once

#include <QStringList>
#include <optional>

// Splits a command line into its program and arguments as a POSIX shell does, without any
// expansion: blanks separate words, '...' keeps everything literally, "..." keeps everything
// but a backslash before " \ $ or `, and a backslash outside quotes keeps the next character.
// None when a quote is not closed or the line ends in a lone backslash.
std::optional<QStringList> SplitCommandLine(const QString& Line);
