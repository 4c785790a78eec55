#include "rules/rule_list.h"

#include <string>
#include <vector>

#include "text/text.h"

namespace derov {
namespace {

// The rule query's columns, in its order.
enum QueryColumn : size_t {
  kId, kName, kUrl, kIsgbk, kHead, kIspost, kPostdata, kPlv, kIsjiequ, kBefore, kAfter,
  kType, kSaverule, kValOld, kIsrep, kCtime, kLtime, kIsend, kIsopen, kQueryColumnCount
};

using StoredRule = std::vector<std::string>;

constexpr int kFamilyKeyword = 2;
constexpr int kFamilyNumber = 3;

// Field by field in the stored order; the keyword only for a keyword rule, the bounds only
// for a number rule (other rules keep what the slot held).
void FillRecord(RuleRecord& record, const StoredRule& rule, int listRow) {
  record.name = rule[kName];
  record.url = rule[kUrl];
  record.isgbk = ReadBoolean(rule[kIsgbk]);
  record.head = rule[kHead];
  record.ispost = ReadInteger(rule[kIspost]);
  record.postdata = rule[kPostdata];
  record.plv = ReadInteger(rule[kPlv]);
  record.isjiequ = ReadBoolean(rule[kIsjiequ]);
  record.before = rule[kBefore];
  record.after = rule[kAfter];
  record.type = ReadInteger(rule[kType]);
  record.saverule = rule[kSaverule];
  record.previousValue = rule[kValOld];
  record.isrep = ReadBoolean(rule[kIsrep]);
  record.ltime = ReadInteger(rule[kLtime]);
  record.isend = ReadBoolean(rule[kIsend]);
  record.isopen = ReadBoolean(rule[kIsopen]);
  record.conditionCode = ReadInteger(record.saverule);
  if (record.type == kFamilyKeyword) record.keyword = TextBetween(record.saverule, "{[", "]}");
  if (record.type == kFamilyNumber) {
    record.x = static_cast<float>(ReadNumber(TextBetween(record.saverule, "{", "}")));
    record.y = static_cast<float>(ReadNumber(TextBetween(record.saverule, "[", "]")));
  }
  record.listRow = listRow;
}

const char* StatusText(bool isopen, bool isend) {
  if (!isopen) return kStatusDisabled;
  return isend ? kStatusFinished : kStatusWaiting;
}

void ListRule(RuleTable& table, RuleListView& view, const StoredRule& rule) {
  const int ruleNumber = ReadInteger(rule[kId]);
  const bool hasSlot = RuleTable::HasSlot(ruleNumber);
  const bool isopen = ReadBoolean(rule[kIsopen]);
  const bool isend = ReadBoolean(rule[kIsend]);

  const int row = view.AppendRow();
  if (hasSlot)
    table.Update(ruleNumber, [&](RuleRecord& record) { FillRecord(record, rule, row); });
  if (hasSlot && isopen && !isend) view.SetTick(row, true);

  const std::string cells[kRuleColumnCount] = {
      rule[kId],     rule[kName],   rule[kUrl], rule[kSaverule],
      rule[kPlv],    rule[kValOld], rule[kIsrep], "",
      std::to_string(ReadInteger(rule[kLtime])),
      hasSlot ? StatusText(isopen, isend) : kStatusNoSlot};
  for (int column = 0; column < kRuleColumnCount; ++column)
    view.SetCellText(row, column, cells[column]);
}

}  // namespace

void LoadRuleList(RuleStore& store, RuleListView& view) {
  // The rows are read whole and the database let go before the list is touched: nobody
  // calls into a window while holding the database. The list is emptied only now, so a
  // load that waited for the database while another load ran cannot list a rule twice.
  const QueryRows rules = store.database.Query(kRuleQuery);
  view.DeleteAllRows();
  for (const StoredRule& rule : rules)
    if (rule.size() >= kQueryColumnCount) ListRule(store.table, view, rule);
  if (store.hooks.afterReload) store.hooks.afterReload();
}

void DeleteSelectedRule(RuleStore& store, RuleListView& view, MessageBoxPort& boxes) {
  const int row = view.SelectedRow();
  if (row < 0) {
    boxes.Show("请在左边列表框，选择一行要删除的方案", kDefaultBoxTitle, BoxStyle::kOk);
    return;
  }
  // Read before asking: the question box dispatches messages while it is up.
  const std::string idText = view.CellText(row, kIdColumn);
  const std::string name = view.CellText(row, kNameColumn);
  if (!boxes.Show("是否删除规则： " + name, "确认删除？", BoxStyle::kOkCancel)) return;
  if (store.hooks.beforeDeletion) store.hooks.beforeDeletion(ReadInteger(idText));
  store.database.ExecuteSql(DeleteRuleStatement(idText));
  LoadRuleList(store, view);
}

int RuleNumberOfRow(const RuleListView& view, int row) {
  return ReadInteger(view.CellText(row, kIdColumn));
}

bool RowHasSlot(const RuleListView& view, int row) {
  return RuleTable::HasSlot(RuleNumberOfRow(view, row));
}

}  // namespace derov
