#include "platform/clock.h"

namespace derov {
namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (!InRange(month, 1, 12)) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool LocalTime::IsValid() const {
  return InRange(year, 1601, 30827) && InRange(month, 1, 12) &&
         InRange(day, 1, DaysInMonth(year, month)) && InRange(hour, 0, 23) &&
         InRange(minute, 0, 59) && InRange(second, 0, 59) && InRange(milliseconds, 0, 999);
}

}  // namespace derov
