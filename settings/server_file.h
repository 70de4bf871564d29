#pragma once
// server.ini: its first line is the base address of the radar service.
#include <string>
#include <string_view>

namespace nimbrel {

inline constexpr const char* kDefaultServer = "http://127.0.0.1:8642";

// The base address in a first line: a leading byte-order mark, blanks and
// trailing separators dropped; only http and https addresses count.
// kDefaultServer for anything else.
std::string parseServerBase(std::string_view firstLine);
// The first line of the file, or kDefaultServer when it is missing or empty.
std::string readServerBase(const std::string& path);

}  // namespace nimbrel
