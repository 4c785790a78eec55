#include <windows.h>

#include "platform/clock.h"

namespace derov {

LocalTime ProcessClock::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth,  now.wDay,       now.wHour,
          now.wMinute, now.wSecond, now.wDayOfWeek, now.wMilliseconds};
}

}  // namespace derov
