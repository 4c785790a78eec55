#include "rules/rule_list.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "support/fake_message_box.h"
#include "support/fake_rule_list_view.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"

namespace derov {
namespace {

using test::StoredRule;
using Strings = std::vector<std::string>;

class RuleListTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(test::CreateRuleDatabase(path_)); }

  void Store(const StoredRule& rule) { ASSERT_TRUE(test::StoreRule(path_, rule)); }
  void Load() {
    if (!store_.database.IsOpen()) {
      ASSERT_TRUE(store_.database.Open(path_));
    }
    LoadRuleList(store_, view_);
  }
  RuleRecord Slot(int number) const { return store_.table.Read(number); }

  test::TempFolder folder_;
  std::string path_ = folder_.File("derov.sdb");
  RuleStore store_;
  test::FakeRuleListView view_;
  test::FakeMessageBox boxes_;
};

TEST_F(RuleListTest, RulesFillTheirOwnSlotsAndListNewestFirst) {
  for (const char* id : {"1", "5", "7"}) Store({.id = id, .name = std::string("规则") + id});
  Load();

  EXPECT_EQ(view_.Column(kIdColumn), (Strings{"7", "5", "1"}));
  EXPECT_EQ(view_.Column(kNameColumn), (Strings{"规则7", "规则5", "规则1"}));
  EXPECT_EQ(Slot(7).name, "规则7");
  EXPECT_EQ(Slot(7).listRow, 0);
  EXPECT_EQ(Slot(5).listRow, 1);
  EXPECT_EQ(Slot(1).listRow, 2);
  EXPECT_EQ(Slot(2).name, "") << "a slot without a stored rule stays as it was";
  EXPECT_EQ(Slot(2).listRow, -1);
}

TEST_F(RuleListTest, RowShowsTheStoredTextsTickAndStatus) {
  Store({.id = "9", .name = "价格", .url = "http://example.test/{日期}?q=1", .plv = "060",
         .type = "2", .saverule = "23{[价格]}", .val_old = "页面ok", .isrep = "0",
         .ltime = std::nullopt});
  Load();
  ASSERT_EQ(view_.RowCount(), 1);
  EXPECT_EQ(view_.rows[0].cells,
            (std::array<std::string, kRuleColumnCount>{
                "9", "价格", "http://example.test/{日期}?q=1", "23{[价格]}",
                "60",  // the column's integer type stored it as 60
                "页面ok", "0", "", "0", "待监控"}));
  EXPECT_TRUE(view_.rows[0].ticked);
}

TEST_F(RuleListTest, TickAndStatusFollowOpenAndEnd) {
  const struct {
    const char* isopen;
    const char* isend;
    bool ticked;
    const char* status;
  } cases[] = {
      {"1", "0", true, "待监控"},  {"1", "1", false, "执行完毕"},
      {"0", "0", false, "未开启"}, {"0", "1", false, "未开启"},
      {"true", "0", false, "未开启"},  // only the text "1" is true
      {"1", "yes", true, "待监控"},
  };
  int id = 1;
  for (const auto& c : cases) Store({.id = std::to_string(id++), .isend = c.isend, .isopen = c.isopen});
  Load();
  ASSERT_EQ(view_.RowCount(), static_cast<int>(std::size(cases)));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int row = view_.RowCount() - 1 - static_cast<int>(i);  // newest first
    EXPECT_EQ(view_.Tick(row), cases[i].ticked) << cases[i].isopen << "/" << cases[i].isend;
    EXPECT_EQ(view_.CellText(row, kStatusColumn), cases[i].status)
        << cases[i].isopen << "/" << cases[i].isend;
  }
}

TEST_F(RuleListTest, RecordFieldsComeFromTheStoredRule) {
  Store({.id = "1", .isgbk = "0", .head = "Cookie: a=1", .ispost = "1", .postdata = "k=v",
         .plv = "30", .isjiequ = "1", .before = "<b>", .after = "</b>", .type = "1",
         .saverule = "13", .val_old = "旧", .isrep = "1", .ltime = "1574836800"});
  Store({.id = "2", .type = "3", .saverule = "31{5}"});
  Store({.id = "3", .type = "2", .saverule = "22{[]}"});
  Store({.id = "4", .type = "2", .saverule = "21{[a]}b]}"});
  Store({.id = "5", .type = "3", .saverule = "33{１００}[200.5]"});
  Store({.id = "6", .type = "3", .saverule = "32"});
  Load();

  const RuleRecord first = Slot(1);
  EXPECT_EQ(first.isgbk, 0);
  EXPECT_EQ(first.head, "Cookie: a=1");
  EXPECT_EQ(first.ispost, 1);
  EXPECT_EQ(first.postdata, "k=v");
  EXPECT_EQ(first.plv, 30);
  EXPECT_EQ(first.isjiequ, 1);
  EXPECT_EQ(first.before, "<b>");
  EXPECT_EQ(first.after, "</b>");
  EXPECT_EQ(first.previousValue, "旧");
  EXPECT_EQ(first.conditionCode, 13);
  EXPECT_EQ(first.ltime, 1574836800);
  EXPECT_EQ(view_.CellText(first.listRow, kUpdateTimeColumn), "1574836800");

  EXPECT_EQ(Slot(2).conditionCode, 31);
  EXPECT_FLOAT_EQ(Slot(2).x, 5);
  EXPECT_FLOAT_EQ(Slot(2).y, 0) << "no bracketed y reads as 0";
  EXPECT_EQ(Slot(3).keyword, "");
  EXPECT_EQ(Slot(4).keyword, "a") << "the first ]} behind {[ ends the keyword";
  EXPECT_FLOAT_EQ(Slot(5).x, 100) << "full-width digits read as numbers";
  EXPECT_FLOAT_EQ(Slot(5).y, 200.5f);
  EXPECT_FLOAT_EQ(Slot(6).x, 0);
  EXPECT_FLOAT_EQ(Slot(6).y, 0);
}

