#pragma once
#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed again when the
// object goes out of scope.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "nimbrel-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // The folder with a trailing separator, as the program folder is held.
    std::string folder() const { return path_.string() + "/"; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
