#include "base/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nimbrel {

namespace {

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

ReplaceResult failed(ReplaceError error, int err) {
    return {error, err};
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// On Linux a replaceable file is exchanged with the old one, which is then
// removed: renaming over an existing file makes ext4 write the new data back
// at once (its guard for programs that replace files without syncing), which
// costs about a millisecond for a bitmap of a megabyte or two and buys
// nothing for a file that is made again on the next cycle.
bool exchangeIntoPlace(const std::string& temp, const std::string& path) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    // Only a plain file is exchanged: a folder or link in the target's place
    // must make the write fail as a rename would, not be moved aside.
    struct stat old;
    if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());
        return true;
    }
#endif
    // No file to exchange with, or a file system that cannot exchange.
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

std::string ReplaceResult::reasonText() const {
    const char* what = "";
    switch (error) {
        case ReplaceError::None:
            return "ok";
        case ReplaceError::CannotCreate:
            what = "cannot create a temporary file";
            break;
        case ReplaceError::WriteFailed:
            what = "write failed";
            break;
        case ReplaceError::SyncFailed:
            what = "sync failed";
            break;
        case ReplaceError::RenameFailed:
            what = "rename failed";
            break;
        case ReplaceError::WriterFailed:
            what = "not written";
            break;
    }
    return sysError ? std::string(what) + ": " + std::strerror(sysError) : what;
}

ReplaceResult moveIntoPlace(const std::string& finished, const std::string& path,
                            Durability durability) {
    if (durability == Durability::Replaceable) {
        if (!exchangeIntoPlace(finished, path)) return failed(ReplaceError::RenameFailed, errno);
        return {};
    }
    if (std::rename(finished.c_str(), path.c_str()) != 0)
        return failed(ReplaceError::RenameFailed, errno);
    // Make the new name durable too; the new content is in place either way.
    const int dirFd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

ReplaceResult replaceFile(const std::string& path, const std::function<bool(int fd)>& writer,
                          Durability durability) {
    std::string temp = path + ".tmp-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failed(ReplaceError::CannotCreate, errno);
    auto discard = [&](ReplaceError error, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return failed(error, err);
    };
    // The old file's permissions stay; a new file gets the usual 0644 rather
    // than mkstemp's owner-only mode. A file system without modes refuses
    // this, which does not matter.
    mode_t mode = 0644;
    struct stat old;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
    ::fchmod(fd, mode);

    errno = 0;
    if (!writer(fd))
        return discard(errno ? ReplaceError::WriteFailed : ReplaceError::WriterFailed, errno);
    if (durability == Durability::Kept && ::fsync(fd) != 0)
        return discard(ReplaceError::SyncFailed, errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return discard(ReplaceError::WriteFailed, errno);
    const ReplaceResult placed = moveIntoPlace(temp, path, durability);
    if (!placed.ok()) ::unlink(temp.c_str());
    return placed;
}

ReplaceResult replaceFile(const std::string& path, std::initializer_list<ByteRange> content,
                          Durability durability) {
    return replaceFile(
        path,
        [&](int fd) {
            for (const ByteRange& r : content)
                if (!writeAll(fd, static_cast<const unsigned char*>(r.data), r.size)) return false;
            return true;
        },
        durability);
}

}  // namespace nimbrel
