// Monitoring and notifications in the real windows, in the test's own process, against the
// scripted local server: the list cells, the log box, the push requests on the wire, the
// database file and the stop.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/monitoring_wiring_win.h"
#include "app/startup_win.h"
#include "notify/settings_file_win.h"
#include "platform/wide_text_win.h"
#include "rules/rule_database.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

namespace derov {
namespace {

using test::ScriptedResponse;
using test::StoredRule;

// Runs this thread's messages until done() holds or the time is up; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

void PumpFor(DWORD ms) {
  PumpUntil([] { return false; }, ms);
}

ScriptedResponse GbkPage(const std::string& text) {
  ScriptedResponse response;
  response.headers = {{"Content-Type", "text/html; charset=gbk"}};
  response.body = text;
  return response;
}

// What the request object puts on the wire for a text: UTF-8.
std::string Utf8(const std::string& gbk) {
  const std::wstring wide = AnsiToWide(gbk);
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

class MonitoringInWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ready()) << server_.problem();
    ASSERT_TRUE(test::CreateRuleDatabase(path_));
  }

  void TearDown() override {
    if (!wiring_) return;
    EXPECT_TRUE(wiring_->StopWorkers(40000));
    if (window_.hwnd()) OnMainWindowClosing(state_, window_);
    PumpFor(50);
  }

  void Settings(const std::string& weChat, const std::string& popup = "0") {
    IniSettingsFile file(folder_.File("derov.ini"));
    file.Write("弹窗提醒", popup);
    file.Write("微信提醒", weChat);
    file.Write("推送地址", server_.Url("push/"));
  }

  // Starts the program's windows on the test's folder, as start-up does beside derov.exe.
  void Open() {
    WireMainWindow(state_, window_);
    wiring_ = std::make_unique<MonitoringWiring>(state_, window_, GetModuleHandleA(nullptr));
    window_.handlers.onCreated = [this] {
      state_.programFolder = folder_.path().string() + "\\";
      state_.rules.database.Open(path_);
      state_.startup.loadNotificationSettings();
      LoadRuleList(state_.rules, window_.List());
      state_.startup.loadTipWindow();
      return true;
    };
    window_.handlers.onDestroyed = nullptr;  // no WM_QUIT into the test's thread
    ASSERT_TRUE(window_.Create());
    window_.Show(SW_SHOWNOACTIVATE);
  }

  void ClickStartStop() { SendMessageA(window_.controls().按钮1, BM_CLICK, 0, 0); }

  std::string Cell(int row, int column) { return window_.List().CellText(row, column); }
  std::string Log() {
    HWND box = window_.controls().显示框;
    std::string text(static_cast<size_t>(GetWindowTextLengthA(box)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(box, text.data(), static_cast<int>(text.size()))));
    return text;
  }
  std::string Caption() {
    char text[64] = {};
    GetWindowTextA(window_.controls().按钮1, text, sizeof text);
    return text;
  }

  StoredRule Rule(const std::string& page, const std::string& saverule, const std::string& type) {
    StoredRule rule;
    rule.name = "价格监控";
    rule.url = server_.Url(page);
    rule.plv = "1";
    rule.type = type;
    rule.saverule = saverule;
    return rule;
  }

  test::TestServer server_;
  test::TempFolder folder_;
  std::string path_ = folder_.File("derov.sdb");
  AppState state_;
  MainWindow window_{GetModuleHandleA(nullptr)};
  std::unique_ptr<MonitoringWiring> wiring_;
};

const std::string kInitialLog = "\r\n开发计划：\r\n1、邮件提醒\r\n2、同时监控多个关键词\r\n3、微信提醒";

