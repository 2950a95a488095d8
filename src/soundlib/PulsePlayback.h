#pragma once

#include "soundlib/SoundFile.h"

#include <cstdint>
#include <memory>

struct pa_operation;
struct pa_stream;

namespace soundlib {

class TPulseConnection;

// Plays one sound file on the server's default sink. It has a connection of its own, so a
// recording never shares its loop thread or its context with playback.
//
// Threads: every method on one thread, the owner's. The file is decoded on the connection's
// loop thread, in the stream's write callback, under the loop's lock; the methods take that
// lock for the moment they touch the file or the stream.
class TPulsePlayback {
public:
    // Connects within the answer time limit; null with Error (a BASS code) when there is no
    // usable server.
    static std::unique_ptr<TPulsePlayback> Create(std::unique_ptr<TSoundFile> File, int& Error);
    // Ends the stream and the connection without waiting for the server.
    ~TPulsePlayback();
    TPulsePlayback(const TPulsePlayback&) = delete;
    TPulsePlayback& operator=(const TPulsePlayback&) = delete;

    const TSoundFile& File() const { return *FFile; }

    // Plays from Frame, ending the stream that runs first; connects anew when the server went
    // away. Waits for the server within the answer time limit. BASS_OK or an error code.
    int Start(int64_t Frame);
    // Ends the stream at once; Position() stays at the frame heard last.
    void Stop();
    // While running, starts again from Frame; otherwise only moves Position() there.
    int Seek(int64_t Frame);
    // The frame the listener hears now, as far as the server's timing tells: the end once the
    // file has played out.
    int64_t Position();
    // False when stopped, once the file has played out, or once the stream failed.
    bool Running();

private:
    explicit TPulsePlayback(std::unique_ptr<TSoundFile> File) : FFile(std::move(File)) {}
    int Connect();
    // With the loop locked.
    void EndStream();
    int64_t HeardFrame();

    static void OnWrite(pa_stream* Stream, size_t Bytes, void* User);
    static void OnState(pa_stream* Stream, void* User);
    static void OnDrained(pa_stream* Stream, int Success, void* User);

    std::unique_ptr<TSoundFile> FFile;
    std::shared_ptr<TPulseConnection> FConnection;
    // The rest belongs to the loop's lock.
    pa_stream* FStream = nullptr;
    pa_operation* FDrain = nullptr; // asked once the whole file was written
    int64_t FStartFrame = 0;        // the file's frame at the stream's first byte
    int64_t FHeard = 0;             // the frame heard last
    bool FPlayedOut = false;
};

} // namespace soundlib
