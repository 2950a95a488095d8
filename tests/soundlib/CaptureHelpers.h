#pragma once

#include "soundlib/bass.h"
#include "support/WaitUntil.h"

#include <QThread>
#include <atomic>
#include <mutex>
#include <vector>

using TStartFile = HENCODE(DWORD, const char*, DWORD, const char*);

// What a channel's callback received, in order.
struct TCollected {
    std::mutex Mutex;
    std::vector<int16_t> Samples;
    std::atomic<size_t> Bytes{0};
    std::atomic<bool> OnCallerThread{false};
    Qt::HANDLE CallerThread = QThread::currentThreadId();

    static BOOL Proc(HRECORD, const void* Buffer, DWORD Length, void* User) {
        auto* Self = static_cast<TCollected*>(User);
        if (QThread::currentThreadId() == Self->CallerThread)
            Self->OnCallerThread = true;
        std::lock_guard Lock(Self->Mutex);
        const auto* Begin = static_cast<const int16_t*>(Buffer);
        Self->Samples.insert(Self->Samples.end(), Begin, Begin + Length / 2);
        Self->Bytes += Length;
        return 1;
    }
    std::vector<int16_t> Copy() {
        std::lock_guard Lock(Mutex);
        return Samples;
    }
};

// A running frame counter as CounterSignal writes it in stereo.
inline uint32_t CounterAt(const std::vector<int16_t>& Stereo, size_t Frame) {
    return uint16_t(Stereo[2 * Frame]) | uint32_t(uint16_t(Stereo[2 * Frame + 1])) << 16;
}
