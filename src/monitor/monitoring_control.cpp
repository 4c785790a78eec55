#include "monitor/monitoring_control.h"

#include <algorithm>
#include <system_error>
#include <thread>

#include "text/text.h"

namespace derov {

// One worker thread. The thread is detached: a fetch in flight cannot be interrupted, so
// nobody waits for it; everything it uses lives until the process ends, and after its stop
// none of its effects is carried out.
struct MonitoringControl::Worker {
  std::shared_ptr<StopSignal> life = std::make_shared<StopSignal>();
  std::shared_ptr<StopSignal> ended = std::make_shared<StopSignal>();  // stopped = ended

  bool Ended() const { return ended->StopRequested(); }
};

MonitoringControl::~MonitoringControl() { StopAll(0); }

void MonitoringControl::OnButtonClicked() {
  if (button_.Caption() == "开始监控")
    StartMonitoring();
  else
    StopMonitoring();
}

void MonitoringControl::StartMonitoring() {
  button_.SetCaption("启动中..");
  button_.SetEnabled(false);
  RuleListView& list = services_.list;
  const int rows = list.RowCount();
  for (int row = 0; row < rows; ++row) {
    if (!list.Tick(row)) continue;
    const int number = ReadInteger(list.CellText(row, kIdColumn));
    if (!RuleTable::HasSlot(number)) continue;  // a row the table cannot hold is never watched
    StartWorker(number);
    const int listRow = services_.rules.With(number, [](const RuleRecord& r) { return r.listRow; });
    list.SetCellText(row, kStatusColumn,
                     std::to_string(number) + "-" + std::to_string(listRow) + "监控中");
  }
  button_.SetEnabled(true);
  button_.SetCaption("停止监控");
}

void MonitoringControl::StopMonitoring() {
  button_.SetCaption("关闭中..");
  // Every worker stops, also those of rows unticked meanwhile, so no rule keeps a worker
  // past the stop.
  for (auto& [number, worker] : workers_) worker->life->RequestStop();
  RuleListView& list = services_.list;
  const int rows = list.RowCount();
  for (int row = 0; row < rows; ++row)
    if (list.Tick(row)) list.SetCellText(row, kStatusColumn, "待监控");
  button_.SetCaption("开始监控");
}

void MonitoringControl::StopRule(int ruleNumber) {
  const auto it = workers_.find(ruleNumber);
  if (it != workers_.end()) it->second->life->RequestStop();
}

bool MonitoringControl::StopAll(long long timeoutMs) {
  for (auto& [number, worker] : workers_) worker->life->RequestStop();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (auto& [number, worker] : workers_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (!worker->ended->WaitForStop(std::max<long long>(0, left.count()))) return false;
  }
  return true;
}

bool MonitoringControl::HasLiveWorker(int ruleNumber) const {
  const auto it = workers_.find(ruleNumber);
  return it != workers_.end() && !it->second->Ended();
}

void MonitoringControl::StartWorker(int ruleNumber) {
  // A worker of this rule may still be winding down (a fetch in flight after a stop): the
  // new one waits for it to end first, so a rule never has two workers at once.
  std::shared_ptr<StopSignal> previous;
  if (auto it = workers_.find(ruleNumber); it != workers_.end() && !it->second->Ended())
    previous = it->second->ended;
  auto worker = std::make_shared<Worker>();
  try {
    std::thread([&services = services_, ruleNumber, life = worker->life,
                 ended = worker->ended, previous] {
      while (previous && !previous->WaitForStop(50) && !life->StopRequested()) {
      }
      if (!life->StopRequested()) RunMonitorWorker(services, ruleNumber, life);
      ended->RequestStop();
    }).detach();
  } catch (const std::system_error&) {
    return;  // no thread: the rule is not watched this time
  }
  workers_[ruleNumber] = std::move(worker);
}

}  // namespace derov
