#include "monitor/watched_text.h"

#include <gtest/gtest.h>

namespace derov {
namespace {

RuleRecord Rule(int isjiequ, std::string before = {}, std::string after = {}) {
  RuleRecord rule;
  rule.isjiequ = isjiequ;
  rule.before = std::move(before);
  rule.after = std::move(after);
  return rule;
}

TEST(NormaliseWatchedText, FlattensLineBreaksAndTabsInPlace) {
  std::string text = "a\r\nb\tc";
  EXPECT_EQ(NormaliseWatchedText(text, Rule(0)), "a{br}bc");
  EXPECT_EQ(text, "a{br}bc");
  std::string lines = "\n\n中\r\r";
  EXPECT_EQ(NormaliseWatchedText(lines, Rule(0, "x", "y")), "{br}{br}中");  // no cut wanted
}

TEST(NormaliseWatchedText, CutsBetweenMarkersAfterFlattening) {
  // The markers see the flattened text: a marker may hold "{br}" but never a line feed.
  std::string text = "<p>\r\n  价格：\t12元\n</p>";
  EXPECT_EQ(NormaliseWatchedText(text, Rule(1, "价格：", "元")), "12");
  EXPECT_EQ(text, "12");
  std::string lines = "a\nb\nc";
  EXPECT_EQ(NormaliseWatchedText(lines, Rule(1, "a{br}", "{br}c")), "b");
  std::string missing = "no markers here";
  EXPECT_EQ(NormaliseWatchedText(missing, Rule(1, "<b>", "</b>")), "");
  EXPECT_EQ(missing, "");
}

}  // namespace
}  // namespace derov
