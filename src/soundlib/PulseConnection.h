#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <functional>
#include <memory>

namespace soundlib {

// No answer from the server within this time counts as no server.
inline constexpr pa_usec_t AnswerTimeout = 2 * PA_USEC_PER_SEC;

struct TLoopDeleter {
    void operator()(pa_threaded_mainloop* Loop) const {
        pa_threaded_mainloop_stop(Loop);
        pa_threaded_mainloop_free(Loop);
    }
};

class TLoopLock {
public:
    explicit TLoopLock(pa_threaded_mainloop* Loop) : FLoop(Loop) {
        pa_threaded_mainloop_lock(FLoop);
    }
    ~TLoopLock() { pa_threaded_mainloop_unlock(FLoop); }
    TLoopLock(const TLoopLock&) = delete;
    TLoopLock& operator=(const TLoopLock&) = delete;

private:
    pa_threaded_mainloop* FLoop;
};

// One connection to the server (PULSE_SERVER, client.conf): a threaded main loop, whose thread
// runs every callback of the connection's streams, and its context. Streams share it and keep
// it alive while they run.
class TPulseConnection {
public:
    // Connects within AnswerTimeout; null with Error set (a BASS code) when there is no usable
    // server. Any thread.
    static std::shared_ptr<TPulseConnection> Connect(int& Error);
    // Closes the connection without a word to the server, which may hang. Not on the loop thread.
    ~TPulseConnection();

    // False once the server went away. Any thread.
    bool Alive() const { return FReady.load(std::memory_order_acquire); }
    pa_threaded_mainloop* Loop() const { return FLoop.get(); }
    pa_context* Context() const { return FContext; }

    // With the loop locked: waits until Done() or AnswerTimeout passes; returns Done(). Callbacks
    // that change what Done() looks at signal the loop.
    bool Wait(const std::function<bool()>& Done);
    // With the loop locked, after the stream was connected: waits until it is ready or has
    // failed; whether it is ready. The stream's state callback signals the loop.
    bool WaitUntilReady(pa_stream* Stream);
    // With the loop locked: ends a stream of the connection without waiting for the server's
    // answer (a server that hangs must not hold up a stop): no callback of it runs any more, it
    // is disconnected while it still is connected, and released.
    static void EndStream(pa_stream* Stream);

private:
    TPulseConnection() = default;
    static void OnState(pa_context* Context, void* User);

    std::unique_ptr<pa_threaded_mainloop, TLoopDeleter> FLoop;
    pa_context* FContext = nullptr;
    std::atomic<bool> FReady{false};
};

} // namespace soundlib
