#include "monitor/change_rules.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace derov {
namespace {

RuleRecord Rule(int type, int code, std::string previous) {
  RuleRecord rule;
  rule.type = type;
  rule.conditionCode = code;
  rule.previousValue = std::move(previous);
  return rule;
}

struct Case {
  int code;
  std::string previous;
  int status;
  std::string page;
  bool fired;
  std::string message;
  std::string previousAfter;
};

void ExpectCase(int type, const Case& c, const RuleRecord& base = {}) {
  RuleRecord rule = base;
  rule.type = type;
  rule.conditionCode = c.code;
  rule.previousValue = c.previous;
  std::string page = c.page;
  const Evaluation result = EvaluateRule(rule, page, c.status);
  SCOPED_TRACE("code " + std::to_string(c.code) + ", previous '" + c.previous + "', page '" +
               c.page + "'");
  EXPECT_EQ(result.fired, c.fired);
  EXPECT_EQ(result.message, c.message);
  EXPECT_EQ(rule.previousValue, c.previousAfter);
  EXPECT_FALSE(result.unknownFamily);
}

TEST(EvaluateRule, PageState) {
  const Case cases[] = {
      // A fresh rule's stored "0" always counts as a change of state.
      {12, "0", 200, "<html>", true, "网页访问正常", "页面ok"},
      {11, "0", 0, "", true, "网页返回空或状态异常", "页面err"},
      {12, "0", 0, "", false, "网页返回空或状态异常，不提醒", "页面err"},
      {12, "页面err", 200, "x", true, "网页访问正常", "页面ok"},
      {12, "页面ok", 200, "x", false, "网页访问正常，不提醒", "页面ok"},
      {11, "页面ok", 404, "not found", true, "网页返回空或状态异常", "页面err"},
      {11, "页面err", 500, "x", false, "网页返回空或状态异常，不提醒", "页面err"},
      {11, "页面err", 200, "x", false, "网页访问正常，不提醒", "页面ok"},
      // 399 with a page is reachable, 400 is not; a 200 with an empty page is not.
      {12, "页面err", 399, "x", true, "网页访问正常", "页面ok"},
      {11, "页面ok", 400, "x", true, "网页返回空或状态异常", "页面err"},
      {11, "页面ok", 200, "", true, "网页返回空或状态异常", "页面err"},
  };
  for (const Case& c : cases) ExpectCase(1, c);
}

TEST(EvaluateRule, ContentChange) {
  const Case cases[] = {
      {13, "0", 200, "page", true, "网页已变化", "page"},
      {13, "0", 200, "0", false, "网页无变化", "0"},
      {13, "page", 200, "page", false, "网页无变化", "page"},
      {13, "page", 200, "page2", true, "网页已变化", "page2"},
      {13, "page", 404, "gone", false, "网页访问为空或异常", "page"},
      {13, "page", 0, "", false, "网页访问为空或异常", "page"},
      // Without a cut the raw text, line breaks included, is compared.
      {13, "a\nb", 200, "a\r\nb", true, "网页已变化", "a\r\nb"},
  };
  for (const Case& c : cases) ExpectCase(1, c);
  ExpectCase(1, {10, "x", 200, "page", false, "", "x"});
}

TEST(EvaluateRule, ContentChangeWithCutFiresWhenMarkersVanishAndReturn) {
  RuleRecord rule = Rule(1, 13, "42");
  rule.isjiequ = 1;
  rule.before = "<b>";
  rule.after = "</b>";
  std::string page = "no markers";
  Evaluation result = EvaluateRule(rule, page, 200);
  EXPECT_TRUE(result.fired);
  EXPECT_EQ(rule.previousValue, "");
  page = "still none";
  EXPECT_FALSE(EvaluateRule(rule, page, 200).fired);
  page = "x<b>42\n</b>";
  result = EvaluateRule(rule, page, 200);
  EXPECT_TRUE(result.fired);
  EXPECT_EQ(rule.previousValue, "42{br}");
  EXPECT_EQ(page, "42{br}");
}

TEST(EvaluateRule, KeywordCount) {
  const std::string k = "关键词‘价格’本轮出现次数";
  const Case cases[] = {
      {21, "2", 200, "价格 价格 价格", true, k + "3/上轮：2", "3"},
      {23, "2", 200, "价格 价格 价格", true, k + "3/上轮：2", "3"},
      {22, "2", 200, "价格 价格 价格", false, k + "3/上轮：2", "3"},
      {22, "3", 200, "价格", true, k + "1/上轮：3", "1"},
      {21, "3", 200, "价格", false, k + "1/上轮：3", "1"},
      {23, "1", 200, "价格", false, k + "1/上轮：1 无变化", "1"},
      // A fresh rule: a count of 0 is no change, any other count fires 21 and 23.
      {21, "0", 200, "", false, k + "0/上轮：0 无变化", "0"},
      {21, "0", 0, "价格", true, k + "1/上轮：0", "1"},
      // "" and "0" differ as texts but are equal as numbers: 22 fires, 21 does not.
      {22, "", 200, "none", true, k + "0/上轮：", "0"},
      {21, "", 200, "none", false, k + "0/上轮：", "0"},
  };
  RuleRecord base;
  base.keyword = "价格";
  for (const Case& c : cases) ExpectCase(2, c, base);
}

TEST(EvaluateRule, KeywordCountIgnoresAsciiCaseAndUsesTheCut) {
  RuleRecord rule = Rule(2, 23, "0");
  rule.keyword = "ab";
  rule.isjiequ = 1;
  rule.before = "[";
  rule.after = "]";
  std::string page = "AB [ABab\tAb\r\n] ab";
  const Evaluation result = EvaluateRule(rule, page, 200);
  EXPECT_TRUE(result.fired);
  EXPECT_EQ(rule.previousValue, "3");
  EXPECT_EQ(page, "ABabAb{br}");
}

TEST(EvaluateRule, Number) {
  const Case cases[] = {
      {31, "0", 200, "0", false, "数值无变化，值＝0", "0"},
      {31, "0", 200, "12", true, "本轮/上轮值：12 / 0", "12"},
      {31, "12", 200, "12.9", false, "数值无变化，值＝12", "12"},
      {31, "12", 200, "11", true, "本轮/上轮值：11 / 12", "11"},
      {31, "12", 200, "5", false, "本轮/上轮值：5 / 12", "5"},
      {32, "12", 200, "5", true, "本轮/上轮值：5 / 12", "5"},
      {32, "5", 200, "25", false, "本轮/上轮值：25 / 5", "25"},
      {33, "0", 200, "10", false, "本轮/上轮值：10 / 0", "10"},
      {33, "10", 200, "11", true, "本轮/上轮值：11 / 10", "11"},
      {33, "11", 200, "19", true, "本轮/上轮值：19 / 11", "19"},
      {33, "19", 200, "20", false, "本轮/上轮值：20 / 19", "20"},
      // Cut toward zero; a failed fetch reads 0; full-width digits count.
      {32, "0", 200, "-2.5", true, "本轮/上轮值：-2 / 0", "-2"},
      {31, "7", 0, "", false, "本轮/上轮值：0 / 7", "0"},
      {31, "0", 200, "１２", true, "本轮/上轮值：12 / 0", "12"},
      // The watched text begins with a line break: "{br}" comes first, so the number is 0.
      {31, "7", 200, "\n42", false, "本轮/上轮值：0 / 7", "0"},
  };
  RuleRecord base;
  base.x = 10;
  base.y = 20;
  for (const Case& c : cases) ExpectCase(3, c, base);
}

TEST(EvaluateRule, NumberBoundsAreSinglePrecisionAndTheNumberIsCut) {
  RuleRecord rule = Rule(3, 31, "0");
  rule.x = 3.5f;
  std::string page = "3.9";  // cut to 3, and 3 - 3.5 is negative
  EXPECT_FALSE(EvaluateRule(rule, page, 200).fired);
  EXPECT_EQ(rule.previousValue, "3");
}

TEST(EvaluateRule, NumbersBeyondSinglePrecisionAndTheIntegerRange) {
  EXPECT_EQ(WatchedNumber("16777217"), 16777216);  // 2^24 + 1 is not a float
  EXPECT_EQ(WatchedNumber("2147483520"), 2147483520);
  EXPECT_EQ(WatchedNumber("2147483647"), INT_MAX);  // rounds to 2^31 as a float
  EXPECT_EQ(WatchedNumber("1e20"), INT_MAX);
  EXPECT_EQ(WatchedNumber("1e999"), INT_MAX);
  EXPECT_EQ(WatchedNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(WatchedNumber("-1e20"), INT_MIN);
  EXPECT_EQ(WatchedNumber("abc"), 0);

  RuleRecord rule = Rule(3, 31, "0");
  std::string page = "99999999999";
  EXPECT_TRUE(EvaluateRule(rule, page, 200).fired);
  EXPECT_EQ(rule.previousValue, "2147483647");
}

TEST(EvaluateRule, UnknownFamilySignalsAndChangesNothing) {
  RuleRecord rule = Rule(4, 41, "kept");
  std::string page = "page";
  const Evaluation result = EvaluateRule(rule, page, 200);
  EXPECT_TRUE(result.unknownFamily);
  EXPECT_FALSE(result.fired);
  EXPECT_EQ(rule.previousValue, "kept");
}

}  // namespace
}  // namespace derov
