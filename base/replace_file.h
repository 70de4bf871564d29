#pragma once
// Writing files the program makes again whenever it needs them (the bitmaps
// converted from radar images, the composites): the new bytes go to a
// temporary file beside the target and take its place in one step, so a
// failed write leaves the previous file whole and a reader never sees half
// of one. They are not synced to disk: after a crash the next cycle simply
// writes them again.
#include <cstddef>
#include <initializer_list>
#include <string>

namespace nimbrel {

struct ByteRange {
    const void* data = nullptr;
    size_t size = 0;
};

// Writes the ranges one after another as the new content of path. True on
// success; on failure path is untouched and detail holds the system's reason.
bool replaceDerivedFile(const std::string& path, std::initializer_list<ByteRange> content,
                        std::string* detail = nullptr);

}  // namespace nimbrel
