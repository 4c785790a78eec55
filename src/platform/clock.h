#pragma once
// The local date and time, and the port through which the engine reads the current one.

namespace derov {

// A local date and time in the system's broken-down form; dayOfWeek counts from Sunday = 0.
// A value made by default is invalid.
struct LocalTime {
  int year = 0;
  int month = 0;         // 1..12
  int day = 0;           // 1..31
  int hour = 0;          // 0..23
  int minute = 0;
  int second = 0;
  int dayOfWeek = 0;     // as the clock reports it; formatting works it out from the date
  int milliseconds = 0;

  // A real calendar date in the system's range (years 1601 to 30827) and a real time of day.
  bool IsValid() const;
};

int DaysInMonth(int year, int month);

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime Now() = 0;
};

// The system's local time (GetLocalTime on Windows, localtime_r natively).
class ProcessClock final : public Clock {
 public:
  LocalTime Now() override;
};

}  // namespace derov
