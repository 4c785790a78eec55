#pragma once
// A clock that shows the time a test sets, safe to read from worker threads.

#include <mutex>

#include "platform/clock.h"

namespace derov::test {

class TestClock final : public Clock {
 public:
  explicit TestClock(LocalTime now = {2026, 3, 5, 14, 5, 9, 4, 0}) : now_(now) {}

  LocalTime Now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }

  void Set(const LocalTime& now) {
    std::lock_guard lock(mutex_);
    now_ = now;
  }

 private:
  std::mutex mutex_;
  LocalTime now_;
};

}  // namespace derov::test
