#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

namespace derov {
namespace {

// 中 = D6 D0, 文 = CE C4. "\xD0\xCE" is the second byte of 中 followed by the first of 文.
constexpr const char* kStraddle = "\xD0\xCE";

struct FindCase {
  const char* text;
  const char* needle;
  int start;
  bool ignoreCase;
  int expected;
};

TEST(FindText, FollowsCharacterBoundariesAndFoldsAsciiOnly) {
  const FindCase cases[] = {
      {"a中b", "b", 1, false, 4},
      {"中文", kStraddle, 1, false, -1},        // never from a second byte
      {"中文", kStraddle, 2, false, 2},         // unless the search itself starts there
      {"\x81\x41\x41", "A", 1, false, 3},        // a second byte may look like ASCII
      {"中中", "中", 2, false, -1},             // from a second byte the pairs shift
      {"aabaabaaab", "aaab", 1, false, 7},
      {"abcabc", "abc", 2, false, 4},
      {"abc", "c", 0, false, 3},
      {"abc", "a", -5, false, 1},
      {"abc", "abcd", 1, false, -1},
      {"abc", "a", 4, false, -1},
      {"xABab", "ba", 1, true, 3},
      {"xABab", "ba", 1, false, -1},
      {"xAb", "aB", 1, true, 2},
      {"\xA3\xC1", "\xA3\xE1", 1, true, -1},     // full-width Ａ and ａ stay apart
      {"\x81\x61", "\x81\x41", 1, true, -1},     // second bytes 'a' and 'A' are no letters
      {"\x81\x61", "\x81\x61", 1, true, 1},
      {"x\x81\x61" "A", "a", 1, true, 4},
      {"abc", "", 1, false, 1},                 // an empty needle is found at 1 ...
      {"abc", "", 3, false, 1},
      {"abc", "", 4, false, -1},                // ... while a byte remains
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FindText(c.text, c.needle, c.start, c.ignoreCase), c.expected)
        << "text '" << c.text << "' needle '" << c.needle << "' start " << c.start;
}

// The search as plainly written: step one character at a time from the start and compare
// there, folding only ASCII letters that are characters of their own.
int NaiveFind(const std::string& text, const std::string& needle, size_t from, bool ignoreCase) {
  auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (size_t i = from; i + needle.size() <= text.size();
       i += static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1) {
    bool match = true;
    bool trail = false;
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

// Texts from a few bytes (ASCII letters that fold, bytes that pair up into characters) so
// that partial matches, straddling matches and realigning happen all the time.
TEST(FindText, AgreesWithThePlainSearchOnRandomTexts) {
  std::mt19937 random(20260305);
  const char alphabet[] = {'a', 'A', 'b', '\xB0', '\xA1', '\x81', 'B'};
  auto make = [&](size_t maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[random() % sizeof alphabet];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string text = make(40);
    const std::string needle = make(5);
    if (needle.empty()) continue;
    const bool fold = round % 2 == 1;
    const int start = static_cast<int>(random() % (text.size() + 2));
    const size_t from = start > 1 ? start - 1 : 0;
    const int expected = from < text.size() ? NaiveFind(text, needle, from, fold) : -1;
    ASSERT_EQ(FindText(text, needle, start, fold), expected)
        << "round " << round << " start " << start;
    int count = 0;
    for (int at = NaiveFind(text, needle, 0, fold); at != -1;
         at = NaiveFind(text, needle, at - 1 + needle.size(), fold))
      ++count;
    ASSERT_EQ(CountOccurrences(text, needle, !fold), count) << "round " << round;
  }
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  EXPECT_EQ(ReplaceAll("xx", "x", "xx"), "xxxx");     // the replacement is not searched again
  EXPECT_EQ(ReplaceAll("ab", "a", "ba"), "bab");
  EXPECT_EQ(ReplaceAll("a\r\nb\r\n", "\r\n", ""), "ab");
  EXPECT_EQ(ReplaceAll("中文", kStraddle, "!"), "中文");
  EXPECT_EQ(ReplaceAll("中文中", "中", "<中>"), "<中>文<中>");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
  EXPECT_EQ(ReplaceAll("aAa", "a", "-", true), "---");
  EXPECT_EQ(ReplaceAll("aAa", "a", "-"), "-A-");
}

TEST(SplitText, KeepsInnerEmptyPiecesButNotATrailingOne) {
  using Pieces = std::vector<std::string>;
  EXPECT_EQ(SplitText("a,b,c", ","), (Pieces{"a", "b", "c"}));
  EXPECT_EQ(SplitText(",a", ","), (Pieces{"", "a"}));
  EXPECT_EQ(SplitText("a,,b", ","), (Pieces{"a", "", "b"}));
  EXPECT_EQ(SplitText("a,", ","), (Pieces{"a"}));
  EXPECT_EQ(SplitText("a,,", ","), (Pieces{"a", ""}));
  EXPECT_EQ(SplitText(",", ","), (Pieces{""}));
  EXPECT_EQ(SplitText("", ","), Pieces{});
  EXPECT_EQ(SplitText("a\r\nb", "\r\n"), (Pieces{"a", "b"}));
  EXPECT_EQ(SplitText("中，文", "，"), (Pieces{"中", "文"}));
  EXPECT_EQ(SplitText("中文", kStraddle), (Pieces{"中文"}));
  EXPECT_EQ(SplitText("abc", ""), (Pieces{"abc"}));
}

TEST(Spaces, AsciiAndFullWidthSpacesOnlyAndWholeCharacters) {
  EXPECT_EQ(TrimSpaces("　 a b 　"), "a b");
  EXPECT_EQ(TrimSpaces("\ta\n"), "\ta\n");
  EXPECT_EQ(TrimSpaces(" 　 "), "");
  EXPECT_EQ(TrimSpaces(""), "");
  // 啊 (B0 A1) followed by ‘ (A1 B0): the A1 A1 between them is no full-width space.
  EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1\xB0 "), "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(TrimSpaces("　\xB0\xA1　"), "\xB0\xA1");
  EXPECT_EQ(RemoveSpaces(" a 中　b\t"), "a中b\t");
  EXPECT_EQ(RemoveSpaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
}

TEST(LeftRightBytes, CountBytesAndClamp) {
  EXPECT_EQ(LeftBytes("abc", -1), "");
  EXPECT_EQ(LeftBytes("abc", 0), "");
  EXPECT_EQ(LeftBytes("abc", 2), "ab");
  EXPECT_EQ(LeftBytes("abc", 10), "abc");
  EXPECT_EQ(RightBytes("abc", 0), "");
  EXPECT_EQ(RightBytes("abc", 2), "bc");
  EXPECT_EQ(RightBytes("abc", 10), "abc");
}

TEST(FoldFullWidth, TurnsFullWidthAsciiAndSpaceIntoHalfWidth) {
  EXPECT_EQ(FoldFullWidth("ＡＢ１２．－\xA3\xFE　x"), "AB12.-~ x");
  EXPECT_EQ(FoldFullWidth("中文"), "中文");
  EXPECT_EQ(FoldFullWidth("\xA3\xA0"), "\xA3\xA0");  // not a printable ASCII form
  // 埃 (B0 A3) then Ａ (A3 C1): the A3 C1 straddling nothing is folded, the first is kept.
  EXPECT_EQ(FoldFullWidth("\xB0\xA3\xA3\xC1"), "\xB0\xA3" "A");
}

TEST(ReadNumber, TakesTheLongestDecimalPrefix) {
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"12.5abc", 12.5}, {"  -3e2x", -300},  {"１２．５元", 12.5}, {"－５", -5},
      {"　７", 7},       {"\t\n 4", 4},      {"+.5", 0.5},        {"5.", 5},
      {"1e", 1},         {"1e+", 1},         {"2E-1", 0.2},       {"１ｅ３", 1000},
      {"1.2.3", 1.2},    {"0x1A", 0},        {"abc", 0},          {"", 0},
      {".", 0},          {"+.e1", 0},        {"- 5", 0},          {"inf", 0},
      {"nan", 0},        {"价格12", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.expected) << c.text;
}

TEST(ReadInteger, TakesSignAndDigitsAndSaturates) {
  const struct {
    const char* text;
    int expected;
  } cases[] = {
      {"42abc", 42},
      {" -17.9", -17},
      {"＋８", 8},
      {"１２３", 123},
      {"1e3", 1},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999", INT_MIN},
      {"", 0},
      {"x1", 0},
      {"-", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadInteger(c.text), c.expected) << c.text;
}

TEST(ReadBoolean, OnlyExactlyOneIsTrue) {
  EXPECT_TRUE(ReadBoolean("1"));
  for (const char* text : {"0", "", " 1", "1 ", "11", "true", "１"})
    EXPECT_FALSE(ReadBoolean(text)) << text;
}

TEST(TextBetween, TakesTheTextBetweenTheFirstMarkers) {
  const struct {
    const char* text;
    const char* before;
    const char* after;
    const char* expected;
  } cases[] = {
      {"x=<b>42</b>", "<b>", "</b>", "42"},
      {"<b>1</b><b>2</b>", "<b>", "</b>", "1"},
      {"x=<b>42</b>", "<i>", "</b>", ""},
      {"x=</b><b>42", "<b>", "</b>", ""},       // no after marker behind the before marker
      {"x=<b></b>", "<b>", "</b>", ""},
      {"x=<b>42</b>", "<b>", "", ""},
      {"42</b>", "", "</b>", "42"},             // an empty before marker is the text's start
      {"<input value=\"7\">", "value=#引号", "#引号", "7"},
      {"a=\"x\" #引号", "a=#引号", "#引号", "x"},
      {"价格：12元", "价格：", "元", "12"},
      {"<B>9</B>", "<b>", "</b>", ""},          // letter case counts
      {"中文x", kStraddle, "x", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TextBetween(c.text, c.before, c.after), c.expected) << c.text;
  EXPECT_EQ(TextBetween("<b>1</b><b>2</b>", "<b>", "</b>", 2), "2");
  EXPECT_EQ(TextBetween("<B>9</b>", "<b>", "</B>", 1, true), "9");
}

TEST(CountOccurrences, CountsWithoutOverlap) {
  EXPECT_EQ(CountOccurrences("ABab", "ab", false), 2);
  EXPECT_EQ(CountOccurrences("ABab", "ab", true), 1);
  EXPECT_EQ(CountOccurrences("aaa", "aa", false), 1);
  EXPECT_EQ(CountOccurrences("aaaa", "aa", false), 2);
  EXPECT_EQ(CountOccurrences("中文中文", "中文", false), 2);
  EXPECT_EQ(CountOccurrences("中文中文", kStraddle, false), 0);
  EXPECT_EQ(CountOccurrences("abc", "", false), 0);
  EXPECT_EQ(CountOccurrences("", "a", false), 0);
}

}  // namespace
}  // namespace derov
