#pragma once
// What the fuzz targets share: a check that ends the run with a message (libFuzzer then keeps
// the input), and the text search written plainly, which the engine's search must agree with.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace derov::fuzz {

inline void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline bool IsLead(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// 1-based position of the first match at or after start, -1 when none: step one character at
// a time (counted from the start) and compare there byte by byte, folding only ASCII letters
// that are characters of their own.
inline int PlainFind(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
  const size_t from = start > 1 ? static_cast<size_t>(start) - 1 : 0;
  if (from >= text.size()) return -1;
  if (needle.empty()) return 1;
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (size_t i = from; text.size() - i >= needle.size();
       i += IsLead(text[i]) && i + 1 < text.size() ? 2 : 1) {
    bool match = true, trail = false;
    for (size_t k = 0; k < needle.size() && match; ++k) {
      const auto a = static_cast<unsigned char>(text[i + k]);
      const auto b = static_cast<unsigned char>(needle[k]);
      match = ignoreCase && !trail ? fold(a) == fold(b) : a == b;
      trail = !trail && a >= 0x80;
    }
    if (match) return static_cast<int>(i) + 1;
  }
  return -1;
}

inline std::string PlainReplaceAll(std::string_view text, std::string_view from,
                                   std::string_view to, bool ignoreCase) {
  if (from.empty()) return std::string(text);
  std::string out;
  size_t done = 0;
  for (int at; (at = PlainFind(text, from, static_cast<int>(done) + 1, ignoreCase)) != -1;) {
    out.append(text.substr(done, static_cast<size_t>(at) - 1 - done)).append(to);
    done = static_cast<size_t>(at) - 1 + from.size();
  }
  return out.append(text.substr(done));
}

}  // namespace derov::fuzz