TEST_F(MonitoringInWindows, KeywordRuleFiresTwiceAndPushesEachFiring) {
  ASSERT_TRUE(server_.Script("page", {GbkPage("价格 价格"), GbkPage("<b>价格 价格 价格</b>")}));
  ScriptedResponse reply;
  reply.body = "{\"errno\":0}";
  ASSERT_TRUE(server_.Script("push/PUSHKEY.send", reply));
  Settings("1-PUSHKEY");
  ASSERT_TRUE(test::StoreRule(path_, Rule("page", "23{[价格]}", "2")));
  Open();

  const std::string first = "关键词‘价格’本轮出现次数2/上轮：0";
  const std::string second = "关键词‘价格’本轮出现次数3/上轮：2";
  ClickStartStop();
  EXPECT_EQ(Caption(), "停止监控");
  // The second firing's push reply is the last thing it writes.
  ASSERT_TRUE(PumpUntil([&] { return Log().rfind("已发出微信通知：{\"errno\":0}\r\n[价格监控]" + second, 0) == 0; }));
  ClickStartStop();
  EXPECT_EQ(Caption(), "开始监控");

  EXPECT_EQ(Cell(0, kReminderCountColumn), "2");
  EXPECT_EQ(Cell(0, kCurrentValueColumn), "3");
  EXPECT_EQ(Cell(0, kStatusColumn), "待监控");
  EXPECT_EQ(Log(), "已发出微信通知：{\"errno\":0}\r\n[价格监控]" + second +
                       "\r\n已发出微信通知：{\"errno\":0}\r\n[价格监控]" + first + "\r\n" +
                       kInitialLog);

  std::vector<test::RecordedRequest> pushes;
  for (const auto& request : server_.Requests())
    if (request.path == server_.Path("push/PUSHKEY.send")) pushes.push_back(request);
  ASSERT_EQ(pushes.size(), 2u);
  EXPECT_EQ(pushes[0].method, "POST");
  EXPECT_EQ(pushes[0].body, Utf8("text=价格监控　有新变动&desp=" + first));
  EXPECT_EQ(pushes[1].body, Utf8("text=价格监控　有新变动&desp=" + second));
  EXPECT_EQ(pushes[0].Header("Content-Type").rfind("application/x-www-form-urlencoded", 0), 0u)
      << pushes[0].Header("Content-Type");
}

TEST_F(MonitoringInWindows, PageStateRuleFiresWhenTheServerStopsAnswering) {
  ScriptedResponse down;
  down.action = ScriptedResponse::Action::kClose;
  ASSERT_TRUE(server_.Script("site", {GbkPage("up"), GbkPage("up"), down}));
  Settings("0-");
  StoredRule rule = Rule("site", "11", "1");
  rule.name = "站点";
  rule.val_old = "页面ok";
  ASSERT_TRUE(test::StoreRule(path_, rule));
  Open();

  ClickStartStop();
  ASSERT_TRUE(PumpUntil([&] { return Cell(0, kReminderCountColumn) == "1"; }));
  ClickStartStop();
  EXPECT_EQ(Log(), "[站点]网页返回空或状态异常\r\n" + kInitialLog);
  EXPECT_EQ(Cell(0, kCurrentValueColumn), "页面err");
}

TEST_F(MonitoringInWindows, OnceOnlyRuleFinishesInTheListAndTheDatabaseFile) {
  ASSERT_TRUE(server_.Script("once", GbkPage("here")));
  Settings("0-");
  StoredRule rule = Rule("once", "12", "1");
  rule.isrep = "0";
  ASSERT_TRUE(test::StoreRule(path_, rule));
  Open();

  ClickStartStop();
  ASSERT_TRUE(PumpUntil([&] { return Cell(0, kStatusColumn) == "执行完毕"; }));
  EXPECT_FALSE(window_.List().Tick(0));
  EXPECT_EQ(Cell(0, kReminderCountColumn), "1");
  RuleDatabase file;
  ASSERT_TRUE(file.Open(path_));
  EXPECT_EQ(file.Query("select isend from rule where id=1"), (QueryRows{{"1"}}));
  PumpFor(1500);
  EXPECT_EQ(server_.Requests().size(), 1u) << "a finished rule fetches no more";
  ClickStartStop();
  EXPECT_EQ(Cell(0, kStatusColumn), "执行完毕") << "stop leaves an unticked row alone";
}

TEST_F(MonitoringInWindows, StopMarksRowsWaitingAndFetchesInFlightChangeNothing) {
  ScriptedResponse slow = GbkPage("价格");
  slow.delayMs = 1500;
  ASSERT_TRUE(server_.Script("slow", slow));
  Settings("0-");
  StoredRule rule = Rule("slow", "21{[价格]}", "2");
  rule.plv = "0";
  ASSERT_TRUE(test::StoreRule(path_, rule));
  ASSERT_TRUE(test::StoreRule(path_, rule));
  Open();

  ClickStartStop();
  EXPECT_EQ(Cell(0, kStatusColumn), "2-0监控中");
  EXPECT_EQ(Cell(1, kStatusColumn), "1-1监控中");
  ASSERT_TRUE(PumpUntil([&] { return server_.Requests().size() == 2; }));
  ClickStartStop();
  EXPECT_EQ(Cell(0, kStatusColumn), "待监控");
  EXPECT_EQ(Cell(1, kStatusColumn), "待监控");
  PumpFor(3000);  // the answers arrive meanwhile
  EXPECT_EQ(server_.Requests().size(), 2u) << "no request after the fetch in flight";
  EXPECT_EQ(Cell(0, kStatusColumn), "待监控");
  EXPECT_EQ(Cell(1, kStatusColumn), "待监控");
  EXPECT_EQ(Cell(0, kReminderCountColumn), "");
  EXPECT_EQ(Log(), kInitialLog);
}

}  // namespace
}  // namespace derov
