#pragma once

#include <csignal>
#include <sys/resource.h>

// While it lives, no file of this process can grow beyond Bytes: writes past it fail with
// EFBIG, as on a full disk (SIGXFSZ is ignored so that they fail instead of ending the test).
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t Bytes) {
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &FOld);
        rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit FOld{};
    void (*FOldHandler)(int);
};
