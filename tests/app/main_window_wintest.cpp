#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/startup_win.h"
#include "platform/handle_win.h"
#include "platform/pumped_wait.h"
#include "support/fake_message_box.h"
#include "support/message_box_answerer_win.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"
#include "version.h"

namespace derov {
namespace {

using test::StoredRule;

// Dispatches what is pending for this thread.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

RECT PlaceIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// The real main window, wired as the program wires it, on a database of the test's own.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::CreateRuleDatabase(path_));
    for (const StoredRule& rule : Rules()) ASSERT_TRUE(test::StoreRule(path_, rule));
    WireMainWindow(state_, window_);
    window_.handlers.onCreated = [this] {
      state_.rules.database.Open(path_);
      LoadRuleList(state_.rules, window_.List());
      return true;
    };
    window_.handlers.onDestroyed = nullptr;  // no WM_QUIT into the test's own thread
    ASSERT_TRUE(window_.Create());
    window_.Show(SW_SHOWNOACTIVATE);
    Pump();
  }

  virtual std::vector<StoredRule> Rules() const {
    return {{.id = "1", .name = "规则1", .isopen = "0"},
            {.id = "5", .name = "规则5", .url = "http://b.test/{日期}", .isend = "1"},
            {.id = "7", .name = "规则7"}};
  }

  HWND list() { return window_.controls().超级列表框; }

