#pragma once

#include <QThread>
#include <chrono>
#include <functional>

// Polls Done every 10 ms for up to Timeout; whether it became true.
inline bool WaitUntil(const std::function<bool()>& Done, std::chrono::milliseconds Timeout) {
    const auto Until = std::chrono::steady_clock::now() + Timeout;
    while (!Done()) {
        if (std::chrono::steady_clock::now() > Until)
            return false;
        QThread::msleep(10);
    }
    return true;
}
