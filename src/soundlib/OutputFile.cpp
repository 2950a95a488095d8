#include "soundlib/OutputFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace soundlib {

std::unique_ptr<TOutputFile> TOutputFile::Create(const std::string& Path, int& Errno) {
    // O_EXCL: a file that appeared after the caller found the name free stays as it is.
    const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (Fd < 0) {
        Errno = errno;
        return nullptr;
    }
    // Only another copy of the program looking at this name at this very moment can hold a
    // lock on a file this new. The file is our own and still empty: it is removed again.
    if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        Errno = errno;
        ::close(Fd);
        ::unlink(Path.c_str());
        return nullptr;
    }
    return std::unique_ptr<TOutputFile>(new TOutputFile(Fd));
}

TOutputFile::~TOutputFile() {
    if (FFd >= 0)
        ::close(FFd);
}

bool TOutputFile::Fail() {
    if (FErrno == 0)
        FErrno = errno;
    return false;
}

size_t TOutputFile::Write(const void* Data, size_t Bytes) {
    if (Failed() || FFd < 0)
        return 0;
    const auto* Next = static_cast<const char*>(Data);
    size_t Done = 0;
    while (Done < Bytes) {
        const ssize_t N = ::write(FFd, Next + Done, Bytes - Done);
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0) {
            if (N == 0)
                errno = EIO;
            Fail();
            break;
        }
        Done += static_cast<size_t>(N);
    }
    return Done;
}

bool TOutputFile::WriteAt(uint64_t Offset, const void* Data, size_t Bytes) {
    if (FFd < 0)
        return false;
    const auto* Next = static_cast<const char*>(Data);
    size_t Done = 0;
    while (Done < Bytes) {
        const ssize_t N =
            ::pwrite(FFd, Next + Done, Bytes - Done, static_cast<off_t>(Offset + Done));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0) {
            if (N == 0)
                errno = EIO;
            return Fail();
        }
        Done += static_cast<size_t>(N);
    }
    return true;
}

bool TOutputFile::Truncate(uint64_t Length) {
    if (FFd < 0)
        return false;
    return ::ftruncate(FFd, static_cast<off_t>(Length)) == 0 || Fail();
}

bool TOutputFile::Close() {
    if (FFd < 0)
        return !Failed();
    const int Fd = FFd;
    FFd = -1;
    if (::close(Fd) != 0)
        Fail();
    return !Failed();
}

} // namespace soundlib
