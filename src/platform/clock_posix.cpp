#include <time.h>

#include "platform/clock.h"

namespace derov {

LocalTime ProcessClock::Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  if (localtime_r(&now.tv_sec, &local) == nullptr) return {};
  // A leap second (60) is shown as 59, as the Windows clock never reports one.
  const int second = local.tm_sec > 59 ? 59 : local.tm_sec;
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
          second, local.tm_wday, static_cast<int>(now.tv_nsec / 1000000)};
}

}  // namespace derov
