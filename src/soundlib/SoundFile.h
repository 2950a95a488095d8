#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct sf_private_tag; // libsndfile's SNDFILE

namespace soundlib {

// A sound file decoded by libsndfile (WAV, MP3, Ogg Vorbis, Ogg Opus and what else it reads)
// into 16-bit interleaved frames. Read and Seek one thread at a time; the format and the
// length never change after Open, so any thread may ask for them.
class TSoundFile {
public:
    // Null with Error: BASS_ERROR_FILEOPEN and FileErrno (EISDIR for a folder) when the file
    // cannot be opened for reading, BASS_ERROR_FILEFORM when it holds no sound libsndfile
    // decodes. Path: the file system's bytes.
    static std::unique_ptr<TSoundFile> Open(const std::string& Path, int& Error, int& FileErrno);
    ~TSoundFile();
    TSoundFile(const TSoundFile&) = delete;
    TSoundFile& operator=(const TSoundFile&) = delete;

    int Rate() const { return FRate; }
    int Channels() const { return FChannels; }
    // The length as the file's headers tell it.
    int64_t Frames() const { return FFrames; }
    size_t FrameBytes() const { return size_t(FChannels) * sizeof(int16_t); }

    // Decodes up to Count frames into Out (room for Count * Channels() samples); how many it
    // decoded, 0 at the end or when reading fails.
    size_t Read(int16_t* Out, size_t Count);
    // Goes to Frame (0 to Frames()); false when the file cannot go there.
    bool Seek(int64_t Frame);

private:
    TSoundFile() = default;

    int FDescriptor = -1; // libsndfile reads through it and leaves closing it to us
    struct TFileDeleter {
        void operator()(sf_private_tag* File) const;
    };
    std::unique_ptr<sf_private_tag, TFileDeleter> FFile;
    int FRate = 0;
    int FChannels = 0;
    int64_t FFrames = 0;
};

} // namespace soundlib
