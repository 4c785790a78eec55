#pragma once
// What the rule editor does with its values, apart from its window: the condition text,
// the validation of a save, the insert statement and the source test's output.

#include <optional>
#include <string>

namespace derov {

// The condition pages of the editor, in their order.
enum class ConditionPage { kPageState = 0, kKeyword = 1, kNumber = 2 };

// The values a save or a source test collects from the editor, as texts.
struct EditorValues {
  std::string url;
  std::string head;
  std::string plv;       // the period box's text, as typed
  std::string name;
  std::string isjiequ;   // "1" when part of the page is watched, else "0"
  std::string before;    // only when isjiequ is "1"
  std::string after;
  std::string keyword;
  std::string x;
  std::string y;
  ConditionPage page = ConditionPage::kPageState;
  int conditionRow = -1;  // the selected row of the page's condition list, -1 for none
  std::string isrep;      // "1" or "0"
  std::string ispost;     // "1" only with POST ticked and data given
  std::string postdata;
  std::string isgbk;      // "0" when the utf box is ticked, else "1"
};

// The stored condition: the code (row + 11, 21 or 31; no row gives 10, 20 or 30) and the
// page's operands: "21{[关键词]}", "33{10}[20]", "12".
std::string BuildSaverule(const EditorValues& values);

// The family of the selected page: "1", "2" or "3".
std::string RuleType(ConditionPage page);

// The message that refuses a save, or nothing when the condition is complete.
std::optional<std::string> ValidateCondition(const EditorValues& values);

// The insert of the new rule, texts as SQL literals with their quotes doubled, numbers
// bare. Nothing when the period is not a whole number: such a save fails as the database
// would refuse it, without handing the database a statement built from arbitrary text.
std::optional<std::string> BuildInsertStatement(const EditorValues& values,
                                                const std::string& ctime);

// The period box after it loses the focus: its leading whole number (clamped to 32 bits)
// in decimal, and empty for 0.
std::string NormalisePeriodText(const std::string& text);

// What the source test shows: the status line, the warning when the cut came out empty,
// then the whole page.
std::string SourceTestOutput(int statusCode, bool cutWarning, const std::string& pageText);

inline constexpr const char* kMissingMarkersMessage =
    "你选择了　截取部分源码作为监控文本，却不填区域标记\r\n软件怎么知道从源码的哪个位置截到哪啊";

}  // namespace derov
