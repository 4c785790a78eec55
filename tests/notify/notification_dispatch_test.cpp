#include "notify/notification_dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "support/engine_fixture.h"
#include "text/text.h"

namespace derov::test {
namespace {

struct Dispatch : MonitorFixture {
  void SetUp() override {
    RuleRecord rule;
    rule.name = "A&B=站";
    AddRule(1, rule);
    requests.SetScript([](const SentRequest&) { return WebReply{200, std::string("ok\0tail", 7), ""}; });
  }
  void Switches(bool popup, bool weChat, std::string key = "KEY") {
    settings.Set({.popupEnabled = popup, .weChatEnabled = weChat, .pushKey = std::move(key)});
  }
  bool TipVisible() {
    bool visible = false;
    ui.Run([&] { visible = tipView.visible; });
    return visible;
  }
  // Dispatches on a worker thread; when the tip shows, steps it to its end like its timer.
  void Notify(const std::string& message) {
    auto life = std::make_shared<StopSignal>();
    std::atomic<bool> done{false};
    std::thread worker([&] {
      NotifyRuleChange(notify, 1, message, life);
      done = true;
    });
    while (!done) {
      if (TipVisible()) ui.Run([&] { tip.Step(); });
      std::this_thread::yield();
    }
    worker.join();
  }
};

TEST_F(Dispatch, SwitchesDecideWhatHappensInOrder) {
  struct Case {
    bool popup, weChat;
    std::string key;
    std::string log;
    size_t pushes;
    bool tip;
  } const cases[] = {
      {false, false, "KEY", "[A&B=站]网页已变化\r\n", 0, false},
      {true, false, "KEY", "[A&B=站]网页已变化\r\n", 0, true},
      {false, true, "KEY", "已发出微信通知：ok\r\n[A&B=站]网页已变化\r\n", 1, false},
      {true, true, "KEY", "已发出微信通知：ok\r\n[A&B=站]网页已变化\r\n", 1, true},
      {true, true, "", "[A&B=站]网页已变化\r\n", 0, true},  // switched on, but no key
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.log);
    ui.Run([&] {
      log.text = "older\r\n";
      tipView = RecordingTipView();
    });
    const size_t before = requests.Sent().size();
    Switches(c.popup, c.weChat, c.key);
    Notify("网页已变化");
    EXPECT_EQ(LogText(), c.log + "older\r\n");
    EXPECT_EQ(requests.Sent().size() - before, c.pushes);
    ui.Run([&] {
      EXPECT_EQ(!tipView.colours.empty(), c.tip);
      if (c.tip) {
        EXPECT_EQ(tipView.text, "网页已变化");  // the message alone
      }
      EXPECT_FALSE(tipView.visible);
    });
  }
}

TEST_F(Dispatch, PushNoticeIsAFormPostOfTheRawTextsWithCertificateChecksOn) {
  Switches(false, true, "KEY123");
  Notify("x=1&y");
  const auto sent = requests.Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].verb, "POST");
  EXPECT_EQ(sent[0].url, "http://push.test/KEY123.send");
  EXPECT_EQ(sent[0].body, "text=A&B=站　有新变动&desp=x=1&y");
  EXPECT_EQ(sent[0].timeoutMs, 15000);
  EXPECT_NE(std::find(sent[0].headers.begin(), sent[0].headers.end(),
                      std::pair<std::string, std::string>{"Content-Type",
                                                          "application/x-www-form-urlencoded"}),
            sent[0].headers.end());
  for (const auto& [index, value] : sent[0].options) EXPECT_NE(index, 4);
}

TEST_F(Dispatch, EmptyMessageAndTwoFiringsStackNewestFirst) {
  Switches(false, true);
  ui.Run([&] { log.text = "old"; });
  Notify("");
  Notify("second");
  EXPECT_EQ(requests.Sent()[0].body, "text=A&B=站　有新变动&desp=");
  EXPECT_EQ(LogText(),
            "已发出微信通知：ok\r\n[A&B=站]second\r\n已发出微信通知：ok\r\n[A&B=站]\r\nold");
}

TEST_F(Dispatch, ManyWorkersAtOnceLoseNoLineAndShareOneCountdown) {
  Switches(true, false);
  constexpr int kWorkers = 16;
  for (int n = 2; n <= kWorkers + 1; ++n) {
    RuleRecord rule;
    rule.name = "规则" + std::to_string(n);
    rules.Update(n, [&](RuleRecord& slot) { slot = rule; });
  }
  int shows = 0;
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int n = 2; n <= kWorkers + 1; ++n)
    workers.emplace_back([&, n] {
      NotifyRuleChange(notify, n, "变化" + std::to_string(n), std::make_shared<StopSignal>());
      ++finished;
    });
  // Everyone but the worker that started the countdown returns at once.
  while (finished < kWorkers - 1) std::this_thread::yield();
  ui.Run([&] { shows = static_cast<int>(tipView.colours.size()); });
  while (finished < kWorkers)
    ui.Run([&] {
      if (tip.Running()) tip.Step();
    });
  for (auto& worker : workers) worker.join();
  EXPECT_EQ(shows, 1);  // one countdown, its first colour
  const std::string text = LogText();
  for (int n = 2; n <= kWorkers + 1; ++n) {
    const std::string line = "[规则" + std::to_string(n) + "]变化" + std::to_string(n) + "\r\n";
    EXPECT_EQ(CountOccurrences(text, line, true), 1) << line;
  }
}

TEST_F(Dispatch, AStoppedWorkerNotifiesNothing) {
  Switches(true, true);
  auto life = std::make_shared<StopSignal>();
  life->RequestStop();
  NotifyRuleChange(notify, 1, "late", life);
  EXPECT_EQ(LogText(), "");
  EXPECT_TRUE(requests.Sent().empty());
  EXPECT_FALSE(TipVisible());
}

}  // namespace
}  // namespace derov::test
