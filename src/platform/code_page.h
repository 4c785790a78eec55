#pragma once
// Conversions between the program's GBK texts and other encodings. The Windows build asks
// the system (code page 936 is the ANSI code page there); the native build carries an
// equivalent table so that the engine gives the same texts on Linux.

#include <string>
#include <string_view>

namespace derov {

// UTF-8 bytes to GBK text. Invalid sequences become U+FFFD and every character GBK cannot
// show becomes "?", as the system's conversion does; a zero byte is converted like any other.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace derov
