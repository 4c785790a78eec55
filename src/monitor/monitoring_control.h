#pragma once
// Starting and stopping monitoring from the main window's button: one worker thread per
// ticked rule, stopped cooperatively.

#include <map>
#include <memory>
#include <string>

#include "monitor/monitor_worker.h"

namespace derov {

// The start/stop button `按钮1`; its caption is the only record of the state.
class MonitorButton {
 public:
  virtual ~MonitorButton() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetEnabled(bool enabled) = 0;
};

// Lives on the UI thread and is used there only.
class MonitoringControl {
 public:
  MonitoringControl(MonitorServices& services, MonitorButton& button)
      : services_(services), button_(button) {}
  ~MonitoringControl();
  MonitoringControl(const MonitoringControl&) = delete;
  MonitoringControl& operator=(const MonitoringControl&) = delete;

  // The button's click: start when it reads "开始监控", stop otherwise.
  void OnButtonClicked();
  void StartMonitoring();
  void StopMonitoring();

  // Stops the rule's worker, if any (before its rule is deleted).
  void StopRule(int ruleNumber);
  // Stops every worker (program exit); returns whether all have ended within timeoutMs.
  bool StopAll(long long timeoutMs);
  // Whether a worker of the rule is still running (or winding down).
  bool HasLiveWorker(int ruleNumber) const;

 private:
  struct Worker;
  void StartWorker(int ruleNumber);

  MonitorServices& services_;
  MonitorButton& button_;
  std::map<int, std::shared_ptr<Worker>> workers_;
};

}  // namespace derov
