#pragma once
// A cooperative stop for one worker: the owner asks it to stop, the worker's waits end at
// once, and anything the worker hands to the UI thread checks it there before acting.

#include <condition_variable>
#include <functional>
#include <mutex>

namespace derov {

class StopSignal {
 public:
  void RequestStop() {
    {
      std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    wake_.notify_all();
  }

  bool StopRequested() const {
    std::lock_guard lock(mutex_);
    return stopped_;
  }

  // Sleeps for ms milliseconds (not at all for 0 or less); false when the stop came first.
  bool SleepFor(long long ms) {
    std::unique_lock lock(mutex_);
    if (ms > 0) wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
    return !stopped_;
  }

  // Sleeps until ready() holds (checked now and after every Wake) or the stop comes;
  // returns ready().
  bool WaitUntil(const std::function<bool()>& ready) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return stopped_ || ready(); });
    return ready();
  }

  // Waits up to timeoutMs (for ever when negative) for the stop; true when it came.
  bool WaitForStop(long long timeoutMs) {
    std::unique_lock lock(mutex_);
    if (timeoutMs < 0)
      wake_.wait(lock, [this] { return stopped_; });
    else
      wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return stopped_; });
    return stopped_;
  }

  // Makes a waiting WaitUntil look at its condition again.
  void Wake() {
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopped_ = false;
};

}  // namespace derov
