#include "soundlib/PulseBackend.h"

#include "soundlib/Channel.h"
#include "soundlib/FrameTimes.h"
#include "soundlib/PulseConnection.h"
#include "soundlib/bass.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>

namespace soundlib {

namespace {

// The server's sources in index order.
int ListServerSources(TPulseConnection& Connection, std::vector<TSourceInfo>& Sources) {
    struct TListing {
        pa_threaded_mainloop* Loop;
        std::vector<std::pair<uint32_t, TSourceInfo>> Found{};
        bool Done = false;
        bool Failed = false;
    } Listing{Connection.Loop(), {}};
    auto OnSource = [](pa_context*, const pa_source_info* Info, int Eol, void* User) {
        auto* L = static_cast<TListing*>(User);
        if (Eol != 0) {
            L->Done = true;
            L->Failed = Eol < 0;
            pa_threaded_mainloop_signal(L->Loop, 0);
            return;
        }
        const bool Unplugged =
            Info->active_port && Info->active_port->available == PA_PORT_AVAILABLE_NO;
        L->Found.push_back(
            {Info->index,
             {Info->description ? Info->description : Info->name, Info->name, !Unplugged}});
    };
    TLoopLock Lock(Connection.Loop());
    pa_operation* Op = pa_context_get_source_info_list(Connection.Context(), OnSource, &Listing);
    if (!Op)
        return BASS_ERROR_DRIVER;
    const bool Done = Connection.Wait([&] { return Listing.Done || !Connection.Alive(); });
    if (!Done || !Listing.Done)
        pa_operation_cancel(Op);
    pa_operation_unref(Op);
    if (!Listing.Done || Listing.Failed)
        return BASS_ERROR_DRIVER;
    std::sort(Listing.Found.begin(), Listing.Found.end(),
              [](const auto& A, const auto& B) { return A.first < B.first; });
    for (auto& [Index, Source] : Listing.Found)
        Sources.push_back(std::move(Source));
    return BASS_OK;
}

// One record stream. The read callback runs on the connection's loop thread: it moves what
// the server sent into the ring and never blocks.
class TPulseStream : public TCaptureStream {
public:
    TPulseStream(const TCaptureFormat& Format, std::shared_ptr<TPulseConnection> Connection)
        : TCaptureStream(Format), FConnection(std::move(Connection)) {}
    ~TPulseStream() override;

    // Source: the server's name of the source, empty for the default source. BASS_OK or the
    // error code.
    int Connect(const std::string& Source);

private:
    static void OnRead(pa_stream* Stream, size_t Readable, void* User);
    static void OnState(pa_stream* Stream, void* User);

