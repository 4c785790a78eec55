#include <gtest/gtest.h>

#include <string>

#include "text/text.h"

namespace derov {
namespace {

Bytes BytesOf(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(BodyToText, EndsAtTheFirstZeroByte) {
  EXPECT_EQ(BodyToText(BytesOf(std::string("ab\0cd", 5))), "ab");
  EXPECT_EQ(BodyToText(BytesOf("中文")), "中文");
  EXPECT_EQ(BodyToText({}), "");
}

// The same table holds in both builds: natively for the stand-in conversion, under Wine for
// the system's own.
TEST(DecodeUtf8Page, ConvertsAsTheSystemDoes) {
  const struct {
    std::string body;
    std::string expected;
  } cases[] = {
      {"", ""},
      {"abc", "abc"},
      {"\xE4\xB8\xAD", "中"},
      {"a\xE4\xB8\xAD\xE6\x96\x87z", "a中文z"},
      {std::string("ab\0\xE4\xB8\xAD", 6), "ab"},
      {"\xD6\xD0\xCE\xC4", "????"},                     // a GBK page read as UTF-8
      {"\xEF\xBB\xBF" "a", "?a"},                        // the byte-order mark is a character
      {"\xF0\x9F\x98\x80", "??"},                        // beyond the BMP: two units, two "?"
      {"\xE2\x82\xAC", "\x80"},                          // the euro sign is byte 80
      {"\xC2\xB7\xE2\x80\x94", "\xA1\xA4\xA1\xAA"},      // · and — have their cells
      {"\xC3\x80\xC2\xB2\xC2\xA0", "\xA8\xA4" "2?"},     // À and ² fit, the no-break space not
      {"\xEE\x80\x80", "\xAA\xA1"},                      // private use: user-defined cells
      {"a\x80z", "a?z"},
      {"a\xE4\xB8z", "a?z"},                             // a cut sequence is one "?"
      {"a\xC0\x80z", "a??z"},                            // overlong
      {"a\xED\xA0\x80z", "a??z"},                        // a surrogate
      {"a\xF4\x90\x80\x80z", "a???z"},                   // beyond U+10FFFF
      {"a\xE4z", "a?"},                                  // too short for the text: swallows it
      {std::string("a\xE4\0", 3), "a?"},
      {std::string("\xF0\x80\x80\0z", 5), "??"},          // the zero ends the converted text
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecodeUtf8Page(BytesOf(c.body)), c.expected)
        << "body of " << c.body.size() << " bytes";
}

}  // namespace
}  // namespace derov
