#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "text/date_time.h"
#include "text/text.h"

namespace derov {
namespace {

// The texts the system's formatting gives, taken the way the program used to take them:
// locale 0, an output buffer of 50 bytes filled with spaces, a picture under 3 bytes left out,
// the parts joined by a space and trimmed.
std::string SystemFormat(const LocalTime& value, const char* datePicture, const char* timePicture,
                         bool force24Hour) {
  const SYSTEMTIME time{static_cast<WORD>(value.year),   static_cast<WORD>(value.month),
                        static_cast<WORD>(value.dayOfWeek), static_cast<WORD>(value.day),
                        static_cast<WORD>(value.hour),   static_cast<WORD>(value.minute),
                        static_cast<WORD>(value.second), static_cast<WORD>(value.milliseconds)};
  auto part = [&](bool date, const char* picture) {
    if (std::strlen(picture) < 3) return std::string();
    char buffer[50];
    std::memset(buffer, ' ', sizeof buffer);
    const int n = date ? GetDateFormatA(0, 0, &time, picture, buffer, sizeof buffer)
                       : GetTimeFormatA(0, force24Hour ? TIME_FORCE24HOURFORMAT : 0, &time,
                                        picture, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, n - 1) : std::string(buffer, sizeof buffer);
  };
  return TrimSpaces(part(true, datePicture) + " " + part(false, timePicture));
}

std::vector<LocalTime> Dates() {
  std::vector<LocalTime> dates;
  for (int year : {1601, 1999, 2000, 2009, 2024, 2026, 30827})
    for (int month : {1, 2, 9, 10, 12})
      for (int day : {1, 9, 10, 28, 29, 31})
        if (day <= DaysInMonth(year, month)) dates.push_back({year, month, day, 14, 5, 9, 0, 0});
  return dates;
}

std::vector<LocalTime> Times() {
  std::vector<LocalTime> times;
  for (int hour : {0, 1, 9, 11, 12, 13, 23})
    for (int minute : {0, 5, 59})
      for (int second : {0, 9, 59}) times.push_back({2026, 3, 5, hour, minute, second, 4, 7});
  return times;
}

// The pictures the program uses, each with both clocks, over every combination of the dates
// and times above.
TEST(FormatDateTimeOnWindows, MatchesTheSystemForTheProgramsPictures) {
  const char* pairs[][2] = {{"yyyyMMdd", ""}, {"M/dd ", "hh:mm:s"}, {"yy/M/d ", "hh:mm"}};
  for (const LocalTime& date : Dates())
    for (const LocalTime& time : Times()) {
      const LocalTime value{date.year, date.month, date.day, time.hour, time.minute, time.second,
                            0, 0};
      for (const auto& pair : pairs)
        for (bool force24Hour : {false, true})
          ASSERT_EQ(FormatDateTime(value, pair[0], pair[1], force24Hour),
                    SystemFormat(value, pair[0], pair[1], force24Hour))
              << pair[0] << "|" << pair[1] << " " << value.year << "-" << value.month << "-"
              << value.day << " " << value.hour << ":" << value.minute << ":" << value.second;
    }
}

TEST(FormatDateTimeOnWindows, MatchesTheSystemForEveryPictureLetter) {
  const char* datePictures[] = {
      "d dd ddd dddd ddddd", "M MM MMM MMMM MMMMM", "y yy yyy yyyy yyyyy", "g gg",
      "yyyy'年'M'月'd'日'",  "'dd'dd a''b 'it''s'", "''''|'''|'a''",       "D-d Y m hh tt s",
      "\x81\x64-d \xD6\xD0", "d'unclosed",          "dMy",                 "  d  ",
  };
  const char* timePictures[] = {
      "h hh hhh H HH HHH",  "m mm mmm s ss sss", "t tt ttt", "hh:mm:ss tt",
      "'h'h h''h 'x",       "d M y g T S",       "\x81\x6D-m h\xD6\xD0m", "h:mm:s.fff",
  };
  for (const LocalTime& value : Dates())
    for (const char* picture : datePictures)
      ASSERT_EQ(FormatDateTime(value, picture), SystemFormat(value, picture, "", false))
          << picture << " " << value.year << "-" << value.month << "-" << value.day;
  for (const LocalTime& value : Times())
    for (const char* picture : timePictures)
      for (bool force24Hour : {false, true})
        ASSERT_EQ(FormatDateTime(value, "", picture, force24Hour),
                  SystemFormat(value, "", picture, force24Hour))
            << picture << " " << value.hour << ":" << value.minute << ":" << value.second;
}

// Dates the system refuses come out empty from both. (Left out: 29 February of a year that is
// no leap year, which Wine takes and rolls into March, and the first months of 30828, which it
// still takes; no clock ever shows either.)
TEST(FormatDateTimeOnWindows, InvalidDatesGiveNothingFromEither) {
  const LocalTime invalid[] = {{2026, 2, 30, 1, 0, 0, 0, 0}, {2026, 4, 31, 1, 0, 0, 0, 0},
                               {2026, 13, 1, 1, 0, 0, 0, 0}, {2026, 0, 1, 1, 0, 0, 0, 0},
                               {1600, 12, 31, 1, 0, 0, 0, 0}, {30828, 12, 31, 1, 0, 0, 0, 0}};
  for (const LocalTime& value : invalid) {
    EXPECT_EQ(SystemFormat(value, "yyyyMMdd", "", false), "");
    EXPECT_EQ(FormatDateTime(value, "yyyyMMdd"), "");
  }
}

}  // namespace
}  // namespace derov
