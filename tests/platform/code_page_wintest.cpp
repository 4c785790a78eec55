#include <windows.h>

#include <gtest/gtest.h>

#include "platform/wide_text_win.h"

// The tests run where the program runs: a Chinese system whose ANSI code page is 936.
TEST(WindowsPlatform, AnsiCodePageIs936) { EXPECT_EQ(GetACP(), 936u); }

TEST(WindowsPlatform, GbkLiteralSurvivesTheWideEdge) {
  EXPECT_EQ(std::string("\xB4\xFD\xBC\xE0\xBF\xD8"), "待监控");
  EXPECT_EQ(derov::AnsiToWide("待监控"), L"\u5F85\u76D1\u63A7");
  EXPECT_EQ(derov::WideToAnsi(L"\u5F85\u76D1\u63A7"), "待监控");
}
