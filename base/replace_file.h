#pragma once
// The one way the program replaces a file: the new bytes go to a temporary
// file beside the target and take its place in one step, so a failed write
// leaves the previous file whole and a reader never sees half of one.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>

namespace nimbrel {

// How much a file is worth keeping through a power cut. Files the program
// makes again whenever it needs them (converted bitmaps, composites, radar
// images, history slots) are not synced; files kept for good (settings, base
// maps) are on disk, and so is their new name, before the call returns.
enum class Durability { Replaceable, Kept };

enum class ReplaceError {
    None,
    CannotCreate,  // no temporary file could be made beside the target
    WriteFailed,
    SyncFailed,
    RenameFailed,
    WriterFailed,  // the caller's writer gave up; its reason is its own
};

struct ReplaceResult {
    ReplaceError error = ReplaceError::None;
    int sysError = 0;  // errno of the failing call
    bool ok() const { return error == ReplaceError::None; }
    std::string reasonText() const;
};

struct ByteRange {
    const void* data = nullptr;
    size_t size = 0;
};

// Writes the ranges one after another as the new content of path.
ReplaceResult replaceFile(const std::string& path, std::initializer_list<ByteRange> content,
                          Durability durability);
// Lets writer fill the temporary file through its descriptor; false (with
// errno set, or 0 when the writer has its own reason) abandons it.
ReplaceResult replaceFile(const std::string& path, const std::function<bool(int fd)>& writer,
                          Durability durability);
// Puts a finished file that lies beside path in its place.
ReplaceResult moveIntoPlace(const std::string& finished, const std::string& path,
                            Durability durability);

}  // namespace nimbrel
