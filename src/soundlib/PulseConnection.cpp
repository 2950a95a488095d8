#include "soundlib/PulseConnection.h"

#include "soundlib/bass.h"

namespace soundlib {

std::shared_ptr<TPulseConnection> TPulseConnection::Connect(int& Error) {
    std::shared_ptr<TPulseConnection> Connection(new TPulseConnection());
    Connection->FLoop.reset(pa_threaded_mainloop_new());
    if (!Connection->FLoop) {
        Error = BASS_ERROR_MEM;
        return nullptr;
    }
    pa_threaded_mainloop* Loop = Connection->Loop();
    Connection->FContext = pa_context_new(pa_threaded_mainloop_get_api(Loop), "Vantor 2026");
    if (!Connection->FContext) {
        Error = BASS_ERROR_MEM;
        return nullptr;
    }
    pa_context_set_state_callback(Connection->FContext, OnState, Connection.get());
    if (pa_threaded_mainloop_start(Loop) < 0) {
        Error = BASS_ERROR_MEM;
        return nullptr;
    }
    {
        TLoopLock Lock(Loop);
        pa_context* Context = Connection->FContext;
        const bool Ready =
            pa_context_connect(Context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0 &&
            Connection->Wait([Context] {
                const pa_context_state_t State = pa_context_get_state(Context);
                return State == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(State);
            }) &&
            pa_context_get_state(Context) == PA_CONTEXT_READY;
        if (!Ready) {
            Error = BASS_ERROR_DRIVER;
            return nullptr;
        }
    }
    return Connection;
}

TPulseConnection::~TPulseConnection() {
    if (FContext) {
        TLoopLock Lock(Loop());
        pa_context_set_state_callback(FContext, nullptr, nullptr);
        pa_context_disconnect(FContext);
        pa_context_unref(FContext);
    }
}

void TPulseConnection::OnState(pa_context* Context, void* User) {
    auto* Self = static_cast<TPulseConnection*>(User);
    Self->FReady.store(pa_context_get_state(Context) == PA_CONTEXT_READY,
                       std::memory_order_release);
    pa_threaded_mainloop_signal(Self->Loop(), 0);
}

bool TPulseConnection::Wait(const std::function<bool()>& Done) {
    struct TTimer {
        pa_threaded_mainloop* Loop;
        bool Expired = false;
    } Timer{Loop()};
    auto OnTimer = [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* User) {
        auto* T = static_cast<TTimer*>(User);
        T->Expired = true;
        pa_threaded_mainloop_signal(T->Loop, 0);
    };
    pa_time_event* Event =
        pa_context_rttime_new(FContext, pa_rtclock_now() + AnswerTimeout, OnTimer, &Timer);
    while (!Done() && !Timer.Expired)
        pa_threaded_mainloop_wait(Loop());
    if (Event)
        pa_threaded_mainloop_get_api(Loop())->time_free(Event);
    return Done();
}

bool TPulseConnection::WaitUntilReady(pa_stream* Stream) {
    Wait([Stream] {
        const pa_stream_state_t State = pa_stream_get_state(Stream);
        return State == PA_STREAM_READY || !PA_STREAM_IS_GOOD(State);
    });
    return pa_stream_get_state(Stream) == PA_STREAM_READY;
}

void TPulseConnection::EndStream(pa_stream* Stream) {
    pa_stream_set_read_callback(Stream, nullptr, nullptr);
    pa_stream_set_write_callback(Stream, nullptr, nullptr);
    pa_stream_set_state_callback(Stream, nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)))
        pa_stream_disconnect(Stream);
    pa_stream_unref(Stream);
}

} // namespace soundlib
