#pragma once
// The edge where ANSI (code page 936) texts meet the wide strings of W-APIs and COM.

#include <string>
#include <string_view>

namespace derov {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace derov
