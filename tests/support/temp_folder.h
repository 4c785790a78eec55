#pragma once
// A folder of its own for one test, removed with everything in it when the test ends.

#include <filesystem>
#include <string>

namespace derov::test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of a file in the folder, as a narrow string for the APIs that take one.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// A file of the source tree (tests/..., data/...).
std::string SourceFile(const std::string& relative);

}  // namespace derov::test
