#pragma once
// Loading the stored rules into the rule table and the main list, and deleting the rule
// the user selected.

#include <functional>

#include "rules/message_box.h"
#include "rules/rule_database.h"
#include "rules/rule_list_view.h"
#include "rules/rule_record.h"

namespace derov {

// Status texts the loader writes.
inline constexpr const char* kStatusWaiting = "待监控";
inline constexpr const char* kStatusFinished = "执行完毕";
inline constexpr const char* kStatusDisabled = "未开启";
// A stored rule whose id has no slot (below 1 or above 99) is listed, never ticked, and
// must never get a worker.
inline constexpr const char* kStatusNoSlot = "编号超出范围，无法监控";

// Where other parts of the program follow the list's life. Both run on the thread that
// loads or deletes (the window's thread) with the database not held.
struct RuleListHooks {
  std::function<void()> afterReload;                   // rows and slots rewritten
  std::function<void(int ruleNumber)> beforeDeletion;  // confirmed; the row still listed
};

// The process-wide rule objects.
struct RuleStore {
  RuleTable table;
  RuleDatabase database;
  RuleListHooks hooks;
};

// Reads every stored rule (newest first), rewrites the slots of the rules read and fills
// the list anew: texts, ticks and statuses as stored. A query that cannot run leaves the
// list empty and every slot as it was.
void LoadRuleList(RuleStore& store, RuleListView& view);

// After the user's confirmation, deletes the selected row's rule and reloads the list.
void DeleteSelectedRule(RuleStore& store, RuleListView& view, MessageBoxPort& boxes);

// The rule number a row shows in its first column, and whether that rule has a slot (and
// so may be monitored).
int RuleNumberOfRow(const RuleListView& view, int row);
bool RowHasSlot(const RuleListView& view, int row);

}  // namespace derov
