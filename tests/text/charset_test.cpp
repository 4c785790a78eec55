#include <gtest/gtest.h>

#include <string>

// Both builds compile with the GBK execution character set, so a Chinese literal is already
// the bytes the program stores, compares and shows.
TEST(ExecutionCharset, ChineseLiteralIsGbk) {
  const std::string text = "待监控";
  EXPECT_EQ(text, std::string("\xB4\xFD\xBC\xE0\xBF\xD8"));
}
