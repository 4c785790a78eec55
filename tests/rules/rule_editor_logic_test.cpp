#include "rules/rule_editor_logic.h"

#include <gtest/gtest.h>

#include "rules/rule_list.h"
#include "support/fake_rule_list_view.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"

namespace derov {
namespace {

EditorValues Values(ConditionPage page, int row) {
  EditorValues values;
  values.url = "http://a.test/{日期}";
  values.plv = "60";
  values.name = "方案";
  values.isjiequ = "0";
  values.page = page;
  values.conditionRow = row;
  values.isrep = "1";
  values.ispost = "0";
  values.isgbk = "1";
  return values;
}

TEST(RuleEditorLogic, SaveruleCarriesTheCodeAndTheOperands) {
  EditorValues values = Values(ConditionPage::kPageState, 1);
  EXPECT_EQ(BuildSaverule(values), "12");
  values.page = ConditionPage::kKeyword;
  values.conditionRow = 0;
  values.keyword = "关键词";
  EXPECT_EQ(BuildSaverule(values), "21{[关键词]}");
  values.page = ConditionPage::kNumber;
  values.conditionRow = 2;
  values.x = "10";
  values.y = "20";
  EXPECT_EQ(BuildSaverule(values), "33{10}[20]");
  values.conditionRow = -1;
  EXPECT_EQ(BuildSaverule(values), "30{10}[20]");
  EXPECT_EQ(RuleType(ConditionPage::kNumber), "3");
}

TEST(RuleEditorLogic, ValidationRefusesAnIncompleteConditionOnly) {
  struct Case {
    ConditionPage page;
    int row;
    std::string keyword, x;
    std::optional<std::string> refusal;
  } const cases[] = {
      {ConditionPage::kPageState, -1, "", "", "请选择1行网页变动的提醒条件"},
      {ConditionPage::kPageState, 0, "", "", std::nullopt},
      {ConditionPage::kKeyword, -1, "k", "", "关键词或关键词判断条件不能空"},
      {ConditionPage::kKeyword, 2, "", "", "关键词或关键词判断条件不能空"},
      {ConditionPage::kKeyword, 2, "k", "", std::nullopt},
      {ConditionPage::kNumber, 0, "", "", "xy值或关键词判断条件不能空"},
      {ConditionPage::kNumber, -1, "", "5", "xy值或关键词判断条件不能空"},
      {ConditionPage::kNumber, 0, "", "5", std::nullopt},  // y is not looked at
  };
  for (const Case& c : cases) {
    EditorValues values = Values(c.page, c.row);
    values.keyword = c.keyword;
    values.x = c.x;
    EXPECT_EQ(ValidateCondition(values), c.refusal);
  }
}

TEST(RuleEditorLogic, PeriodBoxKeepsItsLeadingWholeNumber) {
  const std::pair<std::string, std::string> cases[] = {
      {"60", "60"},   {"0", ""},         {"", ""},          {"-", ""},
      {"-5", "-5"},   {"12-3", "12"},    {"007", "7"},      {"99999999999", "2147483647"},
      {"-99999999999", "-2147483648"},
  };
  for (const auto& [typed, shown] : cases) EXPECT_EQ(NormalisePeriodText(typed), shown) << typed;
}

TEST(RuleEditorLogic, SourceTestOutputShowsStatusWarningAndWholePage) {
  EXPECT_EQ(SourceTestOutput(200, false, "<html>"), "网页状态码：200\r\n<html>");
  EXPECT_EQ(SourceTestOutput(0, false, ""), "网页状态码：0\r\n");
  EXPECT_EQ(SourceTestOutput(200, true, "<p>"),
            "网页状态码：200\r\n\r\n截取的区域源码为空！请检查区域标记\r\n\r\n<p>");
}

TEST(RuleEditorLogic, InsertStoresEveryValueExactlyAsTyped) {
  test::TempFolder folder;
  const std::string path = folder.File("derov.sdb");
  ASSERT_TRUE(test::CreateRuleDatabase(path));
  RuleStore store;
  ASSERT_TRUE(store.database.Open(path));

  EditorValues values = Values(ConditionPage::kKeyword, 2);
  values.name = "老王's #1";
  values.url = "http://a.test/q?d={日期}&n='x'";
  values.head = "User-Agent: x\r\nCookie: a=1";
  values.isjiequ = "1";
  values.before = "value=#引号";
  values.after = "#引号";
  values.keyword = "价'格";
  values.isrep = "0";
  values.isgbk = "0";
  const auto insert = BuildInsertStatement(values, "19/11/27  02:40");
  ASSERT_TRUE(insert.has_value());
  ASSERT_TRUE(store.database.ExecuteSql(*insert));

  const QueryRows rows = store.database.Query(
      "select name,url,isgbk,head,ispost,postdata,plv,isjiequ,before,after,type,saverule,"
      "isrep,ctime,isend,isopen,val_old,ltime from rule");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{
                         "老王's #1", "http://a.test/q?d={日期}&n='x'", "0",
                         "User-Agent: x\r\nCookie: a=1", "0", "", "60", "1", "value=#引号",
                         "#引号", "2", "23{[价'格]}", "0", "19/11/27  02:40", "0", "1", "0", ""}));

  test::FakeRuleListView view;
  LoadRuleList(store, view);
  EXPECT_TRUE(view.Tick(0));
  EXPECT_EQ(store.table.Read(1).keyword, "价'格");
}

TEST(RuleEditorLogic, APeriodThatIsNoWholeNumberFailsTheSave) {
  for (const char* plv : {"", "-", "1;drop table rule", "1 ", "0x10"}) {
    EditorValues values = Values(ConditionPage::kPageState, 0);
    values.plv = plv;
    EXPECT_FALSE(BuildInsertStatement(values, "t").has_value()) << plv;
  }
}

}  // namespace
}  // namespace derov