  // A point on the row's tick box, found by asking the list where its state icon is.
  POINT TickPoint(int row) {
    const RECT bounds = RowRect(row);
    for (int x = bounds.left; x < bounds.left + 40; ++x) {
      LVHITTESTINFO hit{};
      hit.pt = {x, (bounds.top + bounds.bottom) / 2};
      if (SendMessageA(list(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == row &&
          (hit.flags & LVHT_ONITEMSTATEICON))
        return hit.pt;
    }
    ADD_FAILURE() << "no tick box found on row " << row;
    return {};
  }

  RECT RowRect(int row) {
    RECT rect{};
    rect.left = LVIR_BOUNDS;
    SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return rect;
  }

  void Click(POINT point, bool twice = false) {
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageA(list(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list(), WM_LBUTTONUP, 0, at);
    if (twice) {
      PostMessageA(list(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
      PostMessageA(list(), WM_LBUTTONUP, 0, at);
    }
    Pump();
  }

  void Select(int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = row >= 0 ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    SendMessageA(list(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
  }

  test::TempFolder folder_;
  std::string path_ = folder_.File("derov.sdb");
  AppState state_;
  MainWindow window_{GetModuleHandleA(nullptr)};
};

TEST_F(MainWindowTest, WindowFrame) {
  HWND main = window_.hwnd();
  EXPECT_EQ(WindowText(main), "diruzirivi v" DEROV_VERSION "（监控网页状态与关键词变化）");
  RECT outer;
  GetWindowRect(main, &outer);
  EXPECT_EQ(outer.right - outer.left, 778);
  EXPECT_EQ(outer.bottom - outer.top, 439);
  EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  const LONG style = GetWindowLongA(main, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border is fixed";

  // Esc, wherever the focus is, does not close the window.
  for (HWND target : {list(), window_.controls().显示框, main}) {
    SendMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
    SendMessageA(target, WM_CHAR, VK_ESCAPE, 0);
    SendMessageA(target, WM_KEYUP, VK_ESCAPE, 0);
  }
  SendMessageA(main, WM_COMMAND, IDCANCEL, 0);
  Pump();
  EXPECT_TRUE(IsWindow(main));
}

TEST_F(MainWindowTest, ControlsStandInTheirPlaces) {
  const auto& c = window_.controls();
  HWND main = window_.hwnd();
  const struct {
    HWND control;
    HWND relativeTo;
    RECT place;  // left, top, right, bottom
    const char* caption;
    bool enabled;
  } controls[] = {
      {c.超级列表框, main, {8, 5, 608, 405}, "", true},
      {c.分组框1, main, {610, -2, 770, 34}, "", true},
      {c.新增方案按钮, c.分组框1, {5, 9, 53, 33}, "新建", true},
      {c.新增方案按钮1, c.分组框1, {56, 9, 104, 33}, "修改", false},
      {c.新增方案按钮2, c.分组框1, {105, 9, 153, 33}, "删除", true},
      {c.按钮1, main, {611, 35, 768, 66}, "开始监控", true},
      {c.选择框1, main, {616, 72, 768, 88}, "有变化时弹窗提醒我", true},
      {c.微信选择框, main, {616, 90, 768, 106}, "有变化时微信通知我", true},
      {c.显示框, main, {611, 144, 768, 405},
       "\r\n开发计划：\r\n1、邮件提醒\r\n2、同时监控多个关键词\r\n3、微信提醒", true},
  };
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
  for (const auto& control : controls) {
    ASSERT_TRUE(IsWindow(control.control)) << control.caption;
    RECT place = PlaceIn(control.control, control.relativeTo);
    EXPECT_EQ(place.left, control.place.left) << control.caption;
    EXPECT_EQ(place.top, control.place.top) << control.caption;
    EXPECT_EQ(place.right, control.place.right) << control.caption;
    EXPECT_EQ(place.bottom, control.place.bottom) << control.caption;
    EXPECT_EQ(WindowText(control.control), control.caption);
    EXPECT_EQ(IsWindowEnabled(control.control) != FALSE, control.enabled) << control.caption;
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(control.control, WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName) << control.caption;
  }

  for (HWND box : {c.选择框1, c.微信选择框}) {
    EXPECT_EQ(GetWindowLongA(box, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  }
  const LONG logStyle = GetWindowLongA(c.显示框, GWL_STYLE);
  EXPECT_TRUE((logStyle & ES_MULTILINE) && (logStyle & ES_READONLY) && (logStyle & WS_VSCROLL));

  // The log box's background.
  HDC dc = GetDC(c.显示框);
  const auto brush = reinterpret_cast<HBRUSH>(
      SendMessageA(main, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(c.显示框)));
  LOGBRUSH logBrush{};
  ASSERT_TRUE(GetObjectA(brush, sizeof logBrush, &logBrush));
  EXPECT_EQ(logBrush.lbColor, 0xFEFCF8u);
  EXPECT_EQ(GetBkColor(dc), 0xFEFCF8u);
  ReleaseDC(c.显示框, dc);

  // Tooltips for the three rule buttons.
  ASSERT_EQ(SendMessageA(c.tooltips, TTM_GETTOOLCOUNT, 0, 0), 3);
  const std::pair<HWND, const char*> tips[] = {{c.新增方案按钮, "新增一个监控方案"},
                                               {c.新增方案按钮1, "修改选中的方案"},
                                               {c.新增方案按钮2, "删除选中的方案"}};
  for (const auto& [button, tip] : tips) {
    char text[128] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = main;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    SendMessageA(c.tooltips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, tip);
  }
}

TEST_F(MainWindowTest, RuleListColumnsAndStyle) {
  const LONG style = GetWindowLongA(list(), GWL_STYLE);
  EXPECT_EQ(style & LVS_TYPEMASK, LVS_REPORT);
  EXPECT_TRUE(style & LVS_SINGLESEL);
  EXPECT_FALSE(style & (LVS_SORTASCENDING | LVS_SORTDESCENDING | LVS_NOSORTHEADER));
  EXPECT_TRUE(GetWindowLongA(list(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  const auto extended = static_cast<DWORD>(SendMessageA(list(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
  for (DWORD bit : {LVS_EX_CHECKBOXES, LVS_EX_GRIDLINES, LVS_EX_FULLROWSELECT, LVS_EX_FLATSB})
    EXPECT_TRUE(extended & bit) << std::hex << bit;

  const std::pair<const char*, int> columns[] = {
      {"", 18},       {"方案名称", 150}, {"链接", 0},      {"条件", 50},     {"频率", 38},
      {"当前值", 50}, {"重复", 36},      {"提醒次数", 60}, {"更新时间", 90}, {"状态", 80}};
  HWND header = reinterpret_cast<HWND>(SendMessageA(list(), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 10);
  for (int i = 0; i < 10; ++i) {
    char title[64] = {};
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = title;
    column.cchTextMax = sizeof title;
    ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(title, columns[i].first) << i;
    EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT) << i;
    EXPECT_EQ(SendMessageA(list(), LVM_GETCOLUMNWIDTH, i, 0), columns[i].second) << i;
  }
}

TEST_F(MainWindowTest, ListShowsTheStoredRules) {
  ListViewRuleList& rows = window_.List();
  ASSERT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(rows.SelectedRow(), -1);
  const struct {
    const char* id;
    const char* name;
    bool ticked;
    const char* status;
  } expected[] = {{"7", "规则7", true, "待监控"},
                  {"5", "规则5", false, "执行完毕"},
                  {"1", "规则1", false, "未开启"}};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(rows.CellText(row, kIdColumn), expected[row].id);
    EXPECT_EQ(rows.CellText(row, kNameColumn), expected[row].name);
    EXPECT_EQ(rows.Tick(row), expected[row].ticked) << row;
    EXPECT_EQ(rows.CellText(row, kStatusColumn), expected[row].status);
  }
  EXPECT_EQ(rows.CellText(1, kUrlColumn), "http://b.test/{日期}") << "the hidden link column";
  EXPECT_EQ(state_.rules.table.Read(5).listRow, 1);

  // A long value (a content rule's whole page) reads back whole.
  const std::string page(100000, 'p');
  rows.SetCellText(0, kCurrentValueColumn, page);
  EXPECT_EQ(rows.CellText(0, kCurrentValueColumn), page);
}

TEST_F(MainWindowTest, OnlyTheUsersOwnTogglesWriteTheStatus) {
  ListViewRuleList& rows = window_.List();
  // A click on the tick box of the finished rule ticks it: waiting.
  Click(TickPoint(1));
  EXPECT_TRUE(rows.Tick(1));
  EXPECT_EQ(rows.CellText(1, kStatusColumn), "待监控");
  // Space on the focused row unticks the enabled rule: not started.
  SetFocus(list());
  Select(0);
  SendMessageA(list(), WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(list(), WM_KEYUP, VK_SPACE, 0);
  Pump();
  EXPECT_FALSE(rows.Tick(0));
  EXPECT_EQ(rows.CellText(0, kStatusColumn), "未开启");

  // The program's own ticks leave the status alone.
  rows.SetCellText(2, kStatusColumn, "1无变化");
  rows.SetTick(2, true);
  rows.SetTick(2, false);
  Pump();
  EXPECT_EQ(rows.CellText(2, kStatusColumn), "1无变化");
}

class OutOfRangeRuleTest : public MainWindowTest {
  std::vector<StoredRule> Rules() const override { return {{.id = "120", .name = "太新"}}; }
};

TEST_F(OutOfRangeRuleTest, ItsTickDoesNotStay) {
  ListViewRuleList& rows = window_.List();
  ASSERT_EQ(rows.RowCount(), 1);
  EXPECT_FALSE(rows.Tick(0));
  Click(TickPoint(0));
  EXPECT_FALSE(rows.Tick(0));
  EXPECT_EQ(rows.CellText(0, kStatusColumn), kStatusNoSlot);
}

TEST_F(MainWindowTest, DeleteButtonAsksThroughRealMessageBoxes) {
  HWND deleteButton = window_.controls().新增方案按钮2;
  {
    test::MessageBoxAnswerer answerer({IDOK});
    SendMessageA(deleteButton, BM_CLICK, 0, 0);
    answerer.join();
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "信息：");
    EXPECT_EQ(answerer.seen()[0].text, "请在左边列表框，选择一行要删除的方案");
  }
  Select(1);
  {
    test::MessageBoxAnswerer answerer({IDCANCEL});
    SendMessageA(deleteButton, BM_CLICK, 0, 0);
    answerer.join();
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].title, "确认删除？");
    EXPECT_EQ(answerer.seen()[0].text, "是否删除规则： 规则5");
    EXPECT_EQ(window_.List().RowCount(), 3);
  }
  {
    test::MessageBoxAnswerer answerer({IDOK});
    SendMessageA(deleteButton, BM_CLICK, 0, 0);
    answerer.join();
    ASSERT_EQ(answerer.seen().size(), 1u);
  }
  ASSERT_EQ(window_.List().RowCount(), 2);
  EXPECT_EQ(window_.List().CellText(0, kIdColumn), "7");
  EXPECT_EQ(window_.List().CellText(1, kIdColumn), "1");
  EXPECT_EQ(state_.rules.database.Query("select id from rule where id=5").size(), 0u);
}

TEST_F(MainWindowTest, DoubleClickOpensTheSelectedRowsLink) {
  std::vector<std::string> opened;
  window_.openLink = [&](const std::string& address) { opened.push_back(address); };

  // Below the last row: nothing selected, nothing opened.
  const RECT last = RowRect(2);
  Click({last.left + 60, last.bottom + 30}, true);
  EXPECT_TRUE(opened.empty());

  // On the second row's name: its link, "{日期}" as stored.
  const RECT second = RowRect(1);
  Click({second.left + 60, (second.top + second.bottom) / 2}, true);
  EXPECT_EQ(window_.List().SelectedRow(), 1);
  EXPECT_EQ(opened, (std::vector<std::string>{"http://b.test/{日期}"}));
}

TEST_F(MainWindowTest, OtherControlsCallTheirHandlers) {
  std::vector<std::string> called;
  auto& h = window_.handlers;
  h.onNewRule = [&] { called.push_back("new"); };
  h.onStartStop = [&] { called.push_back("start"); };
  h.onPopupBoxClicked = [&] { called.push_back("popup"); };
  h.onWeChatBoxClicked = [&] { called.push_back("wechat"); };
  const auto& c = window_.controls();
  for (HWND control : {c.新增方案按钮, c.按钮1, c.选择框1, c.微信选择框, c.新增方案按钮1})
    SendMessageA(control, BM_CLICK, 0, 0);
  Pump();
  EXPECT_EQ(called, (std::vector<std::string>{"new", "start", "popup", "wechat"}));
}

TEST_F(MainWindowTest, WorkFromOtherThreadsRunsOnTheWindowsThreadInOrder) {
  const DWORD uiThread = GetCurrentThreadId();
  std::vector<int> done;
  std::atomic<bool> offThread{false};
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i)
      EXPECT_TRUE(window_.RunOnUiThread([&, i] {
        if (GetCurrentThreadId() != uiThread) offThread = true;
        done.push_back(i);
      }));
  });
  worker.join();
  PumpedWait(50, 0);
  Pump();
  ASSERT_EQ(done.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(done[i], i);
  EXPECT_FALSE(offThread);

  // Work still queued when the window goes is freed, and later work is refused.
  auto token = std::make_shared<int>(0);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(window_.RunOnUiThread([token] { ++*token; }));
  EXPECT_EQ(token.use_count(), 6);
  DestroyWindow(window_.hwnd());
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_EQ(*token, 0);
  EXPECT_FALSE(window_.RunOnUiThread([] {}));
}

TEST_F(MainWindowTest, ClosingDestroysTheTipWindowFirst) {
  bool mainStillThere = false;
  state_.startup.destroyTipWindow = [&] { mainStillThere = IsWindow(window_.hwnd()) != FALSE; };
  HWND main = window_.hwnd();
  SendMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(mainStillThere);
  EXPECT_FALSE(IsWindow(main));
}

TEST(StartUp, OpeningTheRuleDatabase) {
  const std::string kMissingText =
      " 找不到！ \r\nError：Database file ‘derov.sdb’ missing\r\n\r\n\r\n请到 Orvane 下载完整版本！";
  test::TempFolder folder;
  // A folder with a Chinese name: the path reaches SQLite whole.
  const std::string chinese = folder.File("监控");
  ASSERT_TRUE(CreateDirectoryA(chinese.c_str(), nullptr));
  const std::string good = chinese + "\\derov.sdb";
  ASSERT_TRUE(test::CreateRuleDatabase(good));
  ASSERT_TRUE(test::StoreRule(good, {.id = "3"}));
  const std::string missing = folder.File("derov.sdb");
  const std::string text = folder.File("text.sdb");
  { std::ofstream(text) << "not a database"; }
  const std::string locked = folder.File("locked.sdb");
  ASSERT_TRUE(test::CreateRuleDatabase(locked));
  // Another program holds the file and shares nothing.
  ScopedFileHandle holder(CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holder);

  const struct {
    std::string path;
    DatabaseOpening outcome;
    std::string box;
    std::string title;
    BoxStyle style;
  } cases[] = {
      {good, DatabaseOpening::kOpen, "", "", BoxStyle::kOk},
      {text, DatabaseOpening::kOpen, "", "", BoxStyle::kOk},  // found out at the first query
      {missing, DatabaseOpening::kMissing, missing + kMissingText, "启动失败", BoxStyle::kErrorOk},
      // A folder of that name is not a database file.
      {chinese, DatabaseOpening::kMissing, chinese + kMissingText, "启动失败", BoxStyle::kErrorOk},
      {locked, DatabaseOpening::kFailed, "数据库打开失败！", "信息：", BoxStyle::kOk},
  };
  for (const auto& c : cases) {
    RuleDatabase database;
    test::FakeMessageBox boxes;
    EXPECT_EQ(OpenRuleDatabase(database, c.path, boxes), c.outcome) << c.path;
    EXPECT_EQ(database.IsOpen(), c.outcome == DatabaseOpening::kOpen) << c.path;
    if (c.box.empty()) {
      EXPECT_TRUE(boxes.shown.empty()) << c.path;
    } else {
      ASSERT_EQ(boxes.shown.size(), 1u) << c.path;
      EXPECT_EQ(boxes.shown[0].text, c.box);
      EXPECT_EQ(boxes.shown[0].title, c.title);
      EXPECT_EQ(boxes.shown[0].style, c.style);
    }
    if (c.path == good) {
      EXPECT_EQ(database.Query(kRuleQuery).size(), 1u);
    }
  }
}

TEST(StartUp, ProgramFolderHoldsTheProgram) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_EQ(std::string(path).rfind(folder, 0), 0u);
  EXPECT_EQ(std::string(path).find('\\', folder.size()), std::string::npos);
}

}  // namespace
}  // namespace derov
