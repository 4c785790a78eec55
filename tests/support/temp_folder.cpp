#include "support/temp_folder.h"

#include <atomic>
#include <thread>  // brings std::chrono; <chrono> itself holds a literal GBK cannot encode
#include <system_error>

namespace derov::test {

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  path_ = std::filesystem::temp_directory_path() /
          ("derov-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string SourceFile(const std::string& relative) {
  return std::string(DEROV_SOURCE_DIR) + "/" + relative;
}

}  // namespace derov::test
