#include <thread>

#include "platform/pumped_wait.h"

namespace derov {

// Natively there are no windows to keep alive: the wait is a plain sleep.
bool PumpedWait(int duration, int unit) {
  const double milliseconds = PumpedWaitMilliseconds(duration, unit);
  if (milliseconds > 0)
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(milliseconds));
  return true;
}

}  // namespace derov
