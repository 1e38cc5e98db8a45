#pragma once
#include <filesystem>
#include <string>

namespace marl::test {

// A fresh directory under the system temp folder, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// Creates `path` as an empty marltips database from data/marltips.sql.
void CreateDatabaseFile(const std::string& path);

// Whole file contents, and writing a file in one go.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace marl::test
