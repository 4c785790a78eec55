#pragma once
// A wait during which the calling thread keeps dispatching its window messages, so a
// window stays responsive while its thread waits (for the database, a period, a tip).

namespace derov {

// Units: 0 milliseconds, 1 seconds, 2 minutes, 3 hours; any other value is itself the
// number of milliseconds per unit. Returns true once the time has passed (at once for a
// duration of 0 or less); false when the wait could not be set up or the thread was told
// to quit meanwhile (the quit is kept for the thread's own message loop).
bool PumpedWait(int duration, int unit);

// Milliseconds the wait lasts, before it is turned into the timer's due time.
double PumpedWaitMilliseconds(int duration, int unit);

}  // namespace derov
