#include "text/date_time.h"

#include <gtest/gtest.h>

namespace derov {
namespace {

LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  return {year, month, day, hour, minute, second, 0, 0};
}

TEST(FormatDateTime, WritesThePicturesTheProgramUses) {
  const LocalTime march = At(2026, 3, 3, 14, 5, 9);
  EXPECT_EQ(FormatDateTime(march, "yyyyMMdd"), "20260303");
  // The date picture's own blank and the joining blank make two; the hour is on a 12-hour
  // clock and the seconds have no leading zero.
  EXPECT_EQ(FormatDateTime(march, "M/dd ", "hh:mm:s"), "3/03  02:05:9");
  EXPECT_EQ(FormatDateTime(march, "M/dd ", "hh:mm:s", true), "3/03  14:05:9");
  EXPECT_EQ(FormatDateTime(At(2019, 11, 27, 14, 40), "yy/M/d ", "hh:mm"), "19/11/27  02:40");
  EXPECT_EQ(FormatDateTime(At(2009, 1, 9, 0, 0, 59), "yyyyMMdd", "hh:mm:s"), "20090109 12:00:59");
}

TEST(FormatDateTime, HoursOnBothClocks) {
  const struct {
    int hour;
    const char* twelve;
    const char* twentyFour;
  } cases[] = {
      {0, "12 12 0 00 上 上午", "0 00 0 00 上 上午"},
      {1, "1 01 1 01 上 上午", "1 01 1 01 上 上午"},
      {11, "11 11 11 11 上 上午", "11 11 11 11 上 上午"},
      {12, "12 12 12 12 下 下午", "12 12 12 12 下 下午"},
      {13, "1 01 13 13 下 下午", "13 13 13 13 下 下午"},
      {23, "11 11 23 23 下 下午", "23 23 23 23 下 下午"},
  };
  for (const auto& c : cases) {
    const LocalTime value = At(2026, 3, 5, c.hour);
    EXPECT_EQ(FormatDateTime(value, "", "h hh H HH t tt"), c.twelve) << c.hour;
    EXPECT_EQ(FormatDateTime(value, "", "h hh H HH t tt", true), c.twentyFour) << c.hour;
  }
}

TEST(FormatDateTime, NumericLettersAndLongerRuns) {
  EXPECT_EQ(FormatDateTime(At(2009, 1, 9, 3, 4, 5), "d dd ddd", "m mm mmm s ss sss hhh"),
            "9 09 周五 4 04 04 5 05 05 03");
  EXPECT_EQ(FormatDateTime(At(2009, 10, 31), "M MM y yy yyy yyyy yyyyy"),
            "10 10 09 09 2009 2009 2009");
  EXPECT_EQ(FormatDateTime(At(2000, 12, 1), "y/M/d"), "00/12/1");
  EXPECT_EQ(FormatDateTime(At(2026, 3, 5), "ddd dddd MMM MMMM gg"), "周四 星期四 3月 三月 公元公元");
}

TEST(FormatDateTime, DayNamesComeFromTheDateNotTheDayOfWeekField) {
  LocalTime value = At(2026, 3, 5);
  value.dayOfWeek = 1;
  EXPECT_EQ(FormatDateTime(value, "dddd"), "星期四");
  EXPECT_EQ(FormatDateTime(At(1601, 1, 1), "dddd"), "星期一");
  EXPECT_EQ(FormatDateTime(At(2024, 2, 29), "dddd"), "星期四");
}

TEST(FormatDateTime, CopiesQuotedTextAndOtherCharacters) {
  const LocalTime value = At(2026, 3, 5, 14, 5, 9);
  EXPECT_EQ(FormatDateTime(value, "yyyy'年'M'月'd'日'"), "2026年3月5日");
  EXPECT_EQ(FormatDateTime(value, "'dd'dd"), "dd05");
  EXPECT_EQ(FormatDateTime(value, "a''b 'it''s' 'open"), "ab it's open");
  EXPECT_EQ(FormatDateTime(value, "D-d Y hh tt"), "D-5 Y hh tt");  // time letters in a date
  EXPECT_EQ(FormatDateTime(value, "", "d M y T"), "d M y T");        // date letters in a time
  // The second byte of 丏 (81 64) is a 'd' and that of 乭 (81 6D) an 'm': they are no letters.
  EXPECT_EQ(FormatDateTime(value, "\x81\x64-d", "\x81\x6D-m"), "\x81\x64-5 \x81\x6D-5");
}

TEST(FormatDateTime, ShortPicturesAreLeftOutAndInvalidValuesGiveNothing) {
  const LocalTime value = At(2026, 3, 5, 14, 5, 9);
  EXPECT_EQ(FormatDateTime(value, "dd", "hh:mm"), "02:05");
  EXPECT_EQ(FormatDateTime(value, "yyyy", "mm"), "2026");
  EXPECT_EQ(FormatDateTime(value, "dd", "mm"), "");
  EXPECT_EQ(FormatDateTime(value, "", ""), "");
  EXPECT_EQ(FormatDateTime(value, "　d　 "), "5");  // full-width spaces are trimmed too
  const LocalTime invalid[] = {
      {},
      At(2026, 2, 29),
      At(1900, 2, 29),
      At(2026, 4, 31),
      At(2026, 13, 1),
      At(2026, 0, 1),
      At(1600, 12, 31),
      At(30828, 1, 1),
      At(2026, 3, 5, 24),
      At(2026, 3, 5, 1, 60),
      At(2026, 3, 5, 1, 0, 60),
      {2026, 3, 5, 1, 0, 0, 4, 1000},
  };
  for (const auto& v : invalid)
    EXPECT_EQ(FormatDateTime(v, "yyyyMMdd", "hh:mm"), "")
        << v.year << '-' << v.month << '-' << v.day << ' ' << v.hour << ':' << v.minute;
  EXPECT_EQ(FormatDateTime(At(2000, 2, 29), "yyyyMMdd"), "20000229");
  EXPECT_EQ(FormatDateTime(At(30827, 12, 31), "yyyyMMdd"), "308271231");
}

}  // namespace
}  // namespace derov
