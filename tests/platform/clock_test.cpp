#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "text/date_time.h"

namespace derov {
namespace {

TEST(ProcessClock, ReadsTheLocalTimeOfTheCLibrary) {
  ProcessClock clock;
  for (int attempt = 0; attempt < 3; ++attempt) {  // again if a minute turns in between
    const std::time_t before = std::time(nullptr);
    const LocalTime now = clock.Now();
    if (std::time(nullptr) / 60 != before / 60) continue;
    const std::tm expected = *std::localtime(&before);
    ASSERT_TRUE(now.IsValid());
    EXPECT_EQ(now.year, expected.tm_year + 1900);
    EXPECT_EQ(now.month, expected.tm_mon + 1);
    EXPECT_EQ(now.day, expected.tm_mday);
    EXPECT_EQ(now.hour, expected.tm_hour);
    EXPECT_EQ(now.minute, expected.tm_min);
    // 1 March 2026 was a Sunday: the day that shares the clock's weekday must read the same.
    EXPECT_EQ(FormatDateTime(now, "ddd"), FormatDateTime({2026, 3, 1 + now.dayOfWeek}, "ddd"));
    return;
  }
  FAIL() << "the minute kept turning";
}

}  // namespace
}  // namespace derov
