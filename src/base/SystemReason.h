#pragma once

#include <QString>

// Why a file operation failed, for the operator: the common reasons in Dutch (no space, no
// permission, a missing folder, not a folder, a read-only file system, a quota, an
// input/output error); any other errno keeps the system's own text.
QString SystemReasonText(int Errno);
