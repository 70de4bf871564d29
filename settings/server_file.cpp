#include "settings/server_file.h"

#include <fstream>

#include "base/text_util.h"

namespace nimbrel {

std::string parseServerBase(std::string_view firstLine) {
    std::string line(withoutBom(firstLine));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '/'))
        line.pop_back();
    const size_t start = line.find_first_not_of(' ');
    if (start != std::string::npos) line.erase(0, start);
    if (line.rfind("http://", 0) == 0 || line.rfind("https://", 0) == 0) return line;
    return kDefaultServer;
}

std::string readServerBase(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (in && std::getline(in, line)) return parseServerBase(line);
    return kDefaultServer;
}

}  // namespace nimbrel
