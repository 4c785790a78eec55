#pragma once
// A stand-in for the window thread: posted tasks run one at a time, in order, on a thread
// of their own. Drain() waits until everything posted so far has run.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/ui_thread.h"

namespace derov::test {

class TaskThread : public UiThread {
 public:
  TaskThread() : thread_([this] { Loop(); }) {}
  ~TaskThread() override {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  bool Post(UiTask task) override {
    {
      std::lock_guard lock(mutex_);
      if (closing_) return false;
      tasks_.push_back(std::move(task));
    }
    changed_.notify_all();
    return true;
  }

  // Runs task on the thread and waits for it.
  void Run(UiTask task) {
    bool done = false;
    Post([&] {
      task();
      std::lock_guard lock(mutex_);
      done = true;
      changed_.notify_all();
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done; });
  }

  void Drain() {
    Run([] {});
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return closing_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      UiTask task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<UiTask> tasks_;
  bool closing_ = false;
  std::thread thread_;
};

}  // namespace derov::test
