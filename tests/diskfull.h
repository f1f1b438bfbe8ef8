#pragma once

// While one of these lives, no file of this process may grow past a few
// bytes: writes fail as on a full disk, even for root (chmod does not stop
// root; a file size limit does).

#include <csignal>
#include <sys/resource.h>

class DiskFull {
public:
    explicit DiskFull(rlim_t bytes = 4) {
        getrlimit(RLIMIT_FSIZE, &old_);
        struct rlimit tiny = old_;
        tiny.rlim_cur = bytes;
        previous_ = std::signal(SIGXFSZ, SIG_IGN); // fail the write, do not kill us
        setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~DiskFull() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previous_);
    }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;

private:
    struct rlimit old_;
    void (*previous_)(int);
};
