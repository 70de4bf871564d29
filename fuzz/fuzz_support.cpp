#include "fuzz_support.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace nimbrel::fuzz {

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "nimbrel-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

void fail(const char* file, int line, const std::string& what) {
    std::fprintf(stderr, "\n%s:%d: check failed: %s\n", file, line, what.c_str());
    std::fflush(stderr);
    std::abort();
}

const std::string& scratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::string scratchFile(const std::string& name) {
    return scratchFolder() + "/" + name;
}

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

void writeFile(const std::string& path, const std::string& bytes) {
    writeFile(path, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::set<std::string> scratchNames() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratchFolder()))
        names.insert(entry.path().filename().string());
    return names;
}

void checkOnlyThese(const std::set<std::string>& allowed) {
    for (const std::string& name : scratchNames()) {
        FUZZ_CHECK(allowed.count(name) == 1, "unexpected file left in the folder: " + name);
    }
}

uint16_t le16At(const uint8_t* data, size_t size, size_t offset) {
    const uint16_t lo = offset < size ? data[offset] : 0;
    const uint16_t hi = offset + 1 < size ? data[offset + 1] : 0;
    return static_cast<uint16_t>(lo | (hi << 8));
}

}  // namespace nimbrel::fuzz
