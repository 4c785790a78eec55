#include <windows.h>

#include "platform/wide_text_win.h"
#include "rules/sqlite_file_name.h"

namespace derov {

std::string SqliteFileName(const std::string& path) {
  const std::wstring wide = AnsiToWide(path);
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
  return utf8;
}

}  // namespace derov
