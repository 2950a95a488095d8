#include "soundlib/SoundFile.h"

#include "soundlib/bass.h"

#include <sndfile.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace soundlib {

void TSoundFile::TFileDeleter::operator()(SNDFILE* File) const {
    sf_close(File);
}

std::unique_ptr<TSoundFile> TSoundFile::Open(const std::string& Path, int& Error, int& FileErrno) {
    std::unique_ptr<TSoundFile> Sound(new TSoundFile());
    Sound->FDescriptor = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Sound->FDescriptor < 0) {
        FileErrno = errno;
        Error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    struct stat Status {};
    if (::fstat(Sound->FDescriptor, &Status) == 0 && S_ISDIR(Status.st_mode)) {
        FileErrno = EISDIR;
        Error = BASS_ERROR_FILEOPEN;
        return nullptr;
    }
    SF_INFO Info{};
    Sound->FFile.reset(sf_open_fd(Sound->FDescriptor, SFM_READ, &Info, SF_FALSE));
    if (!Sound->FFile || Info.channels <= 0 || Info.samplerate <= 0) {
        Error = BASS_ERROR_FILEFORM;
        return nullptr;
    }
    Sound->FRate = Info.samplerate;
    Sound->FChannels = Info.channels;
    Sound->FFrames = Info.frames;
    return Sound;
}

TSoundFile::~TSoundFile() {
    FFile.reset();
    if (FDescriptor >= 0)
        ::close(FDescriptor);
}

size_t TSoundFile::Read(int16_t* Out, size_t Count) {
    const sf_count_t Got = sf_readf_short(FFile.get(), Out, sf_count_t(Count));
    return Got > 0 ? size_t(Got) : 0;
}

bool TSoundFile::Seek(int64_t Frame) {
    return sf_seek(FFile.get(), Frame, SEEK_SET) == Frame;
}

} // namespace soundlib
