#include "monitor/monitor_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/engine_fixture.h"
#include "text/text.h"

namespace derov::test {
namespace {

using MonitorWorker = MonitorFixture;

// Replies with the pages in turn; later requests wait at the gate, then get the last page.
ScriptedWeb::Script Pages(std::vector<std::string> pages, Gate& gate) {
  auto served = std::make_shared<std::atomic<size_t>>(0);
  return [pages = std::move(pages), served, &gate](const SentRequest&) {
    const size_t n = (*served)++;
    if (n >= pages.size()) gate.Pass();
    return WebReply{200, pages[std::min(n, pages.size() - 1)], ""};
  };
}

TEST_F(MonitorWorker, RepeatingRuleCountsEveryFiringAndLogsEach) {
  AddRule(3, KeywordRule("价格", 23, 1));
  Gate gate;
  gate.Close();
  requests.SetScript(Pages({"价格", "价格 价格", "价格 价格 价格"}, gate));
  auto life = std::make_shared<StopSignal>();
  std::thread worker([&] { RunMonitorWorker(services, 3, life); });

  gate.AwaitArrivals(1);  // three cycles done, the fourth fetch in flight
  const auto row = Row(0);
  EXPECT_EQ(row.cells[kReminderCountColumn], "3");
  EXPECT_EQ(row.cells[kCurrentValueColumn], "3");
  EXPECT_EQ(row.cells[kStatusColumn], "3采集网页中");
  EXPECT_EQ(row.cells[kUpdateTimeColumn], "3/05  02:05:9");
  EXPECT_EQ(LogText(),
            "[价格监控]关键词‘价格’本轮出现次数3/上轮：2\r\n"
            "[价格监控]关键词‘价格’本轮出现次数2/上轮：1\r\n"
            "[价格监控]关键词‘价格’本轮出现次数1/上轮：0\r\n");
  EXPECT_EQ(rules.Read(3).previousValue, "3");

  StopFromWindow(*life, 0);
  gate.Open();
  worker.join();
  EXPECT_EQ(Row(0).cells[kStatusColumn], "待监控");  // the fetch that returned late changed nothing
  EXPECT_TRUE(Row(0).ticked);
}

TEST_F(MonitorWorker, OnceOnlyRuleFinishesInListAndDatabaseThenEnds) {
  RuleRecord rule;
  rule.name = "站点";
  rule.url = "http://site.test/";
  rule.isgbk = 1;
  rule.type = 1;
  rule.conditionCode = 12;
  rule.previousValue = "页面err";
  rule.plv = 3600;
  AddRule(5, rule);
  requests.SetScript([](const SentRequest&) { return WebReply{200, "up", ""}; });
  auto life = std::make_shared<StopSignal>();
  RunMonitorWorker(services, 5, life);  // returns by itself, without waiting the period

  const auto row = Row(0);
  EXPECT_EQ(row.cells[kStatusColumn], "执行完毕");
  EXPECT_EQ(row.cells[kReminderCountColumn], "1");
  EXPECT_EQ(row.cells[kCurrentValueColumn], "页面ok");
  EXPECT_FALSE(row.ticked);
  EXPECT_EQ(Statements(), std::vector<std::string>{"update rule set isend=1 where id=5"});
  EXPECT_EQ(LogText(), "[站点]网页访问正常\r\n");
  EXPECT_EQ(requests.Sent().size(), 1u);
}

TEST_F(MonitorWorker, UnknownFamilyEndsAfterOneFetch) {
  RuleRecord rule;
  rule.type = 4;
  rule.url = "http://x.test/";
  AddRule(9, rule);
  requests.SetScript([](const SentRequest&) { return WebReply{200, "page", ""}; });
  RunMonitorWorker(services, 9, std::make_shared<StopSignal>());
  EXPECT_EQ(Row(0).cells[kStatusColumn], "网址监控类型异常");
  EXPECT_EQ(requests.Sent().size(), 1u);
}

TEST_F(MonitorWorker, DateMarkFollowsTheDayWhileTheRefererKeepsTheFirstAddress) {
  RuleRecord rule = KeywordRule("x", 23, 1);
  rule.url = "http://news.test/{日期}/list?d={日期}";
  rule.head = "User-Agent: test";
  AddRule(2, rule);
  Gate gate;
  gate.Close();
  auto life = std::make_shared<StopSignal>();
  requests.SetScript([&](const SentRequest&) {
    if (requests.Sent().size() == 1) clock.Set({2026, 3, 6, 0, 0, 1, 5, 0});
    if (requests.Sent().size() == 3) gate.Pass();
    return WebReply{200, "page", ""};
  });
  std::thread worker([&] { RunMonitorWorker(services, 2, life); });
  gate.AwaitArrivals(1);
  const auto sent = requests.Sent();
  ASSERT_GE(sent.size(), 2u);
  EXPECT_EQ(sent[0].url, "http://news.test/20260305/list?d=20260305");
  EXPECT_EQ(sent[1].url, "http://news.test/20260306/list?d=20260306");
  std::vector<std::string> referers;
  for (const auto& [name, value] : sent[1].headers)
    if (name == "Referer") referers.push_back(value);
  EXPECT_EQ(referers, std::vector<std::string>{"http://news.test/20260305/list?d=20260305"});
  EXPECT_EQ(FindText(rules.Read(2).head, "User-Agent: test"), 1);  // completed in the slot
  StopFromWindow(*life, 0);
  gate.Open();
  worker.join();
}

TEST_F(MonitorWorker, NothingLandsAfterAStopDuringTheFetch) {
  AddRule(4, KeywordRule("a", 23, 0));
  Gate gate;
  gate.Close();
  requests.SetScript([&](const SentRequest&) {
    gate.Pass();
    return WebReply{200, "a a a", ""};  // would fire and finish the rule
  });
  auto life = std::make_shared<StopSignal>();
  std::thread worker([&] { RunMonitorWorker(services, 4, life); });
  gate.AwaitArrivals(1);
  StopFromWindow(*life, 0);
  gate.Open();
  worker.join();
  const auto row = Row(0);
  EXPECT_EQ(row.cells[kStatusColumn], "待监控");
  EXPECT_EQ(row.cells[kReminderCountColumn], "");
  EXPECT_EQ(row.cells[kCurrentValueColumn], "");
  EXPECT_TRUE(row.ticked);
  EXPECT_TRUE(Statements().empty());
  EXPECT_EQ(LogText(), "");
}

TEST_F(MonitorWorker, AStopEndsThePeriodWaitAndTheTipWait) {
  settings.Set({.popupEnabled = true, .weChatEnabled = false, .pushKey = ""});
  RuleRecord rule = KeywordRule("a", 23, 1);
  rule.plv = 3600;
  AddRule(6, rule);
  AddRule(7, rule);
  requests.SetScript([](const SentRequest&) { return WebReply{200, "a", ""}; });
  auto first = std::make_shared<StopSignal>(), second = std::make_shared<StopSignal>();
  // Rule 6 fires and waits for its tip (nobody steps the countdown); rule 7 fires, finds
  // the tip showing and goes on to its hour-long wait.
  std::thread one([&] { RunMonitorWorker(services, 6, first); });
  std::thread two([&] { RunMonitorWorker(services, 7, second); });
  while (LogText().find("\r\n[") == std::string::npos) std::this_thread::yield();
  StopFromWindow(*first, 0);
  StopFromWindow(*second, 1);
  one.join();
  two.join();
  EXPECT_EQ(requests.Sent().size(), 2u);
}

TEST_F(MonitorWorker, AReloadDuringTheFetchMovesTheWritesToTheRulesNewRow) {
  AddRule(8, KeywordRule("a", 23, 1));
  Gate gate;
  gate.Close();
  int calls = 0;
  requests.SetScript([&](const SentRequest&) {
    if (++calls == 1) gate.Pass();
    if (calls == 2) gate.Pass();
    return WebReply{200, "a", ""};
  });
  auto life = std::make_shared<StopSignal>();
  std::thread worker([&] { RunMonitorWorker(services, 8, life); });
  gate.AwaitArrivals(1);
  // A reload lists a new rule 9 on top: rule 8 moves to row 1.
  ui.Run([&] {
    list.DeleteAllRows();
    for (int number : {9, 8}) {
      const int row = list.AppendRow();
      list.SetCellText(row, kIdColumn, std::to_string(number));
      rules.Update(number, [&](RuleRecord& slot) {
        if (number == 9) slot = KeywordRule("b", 21, 1);
        slot.listRow = row;
      });
    }
  });
  gate.Release();
  gate.AwaitArrivals(2);
  EXPECT_EQ(Row(0).cells[kReminderCountColumn], "");
  EXPECT_EQ(Row(0).cells[kStatusColumn], "");
  EXPECT_EQ(Row(1).cells[kReminderCountColumn], "1");
  StopFromWindow(*life, 1);
  gate.Open();
  worker.join();
}

}  // namespace
}  // namespace derov::test