    std::shared_ptr<TPulseConnection> FConnection;
    pa_stream* FStream = nullptr;
};

int TPulseStream::Connect(const std::string& Source) {
    TLoopLock Lock(FConnection->Loop());
    const pa_sample_spec SampleFormat{PA_SAMPLE_S16LE, Format().Rate,
                                      static_cast<uint8_t>(Format().Channels)};
    FStream = pa_stream_new(FConnection->Context(), "Opname", &SampleFormat, nullptr);
    if (!FStream)
        return FConnection->Alive() ? BASS_ERROR_FORMAT : BASS_ERROR_DRIVER;
    pa_stream_set_read_callback(FStream, OnRead, this);
    pa_stream_set_state_callback(FStream, OnState, this);
    const uint32_t Server = static_cast<uint32_t>(-1); // the server's choice
    const auto Period = std::chrono::microseconds(DeliveryPeriod).count();
    pa_buffer_attr Attr{Server, Server, Server, Server,
                        static_cast<uint32_t>(pa_usec_to_bytes(Period, &SampleFormat))};
    const char* Device = Source.empty() ? nullptr : Source.c_str();
    // A chosen source that vanishes (a device unplugged) ends the stream, which shows as a lost
    // capture, instead of the server moving it to another source and recording the wrong input.
    // The server's timing reports, asked for on their own, let the read callback date the audio
    // without asking the server.
    const auto Flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                       (Device ? PA_STREAM_DONT_MOVE : PA_STREAM_NOFLAGS));
    const bool Ready = pa_stream_connect_record(FStream, Device, &Attr, Flags) >= 0 &&
                       FConnection->WaitUntilReady(FStream);
    if (Ready)
        return BASS_OK;
    if (!FConnection->Alive())
        return BASS_ERROR_DRIVER;
    return pa_context_errno(FConnection->Context()) == PA_ERR_NOENTITY ? BASS_ERROR_DEVICE
                                                                       : BASS_ERROR_NOTAVAIL;
}

// Asks the server to end the stream and goes: waiting for its answer would let a server that
// hangs hold up a stop.
TPulseStream::~TPulseStream() {
    if (!FStream)
        return;
    TLoopLock Lock(FConnection->Loop());
    TPulseConnection::EndStream(FStream);
}

// When the audio the next peek returns entered the source, from the server's latest timing
// report: the stream's time at the report (what the server had written into the stream, plus
// what was in transit and in the source, less the sink's latency when the source is a monitor,
// which passes audio on before the sink plays it) runs on with the wall clock, and the frame at
// the read position lies that far behind it. Worked out here rather than by
// pa_stream_get_latency, which takes that time as 0 while the sink's latency exceeds what was
// written, and then holds its time still until the true time catches up: a monitor captured
// just after its sink began playing had its first second dated up to half a second early.
std::optional<int64_t> NextCaptureTime(pa_stream* Stream) {
    const pa_timing_info* Timing = pa_stream_get_timing_info(Stream);
    if (!Timing || Timing->read_index_corrupt || Timing->write_index_corrupt)
        return std::nullopt; // no timing yet: the time is counted on from earlier blocks
    const pa_sample_spec* Format = pa_stream_get_sample_spec(Stream);
    const auto Usec = [Format](int64_t Index) {
        return static_cast<int64_t>(
            pa_bytes_to_usec(static_cast<uint64_t>(std::max<int64_t>(0, Index)), Format));
    };
    const int64_t StreamTime =
        Usec(Timing->write_index) + static_cast<int64_t>(Timing->transport_usec) +
        static_cast<int64_t>(Timing->source_usec) - static_cast<int64_t>(Timing->sink_usec);
    const int64_t Reported = int64_t{Timing->timestamp.tv_sec} * 1'000'000'000 +
                             int64_t{Timing->timestamp.tv_usec} * 1000;
    const int64_t Captured = Reported + (Usec(Timing->read_index) - StreamTime) * 1000;
    // A capture lags the clock by some tens of milliseconds. A time further off says the report
    // cannot be trusted (a clock set meanwhile, a process whose clock is not the server's): the
    // time is then counted on from earlier blocks, or taken from the moment of reading.
    constexpr int64_t Plausible = 2'000'000'000;
    if (std::abs(RealtimeNanoseconds() - Captured) > Plausible)
        return std::nullopt;
    return Captured;
}

void TPulseStream::OnRead(pa_stream* Stream, size_t Readable, void* User) {
    auto* Self = static_cast<TPulseStream*>(User);
    // The fragments of one call follow each other without a break: one reading of the latency
    // dates them all.
    std::optional<int64_t> CaptureTime = NextCaptureTime(Stream);
    const int64_t FrameBytes = Self->Format().FrameBytes();
    // Takes the Readable bytes the server announced and asks no more: every call into the
    // library costs a system call (its fork check), at hundreds of fragments a second. What
    // arrives later announces itself with another call.
    while (Readable > 0) {
        const void* Data = nullptr;
        size_t Bytes = 0;
        if (pa_stream_peek(Stream, &Data, &Bytes) < 0) {
            Self->MarkDead();
            return;
        }
        if (Bytes == 0)
            return;
        if (Data)
            Self->Deliver(Data, Bytes, CaptureTime);
        else
            Self->DeliverSilence(Bytes, CaptureTime); // a hole in the source's audio
        if (CaptureTime)
            *CaptureTime +=
                static_cast<int64_t>(Bytes) / FrameBytes * 1'000'000'000 / Self->Format().Rate;
        pa_stream_drop(Stream);
        Readable -= std::min(Readable, Bytes);
    }
}

void TPulseStream::OnState(pa_stream* Stream, void* User) {
    auto* Self = static_cast<TPulseStream*>(User);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(Stream)))
        Self->MarkDead();
    pa_threaded_mainloop_signal(Self->FConnection->Loop(), 0);
}

class TPulseDevice : public TCaptureDevice {
public:
    TPulseDevice(std::shared_ptr<TPulseConnection> Connection, std::string Source)
        : FConnection(std::move(Connection)), FSource(std::move(Source)) {}

    std::unique_ptr<TCaptureStream> Start(const TCaptureFormat& Format, int& Error) override {
        if (!FConnection->Alive()) {
            auto Connection = TPulseConnection::Connect(Error);
            if (!Connection)
                return nullptr;
            FConnection = std::move(Connection);
        }
        auto Stream = std::make_unique<TPulseStream>(Format, FConnection);
        Error = Stream->Connect(FSource);
        return Error == BASS_OK ? std::move(Stream) : nullptr;
    }

private:
    std::shared_ptr<TPulseConnection> FConnection;
    std::string FSource;
};

class TPulseBackend : public TCaptureBackend {
public:
    int ListSources(std::vector<TSourceInfo>& Sources) override {
        int Error = BASS_OK;
        auto Server = Connection(Error);
        return Server ? ListServerSources(*Server, Sources) : Error;
    }

    std::unique_ptr<TCaptureDevice> Open(int Device, int& Error) override {
        auto Server = Connection(Error);
        if (!Server)
            return nullptr;
        std::string Source;
        if (Device >= 0) {
            std::vector<TSourceInfo> Sources;
            Error = ListServerSources(*Server, Sources);
            if (Error != BASS_OK)
                return nullptr;
            if (static_cast<size_t>(Device) >= Sources.size()) {
                Error = BASS_ERROR_DEVICE;
                return nullptr;
            }
            Source = Sources[Device].Id;
        }
        return std::make_unique<TPulseDevice>(std::move(Server), std::move(Source));
    }

private:
    // The open device's connection while it is alive, a new one otherwise.
    std::shared_ptr<TPulseConnection> Connection(int& Error) {
        if (auto Last = FLast.lock(); Last && Last->Alive())
            return Last;
        auto Server = TPulseConnection::Connect(Error);
        FLast = Server;
        return Server;
    }

    std::weak_ptr<TPulseConnection> FLast;
};

} // namespace

std::unique_ptr<TCaptureBackend> CreatePulseBackend() {
    return std::make_unique<TPulseBackend>();
}

} // namespace soundlib
