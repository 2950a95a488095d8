#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace soundlib {

// A file written straight through to the system, without a buffer of its own. Every failure
// is kept as an errno value; after the first one, further writes do nothing.
class TOutputFile {
public:
    // Creates Path (UTF-8), which must not exist: a file of that name is never truncated, the
    // call fails with EEXIST instead. Holds an exclusive advisory lock (flock) on the new file
    // until it is closed, so that another running copy of the program leaves it alone. Null
    // with Errno set.
    static std::unique_ptr<TOutputFile> Create(const std::string& Path, int& Errno);
    // Closes the file when Close was not called (its result is then lost).
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    // Appends Bytes; returns how many reached the file (all of them unless it failed).
    size_t Write(const void* Data, size_t Bytes);
    // Overwrites Bytes at Offset, leaving the append position where it is.
    bool WriteAt(uint64_t Offset, const void* Data, size_t Bytes);
    bool Truncate(uint64_t Length);
    // Closes the file; false when this or an earlier operation failed.
    bool Close();

    bool Failed() const { return FErrno != 0; }
    int Errno() const { return FErrno; }

private:
    explicit TOutputFile(int Fd) : FFd(Fd) {}
    bool Fail();

    int FFd;
    int FErrno = 0;
};

} // namespace soundlib
