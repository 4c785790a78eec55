#pragma once
// The loop that watches one rule: fetch, decode, evaluate, show the outcome in the rule's
// row, notify a firing rule, wait the rule's period, again.

#include <functional>
#include <memory>
#include <string>

#include "notify/notification_dispatch.h"
#include "platform/clock.h"
#include "platform/stop_signal.h"
#include "platform/ui_thread.h"
#include "rules/rule_list_view.h"
#include "rules/rule_record.h"
#include "web/request_object.h"

namespace derov {

struct MonitorServices {
  UiThread& ui;
  RuleTable& rules;
  RuleListView& list;  // touched only inside tasks posted to ui
  Clock& clock;
  RequestObjectFactory& requests;
  NotifyServices& notify;
  // Runs one statement on the rule database; called on the UI thread.
  std::function<bool(const std::string&)> executeSql;
};

// Status and time into the row: column 9, then column 8 with the time of writing.
void StampRowStatus(RuleListView& list, int row, const std::string& statusText, Clock& clock);

// The row that shows ruleNumber now, or -1. The slot's listRow is checked against the
// row's id cell, so a worker never writes into a row that shows another rule.
int FindRuleRow(const RuleListView& list, const RuleTable& rules, int ruleNumber);

// Runs until the rule is finished (a once-only rule that fired), its family is unknown, or
// `life` is stopped. After the stop nothing of this worker reaches the list, the log, the
// database, the push service or the tip window (the UI thread checks `life` before every
// effect it carries out for the worker).
void RunMonitorWorker(MonitorServices& services, int ruleNumber,
                      const std::shared_ptr<StopSignal>& life);

}  // namespace derov
