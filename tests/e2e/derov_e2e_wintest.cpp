// derov.exe driven from outside, as its user drives it: rules made in the rule editor, pages
// on the local scripted server that change, go down and come back, monitoring started and
// stopped, and what the user sees and the push service receives along the way; then the
// program closed and started again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/wide_text_win.h"
#include "support/message_box_answerer_win.h"
#include "support/remote_program_win.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

namespace derov {
namespace {

using test::RemoteList;
using test::RemoteText;
using test::RunningProgram;
using test::ScriptedResponse;

// Generous: two cores are shared with other work, and Wine is slow to start.
constexpr int kDeadlineMs = 20000;

// The rule editor's controls, by the ids the editor gives them (numbered from 1001 in the
// order it creates them).
enum EditorControl : int {
  kUrlBox = 1004,
  kNameBox = 1009,
  kPeriodBox = 1010,
  kUtfBox = 1011,
  kWatchModeBox = 1012,
  kTestButton = 1013,
  kBeforeBox = 1014,
  kAfterBox = 1015,
  kRuleTab = 1016,
  kPageStateList = 1017,
  kKeywordList = 1018,
  kKeywordBox = 1020,
  kNumberList = 1021,
  kXBox = 1023,
  kYBox = 1024,
  kRepeatBox = 1025,
  kSaveButton = 1026,
  kOutputBox = 1027,
};

// The main list's columns.
constexpr int kNameColumn = 1;
constexpr int kCurrentValueColumn = 5;
constexpr int kReminderCountColumn = 7;
constexpr int kUpdateTimeColumn = 8;
constexpr int kStatusColumn = 9;

constexpr char kLogIntroduction[] =
    "\r\n开发计划：\r\n1、邮件提醒\r\n2、同时监控多个关键词\r\n3、微信提醒";
constexpr char kPushKey[] = "e2e-key";
constexpr char kPushReply[] = "{\"errno\":0}";

// What goes on the wire for a GBK text when it is sent as UTF-8; also how a failure
// message shows a GBK text readably.
std::string Utf8(const std::string& gbk) {
  const std::wstring wide = AnsiToWide(gbk);
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                      nullptr, nullptr);
  return utf8;
}

// Today as "{日期}" becomes it in an address.
std::string Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[16];
  wsprintfA(text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

// How a status time of today begins in the list: the month, the two-digit day, two blanks.
std::string TodaysStampDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[16];
  wsprintfA(text, "%u/%02u  ", now.wMonth, now.wDay);
  return text;
}

ScriptedResponse Page(const std::string& body) {
  ScriptedResponse response;
  response.body = body;
  return response;
}

ScriptedResponse Down() {
  ScriptedResponse response;
  response.action = ScriptedResponse::Action::kClose;
  return response;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = kDeadlineMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

// Waits until read() gives expected; on failure tells what it gave last.
::testing::AssertionResult WaitForText(const std::function<std::string()>& read,
                                       const std::string& expected, int timeoutMs = kDeadlineMs) {
  std::string seen;
  if (WaitUntil([&] { return (seen = read()) == expected; }, timeoutMs))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected \"" << Utf8(expected) << "\"\n  but it reads \"" << Utf8(seen) << "\"";
}

// Input as the user's mouse and keyboard produce it, posted into the program's queue.
void PostClick(HWND control, POINT at) {
  const LPARAM point = MAKELPARAM(at.x, at.y);
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
  PostMessageA(control, WM_LBUTTONUP, 0, point);
}

void PostKey(HWND control, WPARAM key) {
  PostMessageA(control, WM_KEYDOWN, key, 1);
  PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

void ClickButton(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

LRESULT Ask(HWND control, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(control, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &result);
  return static_cast<LRESULT>(result);
}

// One rule as the user fills it in.
struct RuleForm {
  std::string name;
  std::string url;
  bool utf = false;
  std::string before = "";  // with the markers: the cut mode of the watch box
  std::string after = "";
  int conditionPage = 0;  // 网页变动, 关键词变化, 数值大小变化
  int conditionRow = 0;
  std::string keyword = "";
  std::string x = "";
  std::string y = "";
  bool repeat = false;
};

struct Firing {
  std::string name;
  std::string message;
  bool pushed = true;  // the reply's line stands above the rule's
};

class DerovEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ready()) << server_.problem();
    folder_ = temp_.File("网页监控");
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    exe_ = folder_ + "\\derov.exe";
    ASSERT_TRUE(CopyFileA(DEROV_EXE, exe_.c_str(), FALSE)) << "copy " << DEROV_EXE;
    ASSERT_TRUE(test::CreateRuleDatabase(Database()));
    ASSERT_TRUE(server_.Script(PushPage(kPushKey), Page(kPushReply)));
  }

  std::string Database() const { return folder_ + "\\derov.sdb"; }
  std::string Settings() const { return folder_ + "\\derov.ini"; }
  static std::string PushPage(const std::string& key) { return "push/" + key + ".send"; }

  // The settings file as the user writes it, in the system's code page; the push service
  // is always the local one.
  void WriteSettings(const std::string& switches) {
    std::ofstream ini(Settings(), std::ios::binary);
    ini << "[配置]\r\n" << switches << "推送地址=" << server_.Url("push/") << "\r\n";
    ini.close();
    ASSERT_TRUE(ini);
  }

  std::string Setting(const char* key) const {
    char value[256] = {};
    GetPrivateProfileStringA("配置", key, "(none)", value, sizeof value, Settings().c_str());
    return value;
  }

  // --- the program -----------------------------------------------------------------------

  void StartProgram() {
    program_ = std::make_unique<RunningProgram>(exe_);
    ASSERT_TRUE(program_->started());
    main_ = program_->WaitForMainWindow();
    ASSERT_TRUE(main_) << "no main window";
    HWND listControl = FindWindowExA(main_, nullptr, WC_LISTVIEWA, nullptr);
    ASSERT_TRUE(listControl);
    list_ = std::make_unique<RemoteList>(program_->process(), listControl);
    newButton_ = FindWindowExA(main_, nullptr, "Button", "新建");
    startButton_ = FindWindowExA(main_, nullptr, "Button", "开始监控");
    popupBox_ = FindWindowExA(main_, nullptr, "Button", "有变化时弹窗提醒我");
    weChatBox_ = FindWindowExA(main_, nullptr, "Button", "有变化时微信通知我");
    logBox_ = FindWindowExA(main_, nullptr, "Edit", nullptr);
    tip_ = program_->FindWindowOf("derovTipWindow", "dovivi");
    ASSERT_TRUE(newButton_ && startButton_ && popupBox_ && weChatBox_ && logBox_);
    ASSERT_TRUE(tip_) << "no tip window";
    tipLabel_ = FindWindowExA(tip_, nullptr, "Static", nullptr);
  }

  void CloseProgram() {
    PostMessageA(main_, WM_CLOSE, 0, 0);
    EXPECT_EQ(program_->ExitCode(kDeadlineMs), 0u);
    program_.reset();
  }

  // --- the rule editor ---------------------------------------------------------------------

  // Opens the editor with "新建", fills it in, runs the source test and saves; the source
  // test's output comes back in *output.
  void CreateRuleInEditor(const RuleForm& form, std::string* output) {
    ClickButton(newButton_);
    editor_ = program_->WaitForWindow("derovRuleEditor");
    ASSERT_TRUE(editor_) << "the editor did not open";
    ASSERT_EQ(RemoteText(editor_), "方案管理");

    ASSERT_NO_FATAL_FAILURE(EnterText(kUrlBox, form.url));
    ASSERT_NO_FATAL_FAILURE(EnterText(kNameBox, form.name));
    // The period: one second, typed (the box takes typed digits only).
    PostMessageA(Control(kPeriodBox), WM_CHAR, '1', 1);
    ASSERT_TRUE(WaitForText([&] { return RemoteText(Control(kPeriodBox)); }, "1"));
    if (form.utf) {
      ClickButton(Control(kUtfBox));
      ASSERT_TRUE(WaitUntil([&] { return Ask(Control(kUtfBox), BM_GETCHECK) == BST_CHECKED; }));
    }
    if (!form.before.empty()) {
      ASSERT_NO_FATAL_FAILURE(ChooseDropDownRow(kWatchModeBox, 1));
      ASSERT_NO_FATAL_FAILURE(EnterText(kBeforeBox, form.before));
      ASSERT_NO_FATAL_FAILURE(EnterText(kAfterBox, form.after));
    }
    ASSERT_NO_FATAL_FAILURE(ShowConditionPage(form.conditionPage));
    const int lists[] = {kPageStateList, kKeywordList, kNumberList};
    ASSERT_NO_FATAL_FAILURE(ClickListRow(lists[form.conditionPage], form.conditionRow));
    if (!form.keyword.empty()) {
      ASSERT_NO_FATAL_FAILURE(EnterText(kKeywordBox, form.keyword));
    }
    if (!form.x.empty()) {
      ASSERT_NO_FATAL_FAILURE(EnterText(kXBox, form.x));
    }
    if (!form.y.empty()) {
      ASSERT_NO_FATAL_FAILURE(EnterText(kYBox, form.y));
    }
    if (form.repeat) {
      ASSERT_NO_FATAL_FAILURE(ChooseDropDownRow(kRepeatBox, 1));
    }

    ASSERT_FALSE(IsWindowEnabled(Control(kSaveButton))) << "saving needs a source test first";
    ClickButton(Control(kTestButton));
    ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(Control(kSaveButton)) != FALSE; }));
    ASSERT_TRUE(WaitUntil([&] {
      *output = RemoteText(Control(kOutputBox));
      return output->rfind("网页状态码：", 0) == 0;
    })) << "the source test showed nothing";

    ClickButton(Control(kSaveButton));
    HWND box = test::WaitForMessageBox(program_->id(), kDeadlineMs);
    ASSERT_TRUE(box) << "no message after saving";
    const test::SeenBox seen = test::ReadMessageBox(box);
    EXPECT_EQ(seen.title, "信息：");
    EXPECT_EQ(seen.text, "保存成功");
    EXPECT_GE(list_->FindRow(kNameColumn, form.name), 0) << "the list is loaded before the box";
    test::AnswerMessageBox(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(editor_); })) << "the editor stayed open";
  }

  HWND Control(int id) const { return GetDlgItem(editor_, id); }

  void EnterText(int id, const std::string& text) {
    Ask(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ASSERT_EQ(RemoteText(Control(id)), text);
  }

  // Opens the drop-down list with F4, walks down to the row and takes it with Enter.
  void ChooseDropDownRow(int id, int row) {
    HWND combo = Control(id);
    PostKey(combo, VK_F4);
    ASSERT_TRUE(WaitUntil([&] { return Ask(combo, CB_GETDROPPEDSTATE) != 0; }))
        << "the list did not open";
    for (auto at = Ask(combo, CB_GETCURSEL); at < row; ++at) PostKey(combo, VK_DOWN);
    PostKey(combo, VK_RETURN);
    ASSERT_TRUE(WaitUntil([&] {
      return Ask(combo, CB_GETDROPPEDSTATE) == 0 && Ask(combo, CB_GETCURSEL) == row;
    })) << "row " << row << " was not taken";
  }

  // A click on the page's tab; the page's list shows.
  void ShowConditionPage(int page) {
    HWND tab = Control(kRuleTab);
    const RECT item = test::RemoteItemRect(program_->process(), tab, TCM_GETITEMRECT, page);
    ASSERT_LT(item.left, item.right);
    PostClick(tab, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    const int lists[] = {kPageStateList, kKeywordList, kNumberList};
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(Control(lists[page])) != FALSE; }))
        << "page " << page << " did not show";
  }

  void ClickListRow(int id, int row) {
    HWND listBox = Control(id);
    RECT item{};  // the system carries this rectangle between the processes
    Ask(listBox, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    RECT client{};
    GetClientRect(listBox, &client);
    // The visible part of the row: the list box is short, its last row may be cut off.
    const LONG top = std::max(item.top, client.top);
    const LONG bottom = std::min(item.bottom, client.bottom);
    ASSERT_LT(top, bottom) << "row " << row << " is out of sight: " << item.top << ".."
                           << item.bottom << " in " << client.bottom;
    PostClick(listBox, {(item.left + item.right) / 2, (top + bottom) / 2});
    ASSERT_TRUE(WaitUntil([&] { return Ask(listBox, LB_GETCURSEL) == row; }));
  }

  // --- the main window ---------------------------------------------------------------------

  void StartMonitoring() {
    ClickButton(startButton_);
    ASSERT_TRUE(WaitForText([&] { return RemoteText(startButton_); }, "停止监控"));
  }

  void StopMonitoring() {
    ClickButton(startButton_);
    ASSERT_TRUE(WaitForText([&] { return RemoteText(startButton_); }, "开始监控"));
  }

  std::string Cell(const std::string& rule, int column) const {
    const int row = list_->FindRow(kNameColumn, rule);
    return row < 0 ? "(no row " + rule + ")" : list_->Cell(row, column);
  }

  bool Ticked(const std::string& rule) const {
    const int row = list_->FindRow(kNameColumn, rule);
    return row >= 0 && list_->Tick(row);
  }

  ::testing::AssertionResult WaitForCell(const std::string& rule, int column,
                                         const std::string& expected) {
    return WaitForText([&] { return Cell(rule, column); }, expected);
  }

  // Whether the rule shows this value and this many reminders at the same moment.
  ::testing::AssertionResult WaitForValueAndCount(const std::string& rule, const std::string& value,
                                                  const std::string& count) {
    return WaitForText(
        [&] { return Cell(rule, kCurrentValueColumn) + " | " + Cell(rule, kReminderCountColumn); },
        value + " | " + count);
  }

  // The log box as the firings so far must have left it, newest on top.
  ::testing::AssertionResult WaitForLog() {
    std::string expected = kLogIntroduction;
    for (const Firing& firing : firings_) {
      expected = "[" + firing.name + "]" + firing.message + "\r\n" + expected;
      if (firing.pushed) expected = "已发出微信通知：" + std::string(kPushReply) + "\r\n" + expected;
    }
    return WaitForText([&] { return RemoteText(logBox_); }, expected);
  }

  // The tip shows the message, then hides itself about 4.5 seconds later. (One that was
  // up before the wait began is timed from then: only its end is checked.)
  void WaitForTipShowingAndHiding(const std::string& message) {
    const bool seenAppearing = !IsWindowVisible(tip_);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tip_) != FALSE; })) << "no tip";
    const DWORD shown = GetTickCount();
    EXPECT_TRUE(WaitForText([&] { return RemoteText(tipLabel_); }, message));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(tip_); })) << "the tip stays";
    const DWORD visibleMs = GetTickCount() - shown;
    if (seenAppearing) {
      EXPECT_GE(visibleMs, 3500u);
    }
    EXPECT_LE(visibleMs, 12000u);
  }

  // A rule fires: its line and the push reply's line top the log, and the tip comes and goes.
  void ExpectFiring(const std::string& name, const std::string& message) {
    firings_.push_back({name, message});
    EXPECT_TRUE(WaitForLog());
    ASSERT_NO_FATAL_FAILURE(WaitForTipShowingAndHiding(message));
  }

  // A click on the row's tick box, which stands at the row's left end.
  void ClickTick(const std::string& rule) {
    const int row = list_->FindRow(kNameColumn, rule);
    ASSERT_GE(row, 0);
    const RECT bounds = test::RemoteItemRect(program_->process(), list_->hwnd(), LVM_GETITEMRECT,
                                             static_cast<WPARAM>(row));  // LVIR_BOUNDS
    ASSERT_LT(bounds.top, bounds.bottom);
    const bool before = list_->Tick(row);
    PostClick(list_->hwnd(), {bounds.left + 10, (bounds.top + bounds.bottom) / 2});
    ASSERT_TRUE(WaitUntil([&] { return list_->Tick(row) != before; })) << "the tick stayed";
  }

  // Ticks the WeChat box; the program asks for the key, offering initialKey, and gets key.
  void TickWeChatBoxGivingKey(const std::string& initialKey, const std::string& key) {
    ClickButton(weChatBox_);
    HWND box = test::WaitForMessageBox(program_->id(), kDeadlineMs);
    ASSERT_TRUE(box) << "no key input box";
    EXPECT_EQ(RemoteText(box), "请输入微信提醒的密钥：");
    HWND edit = FindWindowExA(box, nullptr, "Edit", nullptr);
    ASSERT_TRUE(edit);
    EXPECT_EQ(RemoteText(edit), initialKey);
    Ask(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(key.c_str()));
    ClickButton(GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); })) << "the input box stayed";
  }

  std::vector<test::RecordedRequest> RequestsTo(const std::string& page) {
    std::vector<test::RecordedRequest> found;
    for (test::RecordedRequest& request : server_.Requests())
      if (request.path == server_.Path(page)) found.push_back(std::move(request));
    return found;
  }

  test::TestServer server_;
  test::TempFolder temp_;
  std::string folder_;
  std::string exe_;
  std::vector<Firing> firings_;
  std::unique_ptr<RunningProgram> program_;
  std::unique_ptr<RemoteList> list_;
  HWND main_ = nullptr;
  HWND newButton_ = nullptr;
  HWND startButton_ = nullptr;
  HWND popupBox_ = nullptr;
  HWND weChatBox_ = nullptr;
  HWND logBox_ = nullptr;
  HWND tip_ = nullptr;
  HWND tipLabel_ = nullptr;
  HWND editor_ = nullptr;
};

