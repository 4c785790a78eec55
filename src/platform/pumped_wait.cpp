#include "platform/pumped_wait.h"

namespace derov {

double PumpedWaitMilliseconds(int duration, int unit) {
  double perUnit = unit;
  switch (unit) {
    case 0: perUnit = 1; break;
    case 1: perUnit = 1000; break;
    case 2: perUnit = 60000; break;
    case 3: perUnit = 3600000; break;
    default: break;
  }
  return static_cast<double>(duration) * perUnit;
}

}  // namespace derov
