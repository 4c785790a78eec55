#include "rules/rule_database.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/rule_database_file.h"
#include "support/temp_folder.h"

namespace derov {
namespace {

using test::CreateRuleDatabase;
using test::TempFolder;

TEST(RuleDatabase, OpensOnlyAnExistingFile) {
  TempFolder folder;
  const std::string missing = folder.File("derov.sdb");
  RuleDatabase database;
  EXPECT_FALSE(database.Open(missing));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_FALSE(std::filesystem::exists(missing)) << "opening must never create the file";
  EXPECT_FALSE(database.ExecuteSql("create table t(a)"));
  EXPECT_TRUE(database.Query("select 1").empty());
}

TEST(RuleDatabase, ReadsEveryColumnAsUnconvertedText) {
  TempFolder folder;
  const std::string path = folder.File("derov.sdb");
  ASSERT_TRUE(CreateRuleDatabase(path));
  RuleDatabase database;
  ASSERT_TRUE(database.Open(path));

  // GBK bytes that are not valid UTF-8 go in and come back as they are.
  const std::string gbk = "价格\xA1\xA1监控";
  ASSERT_TRUE(database.ExecuteSql("insert into rule(id,name,plv,ltime) values(3," +
                                  QuoteSqlText(gbk) + ",60,NULL)"));
  const QueryRows rows = database.Query("select id,name,plv,ltime,x'00' from rule");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "3");
  EXPECT_EQ(rows[0][1], gbk);
  EXPECT_EQ(rows[0][2], "60");
  EXPECT_EQ(rows[0][3], "") << "NULL reads as the empty text";
  EXPECT_EQ(rows[0][4], std::string(1, '\0'));
}

TEST(RuleDatabase, ExecuteSqlRunsExactlyOneStatement) {
  TempFolder folder;
  const std::string path = folder.File("derov.sdb");
  ASSERT_TRUE(CreateRuleDatabase(path));
  ASSERT_TRUE(test::StoreRule(path, {.id = "5"}));
  RuleDatabase database;
  ASSERT_TRUE(database.Open(path));

  const struct {
    std::string statement;
    bool succeeds;
  } cases[] = {
      {"", false},
      {"   ", false},
      {"-- nothing but a comment", false},
      {"update rule set nosuchcolumn=1", false},
      {"DELETE FROM rule WHERE id = 5; DROP TABLE rule", false},
      {"update rule set isend=1 where id=99", true},  // no such row is still success
      {"select * from rule", true},                   // rows a statement returns are ignored
      {FinishRuleStatement(5) + ";", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(database.ExecuteSql(c.statement), c.succeeds) << c.statement;

  const QueryRows rows = database.Query("select isend from rule where id=5");
  ASSERT_EQ(rows.size(), 1u) << "the statement behind the first must not have run";
  EXPECT_EQ(rows[0][0], "1");
  EXPECT_FALSE(database.IsBusy());
}

TEST(RuleDatabase, FailedQueryGivesNoRowsAndLetsGo) {
  TempFolder folder;
  const std::string notDatabase = folder.File("text.sdb");
  std::ofstream(notDatabase) << std::string(4096, 'x');
  const std::string noTable = folder.File("other.sdb");
  ASSERT_TRUE(CreateRuleDatabase(noTable));
  ASSERT_TRUE(test::RunSql(noTable, "drop table rule; create table other(a)"));

  for (const std::string& path : {notDatabase, noTable}) {
    RuleDatabase database;
    // Opening succeeds: the engine looks at the file only when it is first used.
    ASSERT_TRUE(database.Open(path)) << path;
    EXPECT_TRUE(database.Query(kRuleQuery).empty()) << path;
    ASSERT_FALSE(database.IsBusy()) << "the failed query left the database held";
    EXPECT_FALSE(database.ExecuteSql("insert into rule(name) values('a')")) << path;
    EXPECT_FALSE(database.IsBusy());
  }
}

TEST(RuleDatabase, WaitsForTheHolderStepByStep) {
  TempFolder folder;
  const std::string path = folder.File("derov.sdb");
  ASSERT_TRUE(CreateRuleDatabase(path));
  RuleDatabase database;
  ASSERT_TRUE(database.Open(path));

  std::atomic<bool> held{false};
  std::atomic<bool> letGo{false};
  std::thread holder([&] {
    RuleDatabase::Hold hold = database.Take();
    held = true;
    while (!letGo) std::this_thread::yield();
  });
  while (!held) std::this_thread::yield();

  int steps = 0;
  database.SetWaitStep([&] {
    // Still held while we wait; the third step lets the holder go.
    EXPECT_TRUE(database.IsBusy());
    if (++steps == 3) letGo = true;
    std::this_thread::yield();
  });
  EXPECT_TRUE(database.ExecuteSql("insert into rule(name) values('a')"));
  holder.join();
  EXPECT_GE(steps, 3);
  EXPECT_EQ(database.Query("select count(*) from rule")[0][0], "1");
  EXPECT_FALSE(database.IsBusy());
}

TEST(RuleDatabase, ThreadsTakeTurns) {
  TempFolder folder;
  const std::string path = folder.File("derov.sdb");
  ASSERT_TRUE(CreateRuleDatabase(path));
  RuleDatabase database;
  ASSERT_TRUE(database.Open(path));
  database.SetWaitStep([] { std::this_thread::yield(); });

  constexpr int kThreads = 3;
  constexpr int kEach = 20;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        if (!database.ExecuteSql("insert into rule(name) values('n')")) ++failures;
        if (database.Query("select count(*) from rule").size() != 1) ++failures;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(database.Query("select count(*) from rule")[0][0], std::to_string(kThreads * kEach));
}

TEST(RuleDatabase, StatementTexts) {
  EXPECT_EQ(FinishRuleStatement(7), "update rule set isend=1 where id=7");
  EXPECT_EQ(DeleteRuleStatement("12"), "DELETE FROM rule WHERE id = 12");
  EXPECT_EQ(DeleteRuleStatement("-3"), "DELETE FROM rule WHERE id = -3");
  // Only a plain number is written bare; anything else stays a text.
  EXPECT_EQ(DeleteRuleStatement("1 OR 1=1"), "DELETE FROM rule WHERE id = '1 OR 1=1'");
  EXPECT_EQ(QuoteSqlText("it's #引号#"), "'it''s #引号#'");
}

}  // namespace
}  // namespace derov
