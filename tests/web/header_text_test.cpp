#include "web/header_text.h"

#include <gtest/gtest.h>

namespace derov {
namespace {

struct NormaliseCase {
  const char* input;
  const char* expected;
};

TEST(NormaliseHeaderText, CapitalisesNamesAndKeepsValues) {
  const NormaliseCase cases[] = {
      {"user-agent: x\r\naccept-language: zh-cn", "User-Agent: x\r\nAccept-Language: zh-cn"},
      {"x-forwarded-for: a", "X-Forwarded-For: a"},
      {"x--y-: a", "X--Y-: a"},                   // every "-" stays
      {"-x: a", "-X: a"},
      {"accept:   text/html", "Accept:   text/html"},  // the value untouched, spaces and all
      {"referer: http://a-b.cn:80/x-y", "Referer: http://a-b.cn:80/x-y"},
      {"ACCEPT: */*", "ACCEPT: */*"},
      {"1st-name: v", "1st-Name: v"},
      {"中文-name: v", "中文-Name: v"},
      {" accept: v", " accept: v"},               // the name is taken untrimmed
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseHeaderText(c.input), c.expected) << c.input;
}

TEST(NormaliseHeaderText, DropsPiecesWithoutColonAndStrayBreaks) {
  const NormaliseCase cases[] = {
      {"\r\naccept: */*\r\nreferer: r", "Accept: */*\r\nReferer: r"},  // leading CR LF
      {"a: 1\r\ngarbage\r\n\r\nb: 2\r\n", "A: 1\r\nB: 2"},
      {": v", ": v"},                                                  // empty name stays
      {"garbage", ""},
      {"", ""},
      {"\r\n\r\n", ""},
      {"a: 1\nb: 2", "A: 1\nb: 2"},  // a bare LF is no line break: one piece
  };
  for (const auto& c : cases) EXPECT_EQ(NormaliseHeaderText(c.input), c.expected) << c.input;
}

TEST(CapitaliseFirst, ChangesOnlyALeadingSmallAsciiLetter) {
  EXPECT_EQ(CapitaliseFirst("abc"), "Abc");
  EXPECT_EQ(CapitaliseFirst("aBC"), "ABC");
  EXPECT_EQ(CapitaliseFirst("Abc"), "Abc");
  EXPECT_EQ(CapitaliseFirst("9a"), "9a");
  EXPECT_EQ(CapitaliseFirst("中a"), "中a");
  EXPECT_EQ(CapitaliseFirst(""), "");
}

TEST(HeaderNameAndValue, SplitAtTheFirstColonAndTrim) {
  EXPECT_EQ(HeaderName("Referer: http://host:8080/a"), "Referer");
  EXPECT_EQ(HeaderValue("Referer: http://host:8080/a"), "http://host:8080/a");
  EXPECT_EQ(HeaderName(" \xA1\xA1X-A\xA1\xA1 :  v  "), "X-A");  // full-width spaces too
  EXPECT_EQ(HeaderValue(" X-A :  v \xA1\xA1"), "v");
  EXPECT_EQ(HeaderValue("X-A:\tv"), "\tv");  // tabs are not trimmed
  EXPECT_EQ(HeaderName("no colon"), "");
  EXPECT_EQ(HeaderValue("no colon"), "");
  EXPECT_EQ(HeaderName(": v"), "");
  EXPECT_EQ(HeaderValue("X:"), "");
}

TEST(TextBefore, GivesTheTextBeforeTheFirstSeparator) {
  EXPECT_EQ(TextBefore("Set-Cookie: a=1; b: 2", ": "), "Set-Cookie");
  EXPECT_EQ(TextBefore("Set-Cookie:a=1", ": "), "");       // missing
  EXPECT_EQ(TextBefore(": x", ": "), "");                  // at the very start
  EXPECT_EQ(TextBefore("aXbxc", "x"), "aXb");              // with case
  EXPECT_EQ(TextBefore("\x81\x40@x", "@"), "\x81\x40");  // "@" as a second byte is no match
}

TEST(Base64Encode, PadsTheLastGroup) {
  const struct {
    std::string input;
    const char* expected;
  } cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foobar", "Zm9vYmFy"},
      {"user:pass", "dXNlcjpwYXNz"},
      {std::string("\x00\xff\xfe", 3), "AP/+"},
      {std::string("\xfb\xef", 2), "++8="},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Encode(c.input), c.expected) << c.input;
  EXPECT_EQ(Base64Encode(Bytes{0x14, 0xfb, 0x9c, 0x03}), "FPucAw==");
}

}  // namespace
}  // namespace derov
