#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace nimbrel {

InstanceLock::~InstanceLock() {
    release();
}

LockResult InstanceLock::acquire(const std::string& lockFile) {
    if (fd_ >= 0) return {LockStatus::Acquired, 0};
    // Close-on-exec: a browser started from here must not inherit the lock
    // and keep it after we end.
    const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return {LockStatus::Error, errno};
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        if (err == EINTR) continue;
        ::close(fd);
        if (err == EWOULDBLOCK) return {LockStatus::HeldElsewhere, 0};
        return {LockStatus::Error, err};
    }
    fd_ = fd;
    return {LockStatus::Acquired, 0};
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string instanceLockPath(const std::string& programFolder) {
    return (std::filesystem::path(programFolder) / "nimbrel.lock").string();
}

}  // namespace nimbrel
