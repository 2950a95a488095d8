#pragma once

#include <QString>

// Why a file operation failed, for the operator: the common reasons in Dutch (no space, no
// permission, a missing folder, not a folder, a read-only file system, a quota, an
// input/output error, a name too long, and more); any other errno is "systeemfout" with the
// system's own text in brackets.
QString SystemReasonText(int Errno);