TEST_F(RuleListTest, ReloadKeepsOperandsOfAnotherFamily) {
  Store({.id = "4", .type = "3", .saverule = "33{1.5}[2.5]"});
  Store({.id = "8", .type = "2", .saverule = "21{[词]}"});
  Load();
  ASSERT_TRUE(test::RunSql(path_, "update rule set type=1, saverule='13'"));
  Load();
  EXPECT_EQ(Slot(4).conditionCode, 13);
  EXPECT_FLOAT_EQ(Slot(4).x, 1.5f);
  EXPECT_FLOAT_EQ(Slot(4).y, 2.5f);
  EXPECT_EQ(Slot(8).keyword, "词");
}

TEST_F(RuleListTest, InsertedTextsRoundTrip) {
  ASSERT_TRUE(store_.database.Open(path_));
  const std::string name = "老王's 价格";
  const std::string before = "<td class=#引号price#引号>#";
  const std::string insert =
      "insert into rule(name,url,isgbk ,head,ispost , postdata,plv, isjiequ , before , "
      "after, type , saverule , isrep , ctime  , isend , isopen,val_old) values(" +
      QuoteSqlText(name) + "," + QuoteSqlText("http://a.test/") + ",1," + QuoteSqlText("") +
      ",0," + QuoteSqlText("") + ",60,1," + QuoteSqlText(before) + "," + QuoteSqlText("'") +
      ",2," + QuoteSqlText("21{[价格]}") + ",1," + QuoteSqlText("19/11/27  02:40") + ",0,1,0)";
  ASSERT_TRUE(store_.database.ExecuteSql(insert));
  Load();

  ASSERT_EQ(view_.RowCount(), 1);
  EXPECT_EQ(view_.CellText(0, kIdColumn), "1") << "the database assigns the id";
  const RuleRecord rule = Slot(1);
  EXPECT_EQ(rule.name, name);
  EXPECT_EQ(rule.before, before);
  EXPECT_EQ(rule.after, "'");
  EXPECT_EQ(rule.keyword, "价格");
  EXPECT_EQ(rule.previousValue, "0");
  EXPECT_TRUE(view_.Tick(0));
}

TEST_F(RuleListTest, UnreadableRulesLeaveTheListEmptyAndSlotsAlone) {
  Store({.id = "3", .name = "原来的"});
  Load();
  ASSERT_EQ(Slot(3).name, "原来的");

  // The same store pointed at a file that is not a database, then at one without the table.
  const std::string text = folder_.File("text.sdb");
  std::ofstream(text) << std::string(4096, 'x');
  const std::string other = folder_.File("other.sdb");
  ASSERT_TRUE(test::CreateRuleDatabase(other));
  ASSERT_TRUE(test::RunSql(other, "drop table rule"));
  for (const std::string& path : {text, other}) {
    ASSERT_TRUE(store_.database.Open(path));
    LoadRuleList(store_, view_);
    EXPECT_EQ(view_.RowCount(), 0) << path;
    EXPECT_FALSE(store_.database.IsBusy()) << path;
  }
  store_.database.Close();
  LoadRuleList(store_, view_);
  EXPECT_EQ(view_.RowCount(), 0);
  EXPECT_EQ(Slot(3).name, "原来的");
}

TEST_F(RuleListTest, IdsWithoutASlotAreListedButNeverMonitored) {
  for (const char* id : {"-3", "0", "5", "99", "100"})
    Store({.id = id, .name = std::string("规则") + id});
  Load();

  EXPECT_EQ(view_.Column(kIdColumn), (Strings{"100", "99", "5", "0", "-3"}));
  const std::vector<bool> hasSlot = {false, true, true, false, false};
  for (int row = 0; row < view_.RowCount(); ++row) {
    EXPECT_EQ(RowHasSlot(view_, row), hasSlot[row]) << row;
    EXPECT_EQ(view_.Tick(row), hasSlot[row]) << row;
    EXPECT_EQ(view_.CellText(row, kStatusColumn) == kStatusNoSlot, !hasSlot[row]) << row;
  }
  EXPECT_EQ(RuleNumberOfRow(view_, 0), 100);
  EXPECT_EQ(Slot(99).name, "规则99");
  EXPECT_EQ(Slot(99).listRow, 1);
  EXPECT_EQ(view_.CellText(0, kNameColumn), "规则100");
}

