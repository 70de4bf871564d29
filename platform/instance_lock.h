#pragma once
// One running copy per program folder: an exclusive flock on a file in the
// folder, held by an open descriptor for the life of the holder. The kernel
// drops the lock when the process ends, so a crashed run never leaves it stuck.
#include <string>

namespace nimbrel {

enum class LockStatus {
    Acquired,
    HeldElsewhere,  // another holder has it
    Error,          // the lock file could not be opened or locked
};

struct LockResult {
    LockStatus status = LockStatus::Error;
    int error = 0;  // errno when status is Error
};

class InstanceLock {
  public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Tries to take the lock on lockFile without waiting. Taking it again
    // while held changes nothing and answers Acquired.
    LockResult acquire(const std::string& lockFile);
    void release();
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// The lock file of a program folder ("nimbrel.lock" inside it).
std::string instanceLockPath(const std::string& programFolder);

}  // namespace nimbrel
