#pragma once

#include <sys/resource.h>

#include <csignal>

namespace testing_support {

// A full disk, for root too: while it lives, this process cannot make a file longer than
// `bytes`, and writes beyond fail with EFBIG instead of raising SIGXFSZ. Main thread only;
// every thread of the process is held to it meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
        : previousSignal_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousSignal_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_ {};
    void (*previousSignal_)(int);
};

} // namespace testing_support
