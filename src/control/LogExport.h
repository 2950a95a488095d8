#pragma once

#include "data/uData.h"

#include <QString>

// Writes every recording that Filter lets through, newest first, to Path as CSV (RFC 4180):
// UTF-8, a line with the column names first, moments as yyyy-MM-ddTHH:mm:ss in local time, a
// field that begins with =, +, -, @, a tab or a carriage return quoted with a ' in front. The
// file is replaced only once it is complete. Throws std::runtime_error with a Dutch text naming
// the file when it cannot be written, EDatabaseError when the log cannot be read.
void ExportLogCsv(TLogData& Data, const TLogFilter& Filter, const QString& Path);
