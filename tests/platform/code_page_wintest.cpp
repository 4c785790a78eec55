#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/code_page_utf8.h"
#include "platform/wide_text_win.h"

namespace derov {
namespace {

// The tests run where the program runs: a Chinese system whose ANSI code page is 936.
TEST(WindowsPlatform, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

TEST(WindowsPlatform, GbkLiteralSurvivesTheWideEdge) {
  EXPECT_EQ(std::string("\xB4\xFD\xBC\xE0\xBF\xD8"), "待监控");
  EXPECT_EQ(AnsiToWide("待监控"), L"\u5F85\u76D1\u63A7");
  EXPECT_EQ(WideToAnsi(L"\u5F85\u76D1\u63A7"), "待监控");
}

std::u16string SystemUtf8ToUtf16(std::string_view utf8) {
  const int size = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  return std::u16string(wide.begin(), wide.end());
}

std::string Hex(std::string_view bytes) {
  std::string out;
  char cell[4];
  for (const char c : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", static_cast<unsigned char>(c));
    out += cell;
  }
  return out;
}

// The native build decodes UTF-8 with its own decoder; it must break on bad input exactly
// where and how the system's conversion breaks.
TEST(Utf8Decoder, TreatsBadSequencesAsTheSystemDoes) {
  const std::string cases[] = {
      "a\x80z",           "a\xBFz",           "a\xC0\x80z",       "a\xC1\xBFz",
      "a\xC2",            "a\xC2z",           "a\xE4\xB8",        "a\xE4\xB8z",
      "a\xE4z",           "a\xE0\x80\x80z",   "a\xE0\x9F\xBFz",   "a\xED\xA0\x80z",
      "a\xED\xBF\xBFz",   "a\xED\xA0\x80\xED\xB0\x80z",           "a\xF0\x80\x80\x80z",
      "a\xF0\x8F\xBF\xBFz", "a\xF0\x9F\x98\x80z", "a\xF4\x8F\xBF\xBFz", "a\xF4\x90\x80\x80z",
      "a\xF5\x80\x80\x80z", "a\xF8\x88\x80\x80\x80z", "a\xFC\x84\x80\x80\x80\x80z",
      "a\xFEz",           "a\xFFz",           "a\xF0\x9F\x98",    "a\xF0\x9Fz",
      "\xE4\xB8\xAD\xE4", "\xC2\xC2\xA9",     "\xE4\xC2\xA9",     "\x80\x80\x80",
      std::string("a\0z", 3), std::string("\xE4\0z", 3), std::string("\xF0\x80\x80\0z", 5),
      "\xEF\xBB\xBF" "a", "\xEF\xBF\xBE",     "\xEF\xBF\xBF",     "\xF0\x90\x80z",
      "\xE0\xA0\xC0",     "\xF4\x8F\xBF",     "\xF1\x80",         "\xD6\xD0\xCE\xC4",
      "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80",
  };
  for (const auto& bytes : cases)
    EXPECT_EQ(Utf8ToUtf16(bytes), SystemUtf8ToUtf16(bytes)) << Hex(bytes);
}

// Random byte strings built from the bytes that matter to a decoder: ASCII, continuation
// bytes at the edges of their ranges, every kind of lead byte and the ones never allowed.
TEST(Utf8Decoder, AgreesWithTheSystemOnRandomBytes) {
  const unsigned char bytes[] = {0x00, 'a',  0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE4, 0xED, 0xEF, 0xF0,
                                 0xF1, 0xF4, 0xF5, 0xF8, 0xFE, 0xFF};
  std::mt19937 random(936);
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 12 + 1, '\0');
    for (char& c : text) c = static_cast<char>(bytes[random() % sizeof bytes]);
    ASSERT_EQ(Utf8ToUtf16(text), SystemUtf8ToUtf16(text)) << Hex(text);
  }
}

}  // namespace
}  // namespace derov
