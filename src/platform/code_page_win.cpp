#include <windows.h>

#include <vector>

#include "platform/code_page.h"
#include "platform/wide_text_win.h"

namespace derov {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), n);
  return wide;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), size, ansi.data(), n, nullptr, nullptr);
  return ansi;
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (units <= 0) return {};
  std::vector<wchar_t> wide(static_cast<size_t>(units) + 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), units);
  // The zero unit behind the text is converted too, as the page decoder always did.
  const int bytes = WideCharToMultiByte(936, 0, wide.data(), units + 1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string gbk(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(936, 0, wide.data(), units + 1, gbk.data(), bytes, nullptr, nullptr);
  gbk.resize(bytes - 1);  // the converted zero unit
  return gbk;
}

}  // namespace derov
