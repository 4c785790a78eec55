#include "rules/rule_editor_logic.h"

#include "rules/rule_database.h"
#include "text/text.h"

namespace derov {
namespace {

bool IsWholeNumberLiteral(const std::string& text) {
  const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
  if (text.size() == digits) return false;
  for (size_t i = digits; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

}  // namespace

std::string BuildSaverule(const EditorValues& values) {
  switch (values.page) {
    case ConditionPage::kPageState:
      return std::to_string(values.conditionRow + 11);
    case ConditionPage::kKeyword:
      return std::to_string(values.conditionRow + 21) + "{[" + values.keyword + "]}";
    case ConditionPage::kNumber:
      return std::to_string(values.conditionRow + 31) + "{" + values.x + "}[" + values.y + "]";
  }
  return {};
}

std::string RuleType(ConditionPage page) { return std::to_string(static_cast<int>(page) + 1); }

std::optional<std::string> ValidateCondition(const EditorValues& values) {
  const bool noRow = values.conditionRow < 0;
  switch (values.page) {
    case ConditionPage::kPageState:
      if (noRow) return "请选择1行网页变动的提醒条件";
      break;
    case ConditionPage::kKeyword:
      if (noRow || values.keyword.empty()) return "关键词或关键词判断条件不能空";
      break;
    case ConditionPage::kNumber:
      if (noRow || values.x.empty()) return "xy值或关键词判断条件不能空";
      break;
  }
  return std::nullopt;
}

std::optional<std::string> BuildInsertStatement(const EditorValues& values,
                                                const std::string& ctime) {
  if (!IsWholeNumberLiteral(values.plv)) return std::nullopt;
  return "insert into rule(name,url,isgbk ,head,ispost , postdata,plv, isjiequ , before , after, "
         "type , saverule , isrep , ctime  , isend , isopen,val_old) values(" +
         QuoteSqlText(values.name) + "," + QuoteSqlText(values.url) + "," + values.isgbk + "," +
         QuoteSqlText(values.head) + "," + values.ispost + "," + QuoteSqlText(values.postdata) +
         "," + values.plv + "," + values.isjiequ + "," + QuoteSqlText(values.before) + "," +
         QuoteSqlText(values.after) + "," + RuleType(values.page) + "," +
         QuoteSqlText(BuildSaverule(values)) + "," + values.isrep + "," + QuoteSqlText(ctime) +
         ",0,1,0)";
}

std::string NormalisePeriodText(const std::string& text) {
  const int period = ReadInteger(text);
  return period == 0 ? std::string() : std::to_string(period);
}

std::string SourceTestOutput(int statusCode, bool cutWarning, const std::string& pageText) {
  return "网页状态码：" + std::to_string(statusCode) +
         (cutWarning ? "\r\n\r\n截取的区域源码为空！请检查区域标记\r\n\r\n" : "\r\n") + pageText;
}

}  // namespace derov