TEST_F(DerovEndToEnd, RulesMadeInTheEditorWatchChangingPagesUntilStoppedAndSurviveARestart) {
  // The pages before anything happens: nothing in them fires but the notice, which is new.
  const std::string notice1 = "<html>公告：周一停电</html>";
  const std::string notice2 = "<html>公告：周一停电取消</html>";
  const std::string saleQuiet = "<p>今日无货</p>";
  const std::string saleOn = "<p>促销：鞋</p><p>促销：帽</p>";
  const std::string price90 = "单价：<b>90</b>元";
  const std::string price150 = "单价：<b>150</b>元";
  const std::string home = "<title>首页</title>";
  ASSERT_TRUE(server_.Script("notice", Page(notice1)));
  ASSERT_TRUE(server_.Script("sale", Page(Utf8(saleQuiet))));
  ASSERT_TRUE(server_.Script("price", Page(price90)));
  ASSERT_TRUE(server_.Script("home", Page(home)));
  ASSERT_NO_FATAL_FAILURE(WriteSettings(std::string("弹窗提醒=1\r\n微信提醒=1-") + kPushKey + "\r\n"));

  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_EQ(list_->RowCount(), 0);
  EXPECT_EQ(Ask(popupBox_, BM_GETCHECK), BST_CHECKED);
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_CHECKED);

  // Four rules: the content, the keyword (on a UTF-8 page), the number with a cut and the
  // page state; the name with "&" goes into the push body as it is, the one with a quote
  // into the database as it is.
  const std::string notice = "公告";
  const std::string sale = "鞋帽促销";
  const std::string price = "价格&库存";
  const std::string site = "主站'首页";
  const struct {
    RuleForm form;
    std::string output;
  } rules[] = {
      {{.name = notice, .url = server_.Url("notice"), .conditionRow = 2, .repeat = true},
       "网页状态码：200\r\n" + notice1},
      {{.name = sale, .url = server_.Url("sale"), .utf = true, .conditionPage = 1,
        .conditionRow = 0, .keyword = "促销"},
       "网页状态码：200\r\n" + saleQuiet},
      {{.name = price, .url = server_.Url("price"), .before = "<b>", .after = "</b>",
        .conditionPage = 2, .conditionRow = 0, .x = "100"},
       "网页状态码：200\r\n" + price90},
      {{.name = site, .url = server_.Url("home"), .conditionRow = 0, .repeat = true},
       "网页状态码：200\r\n" + home},
  };
  for (const auto& rule : rules) {
    std::string output;
    ASSERT_NO_FATAL_FAILURE(CreateRuleInEditor(rule.form, &output)) << Utf8(rule.form.name);
    EXPECT_EQ(Utf8(output), Utf8(rule.output));
    EXPECT_TRUE(WaitForCell(rule.form.name, kStatusColumn, "待监控"));
    EXPECT_TRUE(Ticked(rule.form.name));
  }
  ASSERT_EQ(list_->RowCount(), 4);
  EXPECT_EQ(list_->Cell(0, kNameColumn), site) << "the newest rule stands first";
  EXPECT_EQ(Cell(sale, 3), "21{[促销]}");
  EXPECT_EQ(Cell(price, 3), "31{100}[]");

  // Monitoring starts: the notice fires at once, the others take their first values quietly.
  ASSERT_NO_FATAL_FAILURE(StartMonitoring());
  EXPECT_TRUE(WaitForCell(notice, kStatusColumn, "变化"));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(notice, "网页已变化"));
  EXPECT_TRUE(WaitForValueAndCount(notice, notice1, "1"));
  EXPECT_TRUE(WaitForValueAndCount(sale, "0", ""));
  EXPECT_TRUE(WaitForCell(sale, kStatusColumn, "2无变化"));
  EXPECT_TRUE(WaitForValueAndCount(price, "90", ""));
  EXPECT_TRUE(WaitForCell(price, kStatusColumn, "3无变化"));
  EXPECT_TRUE(WaitForValueAndCount(site, "页面ok", ""));
  EXPECT_TRUE(WaitForCell(site, kStatusColumn, "4无变化"));
  EXPECT_TRUE(WaitForCell(notice, kStatusColumn, "1无变化"));

  // The keyword appears: the once-only rule reminds, finishes and leaves monitoring.
  ASSERT_TRUE(server_.Script("sale", Page(Utf8(saleOn))));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(sale, "关键词‘促销’本轮出现次数2/上轮：0"));
  EXPECT_TRUE(WaitForValueAndCount(sale, "2", "1"));
  EXPECT_EQ(Cell(sale, kStatusColumn), "执行完毕");
  EXPECT_EQ(Cell(sale, kUpdateTimeColumn).rfind(TodaysStampDate(), 0), 0u)
      << Cell(sale, kUpdateTimeColumn);
  EXPECT_FALSE(Ticked(sale));
  const size_t saleFetches = RequestsTo("sale").size();

  // The price rises above x.
  ASSERT_TRUE(server_.Script("price", Page(price150)));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(price, "本轮/上轮值：150 / 90"));
  EXPECT_TRUE(WaitForValueAndCount(price, "150", "1"));
  EXPECT_EQ(Cell(price, kStatusColumn), "执行完毕");
  EXPECT_FALSE(Ticked(price));
  const size_t priceFetches = RequestsTo("price").size();

  // The site goes down for one fetch and comes back: the fall reminds, the return does not.
  ASSERT_TRUE(server_.Script("home", {Down(), Page(home)}));
  EXPECT_TRUE(WaitForValueAndCount(site, "页面err", "1"));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(site, "网页返回空或状态异常"));
  EXPECT_TRUE(WaitForValueAndCount(site, "页面ok", "1"));
  EXPECT_TRUE(WaitForCell(site, kStatusColumn, "4无变化"));

  // A rule added while monitoring runs: the list is loaded again under the running workers.
  // The new rule, ticked, gets no worker; the finished rules read so from the database; the
  // counts start afresh, and the notice, compared with its stored value again, fires anew.
  const std::string stock = "库存";
  const std::string stockPage = "<i>剩 15 件</i>";
  ASSERT_TRUE(server_.Script("stock-" + Today(), Page(stockPage)));
  std::string output;
  ASSERT_NO_FATAL_FAILURE(CreateRuleInEditor(
      {.name = stock, .url = server_.Url("stock-{日期}"), .conditionPage = 2, .conditionRow = 2,
       .x = "10", .y = "20", .repeat = true},
      &output));
  EXPECT_EQ(Utf8(output), Utf8("网页状态码：200\r\n" + stockPage));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(notice, "网页已变化"));
  EXPECT_TRUE(WaitForValueAndCount(notice, notice1, "1"));
  EXPECT_TRUE(WaitForValueAndCount(site, "页面ok", ""));
  for (const std::string& rule : {sale, price}) {
    EXPECT_EQ(Cell(rule, kStatusColumn), "执行完毕");
    EXPECT_FALSE(Ticked(rule));
  }
  EXPECT_EQ(Cell(stock, kStatusColumn), "待监控");
  EXPECT_TRUE(Ticked(stock));
  EXPECT_EQ(Cell(stock, 2), server_.Url("stock-{日期}")) << "the link as typed";
  EXPECT_EQ(Cell(stock, 3), "33{10}[20]");

  // The notice changes again: one more reminder of the repeating rule.
  ASSERT_TRUE(server_.Script("notice", Page(notice2)));
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(notice, "网页已变化"));
  EXPECT_TRUE(WaitForValueAndCount(notice, notice2, "2"));

  // Every firing reached the push service, in order, with its title and message as UTF-8.
  const std::vector<test::RecordedRequest> pushes =
      RequestsTo(PushPage(kPushKey));
  ASSERT_EQ(pushes.size(), firings_.size());
  for (size_t i = 0; i < pushes.size(); ++i) {
    EXPECT_EQ(pushes[i].method, "POST");
    // The request object names the charset of the text body it sends after the type.
    EXPECT_EQ(pushes[i].Header("Content-Type").rfind("application/x-www-form-urlencoded", 0), 0u)
        << pushes[i].Header("Content-Type");
    EXPECT_EQ(pushes[i].body,
              Utf8("text=" + firings_[i].name + "　有新变动&desp=" + firings_[i].message));
  }
  // Finished rules fetch no more, and the rule added meanwhile was fetched by its source
  // test only.
  EXPECT_EQ(RequestsTo("sale").size(), saleFetches);
  EXPECT_EQ(RequestsTo("price").size(), priceFetches);
  EXPECT_EQ(RequestsTo("stock-" + Today()).size(), 1u);

  // Stop: the ticked rows wait, the finished ones stay finished, and no worker goes on.
  ASSERT_NO_FATAL_FAILURE(StopMonitoring());
  for (const std::string& rule : {notice, site, stock}) {
    EXPECT_EQ(Cell(rule, kStatusColumn), "待监控");
    EXPECT_TRUE(Ticked(rule));
  }
  for (const std::string& rule : {sale, price}) EXPECT_EQ(Cell(rule, kStatusColumn), "执行完毕");
  const size_t fetchesAtStop = server_.Requests().size();
  Sleep(2500);  // longer than two periods: a worker still running would show itself
  EXPECT_EQ(server_.Requests().size(), fetchesAtStop);
  for (const std::string& rule : {notice, site}) EXPECT_EQ(Cell(rule, kStatusColumn), "待监控");
  EXPECT_TRUE(WaitForLog());
  EXPECT_TRUE(WaitForValueAndCount(notice, notice2, "2"));

  // Closed and started again: what fired once is finished and unticked, the rest wait; the
  // counts start afresh and the values are the stored ones.
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  ASSERT_EQ(list_->RowCount(), 5);
  const struct {
    const std::string& name;
    const char* status;
    bool ticked;
  } restarted[] = {{notice, "待监控", true},
                   {sale, "执行完毕", false},
                   {price, "执行完毕", false},
                   {site, "待监控", true},
                   {stock, "待监控", true}};
  for (const auto& rule : restarted) {
    EXPECT_EQ(Cell(rule.name, kStatusColumn), rule.status) << Utf8(rule.name);
    EXPECT_EQ(Ticked(rule.name), rule.ticked) << Utf8(rule.name);
    EXPECT_EQ(Cell(rule.name, kReminderCountColumn), "") << Utf8(rule.name);
    EXPECT_EQ(Cell(rule.name, kCurrentValueColumn), "0") << Utf8(rule.name);
  }
  EXPECT_EQ(RemoteText(logBox_), kLogIntroduction);
  EXPECT_EQ(Ask(popupBox_, BM_GETCHECK), BST_CHECKED);
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_CHECKED);
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

