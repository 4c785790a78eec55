#include "monitor/monitoring_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>

#include "support/engine_fixture.h"

namespace derov::test {
namespace {

class FakeButton : public MonitorButton {
 public:
  std::string Caption() const override { return caption; }
  void SetCaption(const std::string& text) override {
    caption = text;
    captions.push_back(text);
  }
  void SetEnabled(bool on) override { enabled = on; }
  std::string caption = "开始监控";
  std::vector<std::string> captions;
  bool enabled = true;
};

struct MonitoringControlTest : MonitorFixture {
  FakeButton button;
  MonitoringControl control{services, button};

  void Click() {
    ui.Run([&] { control.OnButtonClicked(); });
  }
  std::vector<std::string> Statuses() {
    std::vector<std::string> statuses;
    ui.Run([&] { statuses = list.Column(kStatusColumn); });
    return statuses;
  }
  void TearDown() override {
    ui.Run([&] { EXPECT_TRUE(control.StopAll(10000)); });
  }
};

TEST_F(MonitoringControlTest, WithNoTickedRowTheButtonOnlyTogglesItsCaption) {
  Click();
  EXPECT_EQ(button.captions, (std::vector<std::string>{"启动中..", "停止监控"}));
  EXPECT_TRUE(button.enabled);
  Click();
  EXPECT_EQ(button.caption, "开始监控");
  EXPECT_TRUE(requests.Sent().empty());
}

TEST_F(MonitoringControlTest, TickedRulesGetAWorkerEachAndStopMarksTheirRowsWaiting) {
  RuleRecord rule = KeywordRule("a", 23, 1);
  rule.plv = 3600;
  for (int number : {7, 5, 1}) AddRule(number, rule);
  ui.Run([&] { list.SetTick(1, false); });
  Gate gate;
  gate.Close();
  requests.SetScript([&](const SentRequest&) {
    gate.Pass();
    return WebReply{200, "a", ""};
  });
  std::vector<std::string> started;
  ui.Run([&] {
    control.OnButtonClicked();
    started = list.Column(kStatusColumn);  // before any worker writes
  });
  EXPECT_EQ(started, (std::vector<std::string>{"7-0监控中", "", "1-2监控中"}));
  gate.AwaitArrivals(2);
  ui.Run([&] {
    EXPECT_TRUE(control.HasLiveWorker(7));
    EXPECT_FALSE(control.HasLiveWorker(5));
    list.SetTick(0, false);  // unticked while running: its worker still stops
  });
  Click();
  EXPECT_EQ(button.captions.back(), "开始监控");
  const std::vector<std::string> stopped = Statuses();
  EXPECT_EQ(stopped[1], "");
  EXPECT_EQ(stopped[2], "待监控");
  gate.Open();
  ui.Run([&] { EXPECT_TRUE(control.StopAll(10000)); });
  // The fetches in flight came back after the stop and changed nothing.
  EXPECT_EQ(Statuses(), stopped);
  EXPECT_EQ(Row(2).cells[kReminderCountColumn], "");
  EXPECT_EQ(LogText(), "");
}

TEST_F(MonitoringControlTest, RowsWithoutASlotNeverGetAWorker) {
  ui.Run([&] {
    const int row = list.AppendRow();
    list.SetCellText(row, kIdColumn, "120");
    list.SetTick(row, true);  // the user ticked it
  });
  Click();
  ui.Run([&] { EXPECT_FALSE(control.HasLiveWorker(120)); });
  EXPECT_TRUE(requests.Sent().empty());
}

TEST_F(MonitoringControlTest, QuickStartsAndStopsNeverRunTwoWorkersOfOneRule) {
  RuleRecord rule = KeywordRule("a", 23, 1);
  for (int number : {1, 2, 3}) {
    rule.url = "http://rule.test/" + std::to_string(number);
    AddRule(number, rule);
  }
  std::mutex mutex;
  std::map<std::string, int> inFlight;
  int mostAtOnce = 0;
  requests.SetScript([&](const SentRequest& request) {
    const std::string name = request.url;
    {
      std::lock_guard lock(mutex);
      mostAtOnce = std::max(mostAtOnce, ++inFlight[name]);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    std::lock_guard lock(mutex);
    --inFlight[name];
    return WebReply{200, "a", ""};
  });
  for (int round = 0; round < 20; ++round) {
    Click();
    Click();
  }
  Click();
  while (requests.Sent().size() < 10) std::this_thread::yield();
  Click();
  ui.Run([&] { EXPECT_TRUE(control.StopAll(10000)); });
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"待监控", "待监控", "待监控"}));
  EXPECT_EQ(mostAtOnce, 1);  // per rule
}

}  // namespace
}  // namespace derov::test
