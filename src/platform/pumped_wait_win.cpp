#include <windows.h>

#include <cmath>

#include "platform/handle_win.h"
#include "platform/pumped_wait.h"

namespace derov {
namespace {

// Every kind of window message wakes the wait: key, mouse move, mouse button, posted,
// timer, paint, sent and hot key.
constexpr DWORD kWakeMask = 0xFF;

// A relative due time in 100-nanosecond units (negative = relative), truncated toward
// zero and kept inside the 64-bit range for absurdly long waits.
LONGLONG RelativeDueTime(double milliseconds) {
  const double due = std::trunc(milliseconds * -10000.0);
  constexpr double kLongest = -9.2e18;
  return static_cast<LONGLONG>(due < kLongest ? kLongest : due);
}

// Dispatches every pending message of this thread. A WM_QUIT is not the wait's to
// swallow: it is put back for the thread's own loop and ends the wait (false).
bool DispatchPendingMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

}  // namespace

bool PumpedWait(int duration, int unit) {
  const double milliseconds = PumpedWaitMilliseconds(duration, unit);
  if (milliseconds <= 0) return true;

  ScopedHandle timer(CreateWaitableTimerA(nullptr, FALSE, nullptr));
  if (!timer) return false;
  LARGE_INTEGER dueTime;
  dueTime.QuadPart = RelativeDueTime(milliseconds);
  if (dueTime.QuadPart == 0) return true;  // less than 100 ns
  if (!SetWaitableTimer(timer.get(), &dueTime, 0, nullptr, nullptr, FALSE)) return false;

  const HANDLE handles[] = {timer.get()};
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjects(1, handles, FALSE, INFINITE, kWakeMask);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke != WAIT_OBJECT_0 + 1) return false;  // WAIT_FAILED: never spin on it
    if (!DispatchPendingMessages()) return false;
  }
}

}  // namespace derov
