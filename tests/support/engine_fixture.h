#pragma once
// The monitor's world made of stand-ins: a task thread for the window thread, an in-memory
// rule list and log, a recording tip window, a settable clock and scripted requests.

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/monitor_worker.h"
#include "support/fake_rule_list_view.h"
#include "support/scripted_web.h"
#include "support/task_thread.h"
#include "support/test_clock.h"

namespace derov::test {

class StringLogBox : public LogBox {
 public:
  std::string Text() override { return text; }
  void SetText(const std::string& value) override { text = value; }
  std::string text;
};

class RecordingTipView : public TipView {
 public:
  void SetText(const std::string& value) override { text = value; }
  void SetColour(unsigned colour) override { colours.push_back(colour); }
  void Show() override { visible = true; }
  void Hide() override { visible = false; }
  bool IsVisible() const override { return visible; }
  void SetStepping(bool on) override { stepping = on; }
  std::string text;
  std::vector<unsigned> colours;
  bool visible = false, stepping = false;
};

// Holds requests at a gate until the test lets them through: a fetch in flight on demand.
class Gate {
 public:
  void Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }
  void Open() {
    {
      std::lock_guard lock(mutex_);
      open_ = true;
    }
    changed_.notify_all();
  }
  // Lets n waiting (or future) requests through while the gate stays closed.
  void Release(int n = 1) {
    {
      std::lock_guard lock(mutex_);
      permits_ += n;
    }
    changed_.notify_all();
  }
  // Called by a request: counts its arrival and waits until it may go on.
  void Pass() {
    std::unique_lock lock(mutex_);
    ++arrivals_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_ || permits_ > 0; });
    if (!open_) --permits_;
  }
  // Waits until n requests in all have come to the gate.
  void AwaitArrivals(int n) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return arrivals_ >= n; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = true;
  int permits_ = 0;
  int arrivals_ = 0;
};

struct MonitorFixture : ::testing::Test {
  TaskThread ui;
  RuleTable rules;
  FakeRuleListView list;
  TestClock clock;
  ScriptedWeb requests;
  StringLogBox log;
  RecordingTipView tipView;
  TipCountdown tip{tipView};
  SharedNotificationSettings settings;
  NotifyServices notify{ui, log, tip, rules, settings, requests, "http://push.test/"};
  std::vector<std::string> statements;  // touched on the task thread only
  MonitorServices services{ui, rules, list, clock, requests, notify, [this](const std::string& sql) {
                             statements.push_back(sql);
                             return true;
                           }};

  // A rule as the loader leaves it: in its slot and in a ticked row at the bottom.
  void AddRule(int number, RuleRecord rule) {
    ui.Run([&] {
      const int row = list.AppendRow();
      list.SetCellText(row, kIdColumn, std::to_string(number));
      list.SetCellText(row, kNameColumn, rule.name);
      list.SetTick(row, true);
      rule.listRow = row;
      rules.Update(number, [&](RuleRecord& slot) { slot = rule; });
    });
  }

  // What the window shows once everything posted so far has run.
  FakeRuleListView::Row Row(int row) {
    FakeRuleListView::Row copy;
    ui.Run([&] { copy = list.rows.at(row); });
    return copy;
  }
  std::string LogText() {
    std::string copy;
    ui.Run([&] { copy = log.text; });
    return copy;
  }
  std::vector<std::string> Statements() {
    std::vector<std::string> copy;
    ui.Run([&] { copy = statements; });
    return copy;
  }

  // What StopMonitoring does for a row, on the window thread.
  void StopFromWindow(StopSignal& life, int row) {
    ui.Run([&] {
      life.RequestStop();
      list.SetCellText(row, kStatusColumn, "待监控");
    });
  }
};

inline RuleRecord KeywordRule(std::string keyword, int code, int isrep) {
  RuleRecord rule;
  rule.name = "价格监控";
  rule.url = "http://shop.test/item";
  rule.isgbk = 1;
  rule.type = 2;
  rule.conditionCode = code;
  rule.saverule = std::to_string(code) + "{[" + keyword + "]}";
  rule.keyword = std::move(keyword);
  rule.previousValue = "0";
  rule.isrep = isrep;
  rule.isopen = 1;
  return rule;
}

}  // namespace derov::test