TEST_F(RuleListTest, ReloadGivesBackLoadTimeTextsAndTicks) {
  Store({.id = "2"});
  Load();
  view_.SetCellText(0, kStatusColumn, "2-0监控中");
  view_.SetCellText(0, kReminderCountColumn, "3");
  view_.SetTick(0, false);
  int reloads = 0;
  store_.hooks.afterReload = [&] {
    ++reloads;
    EXPECT_FALSE(store_.database.IsBusy());
  };
  Load();
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(view_.CellText(0, kStatusColumn), "待监控");
  EXPECT_EQ(view_.CellText(0, kReminderCountColumn), "");
  EXPECT_TRUE(view_.Tick(0));
}

TEST_F(RuleListTest, ALoadThatWaitedListsEachRuleOnce) {
  Store({.id = "1"});
  Store({.id = "2"});
  ASSERT_TRUE(store_.database.Open(path_));
  std::atomic<bool> held{false};
  std::atomic<bool> letGo{false};
  std::thread holder([&] {
    RuleDatabase::Hold hold = store_.database.Take();
    held = true;
    while (!letGo) std::this_thread::yield();
  });
  while (!held) std::this_thread::yield();

  // While the first load waits for the database, a dispatched message runs a second load
  // to its end (on the window's thread this is a click handled inside the pumped wait).
  bool nested = false;
  store_.database.SetWaitStep([&] {
    if (nested) return;
    nested = true;
    letGo = true;
    holder.join();
    LoadRuleList(store_, view_);
  });
  LoadRuleList(store_, view_);
  EXPECT_TRUE(nested);
  EXPECT_EQ(view_.Column(kIdColumn), (Strings{"2", "1"}));
  EXPECT_EQ(Slot(2).listRow, 0);
}

TEST_F(RuleListTest, DeletingAsksFirst) {
  Store({.id = "2", .name = "甲"});
  Store({.id = "6", .name = "乙"});
  Load();
  std::vector<int> deleting;
  store_.hooks.beforeDeletion = [&](int number) {
    deleting.push_back(number);
    EXPECT_EQ(store_.database.Query("select 1 from rule where id=" + std::to_string(number)).size(),
              1u) << "told before the rule goes";
  };

  // Nothing selected: the user is told, nothing changes.
  DeleteSelectedRule(store_, view_, boxes_);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, "请在左边列表框，选择一行要删除的方案");
  EXPECT_EQ(boxes_.shown[0].title, "信息：");
  EXPECT_EQ(boxes_.shown[0].style, BoxStyle::kOk);

  // Cancelled: nothing changes.
  view_.selected = 1;
  boxes_.answers = {false};
  DeleteSelectedRule(store_, view_, boxes_);
  ASSERT_EQ(boxes_.shown.size(), 2u);
  EXPECT_EQ(boxes_.shown[1].text, "是否删除规则： 甲");
  EXPECT_EQ(boxes_.shown[1].title, "确认删除？");
  EXPECT_EQ(boxes_.shown[1].style, BoxStyle::kOkCancel);
  EXPECT_EQ(view_.RowCount(), 2);
  EXPECT_TRUE(deleting.empty());

  // Confirmed: the rule leaves the file and the list; its slot keeps its contents.
  boxes_.answers = {true};
  DeleteSelectedRule(store_, view_, boxes_);
  EXPECT_EQ(deleting, (std::vector<int>{2}));
  EXPECT_EQ(view_.Column(kIdColumn), (Strings{"6"}));
  EXPECT_EQ(view_.SelectedRow(), -1);
  EXPECT_EQ(store_.database.Query("select id from rule").size(), 1u);
  EXPECT_EQ(Slot(2).name, "甲");

  view_.selected = 0;
  DeleteSelectedRule(store_, view_, boxes_);
  EXPECT_EQ(view_.RowCount(), 0) << "deleting the only rule empties the list";
  EXPECT_EQ(deleting, (std::vector<int>{2, 6}));
}

TEST_F(RuleListTest, FailedDeletionStillReloads) {
  Store({.id = "4", .name = "甲"});
  Load();
  view_.SetCellText(0, kStatusColumn, "4无变化");
  view_.selected = 0;
  ASSERT_TRUE(test::RunSql(path_, "create trigger keep before delete on rule "
                                  "begin select raise(abort, 'kept'); end"));
  DeleteSelectedRule(store_, view_, boxes_);
  EXPECT_EQ(boxes_.shown.size(), 1u) << "a failed deletion shows nothing more";
  EXPECT_EQ(view_.Column(kIdColumn), (Strings{"4"}));
  EXPECT_EQ(view_.CellText(0, kStatusColumn), "待监控") << "the list was reloaded";
}

}  // namespace
}  // namespace derov
