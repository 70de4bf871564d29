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

// Puts the finished temporary file in place of path. On Linux the two names
// are exchanged and the old content, now under the temporary name, is
// removed: renaming over an existing file would make ext4 write the new data
// back at once (its guard for programs that replace files without syncing),
// which costs about a millisecond for a bitmap of a megabyte or two and buys
// nothing for a file that is made again on the next cycle.
bool moveIntoPlace(const std::string& temp, const std::string& path) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
    // Only a plain file is exchanged: a folder or link in the target's place
    // must make the write fail as a rename would, not be moved aside.
    struct stat old;
    if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
        ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_EXCHANGE) == 0) {
        ::unlink(temp.c_str());
        return true;
    }
    // No file to exchange with, or a file system that cannot exchange: a
    // plain rename does the same.
#endif
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

bool replaceDerivedFile(const std::string& path, std::initializer_list<ByteRange> content,
                        std::string* detail) {
    auto fail = [&](int err) {
        if (detail) *detail = std::strerror(err);
        return false;
    };
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(errno);
    // mkstemp makes the file readable by its owner only; a file system that
    // keeps no modes refuses this, which does not matter.
    ::fchmod(fd, 0644);
    bool ok = true;
    for (const ByteRange& r : content) {
        if (!ok) break;
        ok = writeAll(fd, static_cast<const unsigned char*>(r.data), r.size);
    }
    int err = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && !moveIntoPlace(temp, path)) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    return true;
}

}  // namespace nimbrel