TEST_F(DerovEndToEnd, SwitchesAndTicksSetInTheMainWindowGovernTheFirings) {
  const std::string quote = "行情";
  ASSERT_TRUE(test::StoreRule(Database(), {.id = "1", .name = quote, .url = server_.Url("quote"),
                                           .plv = "1", .saverule = "13", .isrep = "1"}));
  ASSERT_TRUE(server_.Script("quote", Page("<p>沪指 3000</p>")));
  ASSERT_NO_FATAL_FAILURE(WriteSettings(""));
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_EQ(Ask(popupBox_, BM_GETCHECK), BST_UNCHECKED);
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_UNCHECKED);

  // Both switches on, the key typed into the box the program asks with.
  ClickButton(popupBox_);
  EXPECT_TRUE(WaitForText([&] { return Setting("弹窗提醒"); }, "1"));
  EXPECT_EQ(Ask(popupBox_, BM_GETCHECK), BST_CHECKED);
  const std::string key = "my-key";
  ASSERT_TRUE(server_.Script(PushPage(key), Page(kPushReply)));
  ASSERT_NO_FATAL_FAILURE(TickWeChatBoxGivingKey("", key));
  EXPECT_TRUE(WaitForText([&] { return Setting("微信提醒"); }, "1-" + key));
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_CHECKED);

  ASSERT_NO_FATAL_FAILURE(StartMonitoring());
  ASSERT_NO_FATAL_FAILURE(ExpectFiring(quote, "网页已变化"));
  EXPECT_EQ(RequestsTo(PushPage(key)).size(), 1u);

  // The next firing after a switch went off: the log line always, the push while WeChat is
  // on, never a tip. The next cycle's "无变化" shows that the firing is over.
  auto fireWithoutTip = [&](const std::string& page, bool pushed) {
    ASSERT_TRUE(server_.Script("quote", Page(page)));
    firings_.push_back({quote, "网页已变化", pushed});
    EXPECT_TRUE(WaitForLog());
    bool tipSeen = false;
    EXPECT_TRUE(WaitUntil([&] {
      tipSeen = tipSeen || IsWindowVisible(tip_);
      return Cell(quote, kStatusColumn) == "1无变化";
    }));
    EXPECT_FALSE(tipSeen);
    EXPECT_TRUE(WaitForLog());
    EXPECT_TRUE(WaitForCell(quote, kCurrentValueColumn, page));
  };
  ClickButton(popupBox_);
  EXPECT_TRUE(WaitForText([&] { return Setting("弹窗提醒"); }, "0"));
  fireWithoutTip("<p>沪指 3010</p>", true);
  EXPECT_EQ(RequestsTo(PushPage(key)).size(), 2u);

  // Unticking the WeChat box asks nothing and keeps the key in the file.
  ClickButton(weChatBox_);
  EXPECT_TRUE(WaitForText([&] { return Setting("微信提醒"); }, "0-" + key));
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_UNCHECKED);
  fireWithoutTip("<p>沪指 3020</p>", false);
  EXPECT_EQ(RequestsTo(PushPage(key)).size(), 2u);
  EXPECT_EQ(Cell(quote, kReminderCountColumn), "3");

  // Unticked while watched: "未开启", and the worker goes on writing its row.
  ASSERT_NO_FATAL_FAILURE(ClickTick(quote));
  EXPECT_TRUE(WaitForCell(quote, kStatusColumn, "未开启"));
  EXPECT_TRUE(WaitForCell(quote, kStatusColumn, "1无变化"));
  // The stop passes the unticked row by, but its worker ends all the same.
  ASSERT_NO_FATAL_FAILURE(StopMonitoring());
  const size_t fetchesAtStop = RequestsTo("quote").size();
  Sleep(2500);  // longer than two periods
  EXPECT_EQ(RequestsTo("quote").size(), fetchesAtStop);
  EXPECT_NE(Cell(quote, kStatusColumn), "待监控");

  // Started again: the switches as the file holds them, the row ticked as stored, and the
  // key offered again; cancelling is told and changes nothing.
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
  ASSERT_NO_FATAL_FAILURE(StartProgram());
  EXPECT_EQ(Ask(popupBox_, BM_GETCHECK), BST_UNCHECKED);
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_UNCHECKED);
  EXPECT_TRUE(Ticked(quote));
  EXPECT_EQ(Cell(quote, kStatusColumn), "待监控");
  ClickButton(weChatBox_);
  HWND input = test::WaitForMessageBox(program_->id(), kDeadlineMs);
  ASSERT_TRUE(input);
  EXPECT_EQ(RemoteText(FindWindowExA(input, nullptr, "Edit", nullptr)), key);
  ClickButton(GetDlgItem(input, IDCANCEL));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(input); }));
  HWND told = test::WaitForMessageBox(program_->id(), kDeadlineMs);
  ASSERT_TRUE(told);
  EXPECT_EQ(test::ReadMessageBox(told).text, "你取消了输入");
  test::AnswerMessageBox(told, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(told); }));
  EXPECT_EQ(Ask(weChatBox_, BM_GETCHECK), BST_UNCHECKED);
  EXPECT_EQ(Setting("微信提醒"), "0-" + key);

  // Closed while a tip shows and the rule's worker waits for it: everything ends, at once
  // and without a word.
  ClickButton(popupBox_);
  EXPECT_TRUE(WaitForText([&] { return Setting("弹窗提醒"); }, "1"));
  ASSERT_NO_FATAL_FAILURE(StartMonitoring());
  ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(tip_) != FALSE; })) << "no tip";
  ASSERT_NO_FATAL_FAILURE(CloseProgram());
}

}  // namespace
}  // namespace derov
