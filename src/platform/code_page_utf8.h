#pragma once
// A UTF-8 decoder that treats bad input exactly as the Windows conversion the program runs on
// (MultiByteToWideChar, code page 65001, flags 0, as Wine implements it), so that the native
// build turns a broken page into the same text as the Windows build.

#include <string>
#include <string_view>

namespace derov {

constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes the character at `at` and moves `at` behind the bytes it used. A bad sequence gives
// U+FFFD: the lead byte and the continuation bytes that fitted are used up, the byte that
// broke the sequence is not; a sequence cut off by the end of the text uses up the rest.
char32_t NextUtf8Char(std::string_view text, size_t& at);

// The whole text as UTF-16 code units, the form the system's conversion gives.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace derov
