#pragma once
// The thread that owns the windows. Other threads reach a window only by posting a task
// here; tasks run one at a time in the order they were posted, so a read-modify-write of a
// control done inside one task is one step.

#include <functional>

namespace derov {

using UiTask = std::function<void()>;

class UiThread {
 public:
  virtual ~UiThread() = default;
  // Queues task behind everything posted before it. False when the UI thread is gone; the
  // task is then dropped without running.
  virtual bool Post(UiTask task) = 0;
};

}  // namespace derov
