#pragma once
// Makes writes past a size fail for as long as it lives, the way a full disk
// would: the process's file size limit is lowered and SIGXFSZ ignored, so a
// write beyond the limit returns EFBIG instead of ending the process.
#include <sys/resource.h>

#include <csignal>

namespace nimbrel {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        active_ = getrlimit(RLIMIT_FSIZE, &saved_) == 0;
        if (!active_) return;
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        active_ = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // False when the limit could not be set.
    bool active() const { return active_; }

  private:
    rlimit saved_{};
    void (*oldHandler_)(int) = SIG_DFL;
    bool active_ = false;
};

}  // namespace nimbrel
