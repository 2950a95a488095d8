#pragma once

#include "soundlib/CaptureBackend.h"
#include "soundlib/bass.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace soundlib {

// Writes one compressed file from 16-bit interleaved samples. Created and finished on the
// caller's thread; Write runs on the recording thread, never at the same time as Finish.
class TEncoder {
public:
    virtual ~TEncoder() = default;
    // Encodes Frames frames; after the first failing file write it drops everything. (No
    // frames at all would tell libvorbis that the stream ends.)
    void Write(const int16_t* Samples, size_t Frames) {
        if (Frames > 0 && !Failed() && !Encode(Samples, Frames))
            FFailed.store(true, std::memory_order_relaxed);
    }
    // Flushes, completes and closes the file: BASS_OK, or BASS_ERROR_FILEOPEN when a write or
    // the close failed.
    int Finish() {
        const bool Ok = Complete() && !Failed();
        return Ok ? BASS_OK : BASS_ERROR_FILEOPEN;
    }
    bool Failed() const { return FFailed.load(std::memory_order_relaxed); }

protected:
    virtual bool Encode(const int16_t* Samples, size_t Frames) = 0;
    virtual bool Complete() = 0;

private:
    std::atomic<bool> FFailed{false};
};

enum class TEncoderKind { Mp3, Ogg, Opus };

// Starts an encoder writing Path (UTF-8) for Format, configured by its option text:
// "-b N" for MP3 and OGG, "--bitrate N" for OPUS, N in kbit/s. Null with Error set (a BASS
// error code) when the text is malformed, the format unsupported or the file not created; in
// the last case Error is BASS_ERROR_CREATE and FileErrno the system's reason (EEXIST: a file
// of that name exists, and is left as it is). An encoder that does not start leaves no file.
std::unique_ptr<TEncoder> CreateEncoder(TEncoderKind Kind, std::string_view Options,
                                        const TCaptureFormat& Format, const std::string& Path,
                                        int& Error, int& FileErrno);

// The three formats, for a bitrate in kbit/s already read from the option text.
std::unique_ptr<TEncoder> CreateMp3Encoder(int Kbps, const TCaptureFormat& Format,
                                           const std::string& Path, int& Error, int& FileErrno);
std::unique_ptr<TEncoder> CreateOggEncoder(int Kbps, const TCaptureFormat& Format,
                                           const std::string& Path, int& Error, int& FileErrno);
std::unique_ptr<TEncoder> CreateOpusEncoder(int Kbps, const TCaptureFormat& Format,
                                            const std::string& Path, int& Error, int& FileErrno);

// The system's reason (errno) why the last BASS_Encode_*_StartFile of this thread could not
// create its file (BASS_ERROR_CREATE); 0 when that start created it or failed otherwise.
int LastEncodeFileErrno();

} // namespace soundlib
