#pragma once

#include <QDateTime>
#include <functional>

// The local time as the recorder and the controller read it. The program uses the real
// clock; tests pass their own to walk across hour boundaries.
using TClock = std::function<QDateTime()>;

inline QDateTime SystemNow() {
    return QDateTime::currentDateTime();
}
