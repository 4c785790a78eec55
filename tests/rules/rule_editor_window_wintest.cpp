// The real rule editor over the real main window, fetching from the scripted loopback
// server and saving into a rule database file of the test's own.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/startup_win.h"
#include "rules/rule_editor_window_win.h"
#include "support/message_box_answerer_win.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"
#include "support/test_clock.h"
#include "support/test_server.h"
#include "web/winhttp_request_win.h"

namespace derov {
namespace {

using test::ScriptedResponse;

constexpr char kStartOutput[] = "*红底表示必填项";
constexpr char kWarning[] = "\r\n\r\n截取的区域源码为空！请检查区域标记\r\n\r\n";

ScriptedResponse Answer(std::string body, int status = 200, int delayMs = 0) {
  ScriptedResponse response;
  response.status = status;
  response.body = std::move(body);
  response.delayMs = delayMs;
  return response;
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void PumpFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    Pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

// Pumps until every source test thread has ended and its outcome has been handled.
bool WaitForSourceTests() {
  for (int waited = 0; waited < 40000; waited += 10) {
    if (RuleEditorWindow::SourceTestsRunning() == 0) {
      Pump();
      return true;
    }
    PumpFor(10);
  }
  return false;
}

std::string Text(HWND window) {
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

RECT PlaceIn(HWND window, HWND parent) {
  RECT rect;
  GetWindowRect(window, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Keys as the user presses them: through the thread's message queue.
void PressKey(HWND target, WPARAM key) {
  PostMessageA(target, WM_KEYDOWN, key, 1);
  PostMessageA(target, WM_KEYUP, key, 0xC0000001);
  Pump();
}

void Type(HWND box, const std::string& characters) {
  SetFocus(box);
  for (char c : characters) PostMessageA(box, WM_CHAR, static_cast<unsigned char>(c), 1);
  Pump();
}

std::vector<std::string> Rows(HWND control, UINT countMessage, UINT textMessage) {
  std::vector<std::string> rows;
  const auto count = SendMessageA(control, countMessage, 0, 0);
  for (int i = 0; i < count; ++i) {
    char text[256] = {};
    SendMessageA(control, textMessage, i, reinterpret_cast<LPARAM>(text));
    rows.emplace_back(text);
  }
  return rows;
}

std::vector<std::string> TabPages(HWND tab) {
  std::vector<std::string> pages;
  const auto count = SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0);
  for (int i = 0; i < count; ++i) {
    char text[128] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
    pages.emplace_back(text);
  }
  return pages;
}

// What the screen shows at a point of a control (its own coordinates).
COLORREF PixelAt(HWND control, int x, int y) {
  POINT point{x, y};
  ClientToScreen(control, &point);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, point.x, point.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

bool ShowsColour(HWND control, COLORREF colour) {
  RECT client;
  GetClientRect(control, &client);
  for (int y = client.top; y < client.bottom; ++y)
    for (int x = client.left; x < client.right; ++x)
      if (PixelAt(control, x, y) == colour) return true;
  return false;
}

// The real main window with its list on a database of the test's own, and the editor the
// "新建" button opens over it.
class RuleEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.ready()) << server_.problem();
    ASSERT_TRUE(test::CreateRuleDatabase(path_));
    ASSERT_TRUE(test::StoreRule(path_, {.id = "3", .name = "旧规则"}));
    WireMainWindow(state_, window_);
    window_.handlers.onCreated = [this] {
      state_.rules.database.Open(path_);
      LoadRuleList(state_.rules, window_.List());
      return true;
    };
    window_.handlers.onDestroyed = nullptr;  // no WM_QUIT into the test's own thread
    ASSERT_TRUE(window_.Create());
    window_.Show(SW_SHOWNOACTIVATE);
    editor_ = std::make_unique<RuleEditorWindow>(
        GetModuleHandleA(nullptr), RuleEditorContext{.owner = window_.hwnd(),
                                                     .store = &state_.rules,
                                                     .list = &window_.List(),
                                                     .requests = &WinHttpRequests(),
                                                     .clock = &clock_});
    window_.handlers.onNewRule = [this] { editor_->Open(); };
    ClickNew();
    ASSERT_TRUE(IsWindow(editor_->hwnd()));
  }

  void TearDown() override { EXPECT_TRUE(WaitForSourceTests()); }

  void ClickNew() {
    SendMessageA(window_.controls().新增方案按钮, BM_CLICK, 0, 0);
    Pump();
  }

  const RuleEditorWindow::Controls& c() const { return editor_->controls(); }

  // A drop-down row chosen as the user does: open the list, pick, close it.
  void Choose(HWND combo, int row) {
    SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageA(combo, CB_SETCURSEL, row, 0);
    SendMessageA(combo, CB_SHOWDROPDOWN, FALSE, 0);
    Pump();
  }

  // A click on the page's tab.
  void ShowPage(HWND tab, int page) {
    RECT rect{};
    SendMessageA(tab, TCM_GETITEMRECT, page, reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(tab, WM_LBUTTONUP, 0, at);
    Pump();
  }

  void Click(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
  }

  void SetText(HWND box, const std::string& text) { SetWindowTextA(box, text.c_str()); }

  // A rule the save accepts, on the page-state page.
  void FillMinimalRule(const std::string& name) {
    SetText(c().名称框, name);
    SetText(c().频率框, "60");
    SendMessageA(c().网页变动选择框, LB_SETCURSEL, 2, 0);
  }

  // The source test, run to its end.
  std::string RunSourceTest() {
    Click(c().测试按钮);
    EXPECT_TRUE(WaitForSourceTests());
    return Text(c().显示框);
  }

  std::vector<std::vector<std::string>> StoredRules(const std::string& columns) {
    RuleDatabase file;  // read from the file, not through the program's connection
    EXPECT_TRUE(file.Open(path_));
    return file.Query("select " + columns + " from rule order by id");
  }

  test::TestServer server_;
  test::TempFolder folder_;
  std::string path_ = folder_.File("derov.sdb");
  test::TestClock clock_{{2019, 11, 27, 14, 40, 5, 3, 0}};
  AppState state_;
  MainWindow window_{GetModuleHandleA(nullptr)};
  std::unique_ptr<RuleEditorWindow> editor_;
};

TEST_F(RuleEditorTest, WindowFrame) {
  HWND editor = editor_->hwnd();
  EXPECT_EQ(Text(editor), "方案管理");
  RECT outer;
  GetWindowRect(editor, &outer);
  EXPECT_EQ(outer.right - outer.left, 722);
  EXPECT_EQ(outer.bottom - outer.top, 417);
  EXPECT_NEAR((outer.left + outer.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
  EXPECT_NEAR((outer.top + outer.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
  EXPECT_EQ(GetWindow(editor, GW_OWNER), window_.hwnd());
  EXPECT_TRUE(IsWindowEnabled(window_.hwnd())) << "not modal";
  const LONG style = GetWindowLongA(editor, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border is fixed";
  EXPECT_FALSE(style & WS_CHILD);

  // "新建" again brings the open editor forward instead of opening a second one.
  SetText(c().名称框, "输入中");
  SetForegroundWindow(window_.hwnd());
  ASSERT_EQ(GetForegroundWindow(), window_.hwnd());
  ClickNew();
  EXPECT_EQ(editor_->hwnd(), editor);
  EXPECT_EQ(GetForegroundWindow(), editor);
  int editors = 0;
  for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "derovRuleEditor", nullptr));) {
    DWORD process = 0;
    GetWindowThreadProcessId(w, &process);
    if (process == GetCurrentProcessId()) ++editors;
  }
  EXPECT_EQ(editors, 1);
  EXPECT_EQ(Text(c().名称框), "输入中");
}

TEST_F(RuleEditorTest, EscClosesTheEditorWhereverTheFocusIs) {
  const std::function<HWND()> targets[] = {
      [this] { return c().名称框; }, [this] { return c().协议头框; },
      [this] { return c().显示框; }, [this] { return c().网页变动选择框; },
      [this] { return c().测试按钮; }};
  for (const auto& target : targets) {
    if (!editor_->hwnd()) ClickNew();
    HWND control = target();
    SetFocus(control);
    PressKey(control, VK_ESCAPE);
    EXPECT_EQ(editor_->hwnd(), nullptr) << Text(control);
  }

  // With a drop-down list open, Esc closes the list only.
  ClickNew();
  HWND combo = c().组合框1;
  SetFocus(combo);
  SendMessageA(combo, CB_SHOWDROPDOWN, TRUE, 0);
  ASSERT_TRUE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  PressKey(combo, VK_ESCAPE);
  EXPECT_FALSE(SendMessageA(combo, CB_GETDROPPEDSTATE, 0, 0));
  ASSERT_NE(editor_->hwnd(), nullptr);
  PressKey(combo, VK_ESCAPE);
  EXPECT_EQ(editor_->hwnd(), nullptr);

  // Each opening starts afresh.
  ClickNew();
  EXPECT_EQ(Text(c().名称框), "");
  EXPECT_FALSE(IsWindowEnabled(c().提交按钮));
}

TEST_F(RuleEditorTest, ControlsStandInTheirPlacesWithTheirStartStates) {
  HWND editor = editor_->hwnd();
  const auto& k = c();
  const struct {
    HWND control;
    HWND relativeTo;
    RECT place;  // left, top, right, bottom
    const char* text;
    bool enabled;
    bool visible;  // on a tab page that is not shown: hidden
  } controls[] = {
      {k.分组框1, editor, {5, 0, 328, 384}, "", true, true},
      {k.选择夹2, k.分组框1, {3, 10, 307, 164}, "", true, true},
      {k.标签2, k.选择夹2, {5, 32, 45, 144}, "网址\r\n\r\n\r\n\r\n\r\n\r\n协议头", true, true},
      {k.网址框, k.选择夹2, {40, 29, 296, 49}, "", true, true},
      {k.协议头框, k.选择夹2, {40, 56, 296, 146},
       "User-Agent: Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/67.0.3396.99 Safari/537.36\r\nCookie: ",
       true, true},
      {k.启用POST框, k.选择夹2, {8, 19, 296, 43}, "调用POST获取源码，开启后在下方输入POST数据",
       true, false},
      {k.POST数据框, k.选择夹2, {8, 48, 296, 146}, "a=1&b=2", false, false},
      {k.标签1, k.分组框1, {4, 173, 307, 376}, nullptr, true, true},
      {k.名称框, k.分组框1, {64, 171, 147, 191}, "", true, true},
      {k.频率框, editor, {215, 171, 255, 191}, "", true, true},
      {k.utf编码选择框, k.分组框1, {251, 169, 315, 193}, "utf编码", true, true},
      {k.组合框1, k.分组框1, {65, 196, 235, 216}, "网页源码作为监控文本", true, true},
      {k.测试按钮, k.分组框1, {243, 196, 307, 220}, "源码测试", true, true},
      {k.before框, editor, {69, 222, 181, 242}, "", true, true},
      {k.after框, k.分组框1, {193, 222, 305, 242}, "", true, true},
      {k.规则选择夹, editor, {66, 248, 304, 349}, "", true, true},
      {k.网页变动选择框, k.规则选择夹, {8, 34, 222, 87}, "", true, true},
      {k.关键词变化选择框, k.规则选择夹, {2, 46, 228, 95}, "", true, false},
      {k.标签4, k.规则选择夹, {8, 24, 64, 40}, "关键词", true, false},
      {k.关键词框, k.规则选择夹, {78, 23, 174, 41}, "", true, false},
      {k.数值变化选择框, k.规则选择夹, {23, 45, 198, 94}, "", true, false},
      {k.标签3, k.规则选择夹, {8, 24, 168, 40}, "x　　　　　　　　　y", true, false},
      {k.x框, k.规则选择夹, {24, 24, 80, 40}, "", true, false},
      {k.y框, k.规则选择夹, {144, 24, 200, 40}, "", true, false},
      {k.是否重复提醒选择框, k.分组框1, {62, 352, 227, 372}, "提醒一次就停止任务", true, true},
      {k.提交按钮, k.分组框1, {231, 351, 300, 375}, "保存", false, true},
      {k.显示框, editor, {332, 7, 712, 384}, kStartOutput, true, true},
  };
  for (const auto& control : controls) {
    ASSERT_TRUE(IsWindow(control.control)) << control.text;
    const RECT place = PlaceIn(control.control, control.relativeTo);
    const std::string name = control.text ? control.text : "标签1";
    EXPECT_EQ(place.left, control.place.left) << name;
    EXPECT_EQ(place.top, control.place.top) << name;
    EXPECT_EQ(place.right, control.place.right) << name;
    EXPECT_EQ(place.bottom, control.place.bottom) << name;
    if (control.text) {
      EXPECT_EQ(Text(control.control), control.text);
    }
    EXPECT_EQ(IsWindowEnabled(control.control) != FALSE, control.enabled) << name;
    EXPECT_EQ(IsWindowVisible(control.control) != FALSE, control.visible) << name;
  }

  EXPECT_EQ(TabPages(k.选择夹2),
            (std::vector<std::string>{"源码获取", "启用POST（很少用，可忽略）"}));
  EXPECT_EQ(TabPages(k.规则选择夹),
            (std::vector<std::string>{"网页变动", "关键词变化", "数值大小变化"}));
  EXPECT_EQ(SendMessageA(k.选择夹2, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageA(k.规则选择夹, TCM_GETCURSEL, 0, 0), 0);
  const struct {
    HWND control;
    bool dropDown;
    std::vector<std::string> rows;
  } lists[] = {
      {k.组合框1, true, {"网页源码作为监控文本", "截取部分源码作为监控文本"}},
      {k.是否重复提醒选择框, true, {"提醒一次就停止任务", "重复监控提醒"}},
      {k.网页变动选择框, false,
       {"网页访问不了就提醒", "网页变得能访问了就提醒", "内容发现变化了就提醒"}},
      {k.关键词变化选择框, false,
       {"出现关键词/出现次数变多时提醒", "找不到关键词/关键词出现次数减少时提醒",
        "关键词出现次数变化就提醒"}},
      {k.数值变化选择框, false,
       {"监控文本的值>x 时提醒", "监控文本的值<y 时提醒", "x<监控文本值<y 时提醒"}},
  };
  for (const auto& list : lists) {
    if (list.dropDown) {
      EXPECT_EQ(Rows(list.control, CB_GETCOUNT, CB_GETLBTEXT), list.rows);
      // A list to choose from: no typed text.
      EXPECT_EQ(GetWindowLongA(list.control, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    } else {
      EXPECT_EQ(Rows(list.control, LB_GETCOUNT, LB_GETTEXT), list.rows);
      EXPECT_EQ(SendMessageA(list.control, LB_GETCURSEL, 0, 0), LB_ERR) << "no row selected";
    }
  }
  for (HWND box : {k.启用POST框, k.utf编码选择框})
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  const LONG outputStyle = GetWindowLongA(k.显示框, GWL_STYLE);
  EXPECT_TRUE((outputStyle & ES_MULTILINE) && (outputStyle & WS_VSCROLL));

  // The other pages show their own controls only.
  ShowPage(k.规则选择夹, 2);
  for (HWND shown : {k.数值变化选择框, k.标签3, k.x框, k.y框}) EXPECT_TRUE(IsWindowVisible(shown));
  for (HWND hidden : {k.网页变动选择框, k.关键词框}) EXPECT_FALSE(IsWindowVisible(hidden));
  ShowPage(k.选择夹2, 1);
  EXPECT_TRUE(IsWindowVisible(k.启用POST框));
  EXPECT_FALSE(IsWindowVisible(k.网址框));
}

TEST_F(RuleEditorTest, ColoursOnTheScreen) {
  const auto& k = c();
  const COLORREF mandatory = 0xD4EEFF;
  auto expectBackground = [](HWND control, COLORREF colour) {
    RECT client;
    GetClientRect(control, &client);
    // Bottom right inside the border: no text there.
    EXPECT_EQ(PixelAt(control, client.right - 3, client.bottom - 3), colour) << Text(control);
  };
  for (HWND box : {k.网址框, k.名称框, k.频率框, k.before框, k.after框, k.网页变动选择框})
    expectBackground(box, mandatory);
  expectBackground(k.协议头框, 0xE0E0E0);
  RECT output;
  GetClientRect(k.显示框, &output);
  EXPECT_EQ(PixelAt(k.显示框, 10, output.bottom - 10), 0xFEFCF8u);
  ShowPage(k.规则选择夹, 1);
  for (HWND box : {k.关键词变化选择框, k.关键词框}) expectBackground(box, mandatory);
  ShowPage(k.规则选择夹, 2);
  for (HWND box : {k.数值变化选择框, k.x框, k.y框}) expectBackground(box, mandatory);

  // The drop-down boxes write in orange; the repeat box sits on the mandatory colour.
  SetFocus(k.网址框);
  UpdateWindow(editor_->hwnd());
  EXPECT_TRUE(ShowsColour(k.组合框1, 0x006AFF));
  EXPECT_TRUE(ShowsColour(k.是否重复提醒选择框, 0x006AFF));
  EXPECT_TRUE(ShowsColour(k.是否重复提醒选择框, mandatory));
}

TEST_F(RuleEditorTest, PeriodBoxTakesDigitsAndMinusAndNormalisesOnLeaving) {
  const struct {
    const char* typed;
    const char* shown;
    const char* afterLeaving;
  } cases[] = {
      {"1a2,-3 x", "12-3", "12"},
      {"-45", "-45", "-45"},
      {"007", "007", "7"},
      {"0", "0", ""},
      {"99999999999", "99999999999", "2147483647"},
      {"--8", "--8", ""},
  };
  for (const auto& one : cases) {
    SetText(c().频率框, "");
    Type(c().频率框, one.typed);
    EXPECT_EQ(Text(c().频率框), one.shown) << one.typed;
    SetFocus(c().名称框);
    Pump();
    EXPECT_EQ(Text(c().频率框), one.afterLeaving) << one.typed;
  }
}

TEST_F(RuleEditorTest, WatchModeSwitchesTheMarkerBoxes) {
  Choose(c().组合框1, 0);
  EXPECT_FALSE(IsWindowEnabled(c().before框));
  EXPECT_FALSE(IsWindowEnabled(c().after框));
  Choose(c().组合框1, 1);
  EXPECT_TRUE(IsWindowEnabled(c().before框));
  EXPECT_TRUE(IsWindowEnabled(c().after框));
}

TEST_F(RuleEditorTest, PostBoxTakesAwayAndRestoresTheSample) {
  HWND box = c().启用POST框;
  HWND data = c().POST数据框;
  Click(box);
  EXPECT_TRUE(IsWindowEnabled(data));
  EXPECT_EQ(Text(data), "");
  Click(box);
  EXPECT_FALSE(IsWindowEnabled(data));
  EXPECT_EQ(Text(data), "a=1&b=2");

  // Only the sample goes; the user's own data stays, and stays when unticked.
  SetText(data, "a=1&b=2k=v&a=1&b=2");
  Click(box);
  EXPECT_EQ(Text(data), "k=v&");
  Click(box);
  EXPECT_EQ(Text(data), "k=v&");
}

TEST_F(RuleEditorTest, SaveIsEnabledAsSoonAsTheSourceTestStarts) {
  ASSERT_TRUE(server_.Script("slow", Answer("page", 200, 1500)));
  EXPECT_FALSE(IsWindowEnabled(c().提交按钮));
  SetText(c().网址框, server_.Url("slow"));
  Click(c().测试按钮);
  EXPECT_TRUE(IsWindowEnabled(c().提交按钮));
  EXPECT_EQ(RuleEditorWindow::SourceTestsRunning(), 1) << "the test runs on its own";
  EXPECT_EQ(Text(c().显示框), kStartOutput);
  ASSERT_TRUE(WaitForSourceTests());
  EXPECT_EQ(Text(c().显示框), "网页状态码：200\r\npage");
  EXPECT_TRUE(IsWindowEnabled(c().提交按钮));
}

TEST_F(RuleEditorTest, SourceTestShowsTheStatusAndTheWholeSource) {
  const std::string page = "<p>价格：<b>12</b></p>\r\n尾";
  const std::string utf8 = "\xE4\xBB\xB7\xE6\xA0\xBC";  // 价格 in UTF-8
  const int unused = server_.UnusedPort();
  ASSERT_NE(unused, 0);
  const struct {
    const char* name;
    ScriptedResponse response;
    bool utf;
    int mode;
    const char* before;
    const char* after;
    std::string expected;
  } cases[] = {
      {"whole", Answer(page), false, 0, "", "", "网页状态码：200\r\n" + page},
      {"cut", Answer(page), false, 1, "<b>", "</b>", "网页状态码：200\r\n" + page},
      {"no-marker", Answer(page), false, 1, "<i>", "</b>",
       "网页状态码：200" + std::string(kWarning) + page},
      {"gone", Answer("无此页", 404), false, 0, "", "", "网页状态码：404\r\n无此页"},
      {"utf-raw", Answer(utf8), false, 0, "", "", "网页状态码：200\r\n" + utf8},
      {"utf", Answer(utf8), true, 0, "", "", "网页状态码：200\r\n价格"},
      {"down", Answer(""), false, 1, "<b>", "</b>", "网页状态码：0\r\n"},
  };
  for (const auto& one : cases) {
    const std::string name = one.name;
    const bool down = name == "down";
    ASSERT_TRUE(down || server_.Script(name, one.response));
    SetText(c().网址框,
            down ? "http://127.0.0.1:" + std::to_string(unused) + "/" : server_.Url(name));
    SendMessageA(c().utf编码选择框, BM_SETCHECK, one.utf ? BST_CHECKED : BST_UNCHECKED, 0);
    Choose(c().组合框1, one.mode);
    SetText(c().before框, one.before);
    SetText(c().after框, one.after);
    SetText(c().显示框, "");
    EXPECT_EQ(RunSourceTest(), one.expected) << name;
  }
}

TEST_F(RuleEditorTest, SourceTestSendsWhatTheEditorHolds) {
  ASSERT_TRUE(server_.Script("day/20191127", Answer("ok")));
  SetText(c().网址框, server_.Url("day/{日期}"));
  SetText(c().协议头框, "X-Probe: 1\r\nCookie: k=v");
  // POST ticked on an empty data box: a GET.
  Click(c().启用POST框);
  EXPECT_EQ(RunSourceTest(), "网页状态码：200\r\nok");
  // With data: a POST of that data.
  SetText(c().POST数据框, "q=监控&n=1");
  EXPECT_EQ(RunSourceTest(), "网页状态码：200\r\nok");

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].Header("X-Probe"), "1");
  EXPECT_EQ(requests[0].Header("Cookie"), "k=v");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(requests[1].path, server_.Path("day/20191127"));
  EXPECT_EQ(requests[1].body, "q=\xE7\x9B\x91\xE6\x8E\xA7&n=1");  // the object sends text as UTF-8
}

TEST_F(RuleEditorTest, CutWithoutMarkersIsRefusedAfterTheFetch) {
  ASSERT_TRUE(server_.Script("page", Answer("<b>1</b>")));
  SetText(c().网址框, server_.Url("page"));
  Choose(c().组合框1, 1);
  SetText(c().before框, "<b>");
  test::MessageBoxAnswerer answerer({IDOK});
  Click(c().测试按钮);
  ASSERT_TRUE(WaitForSourceTests());
  answerer.join();
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].title, "信息：");
  EXPECT_EQ(answerer.seen()[0].text,
            "你选择了　截取部分源码作为监控文本，却不填区域标记\r\n"
            "软件怎么知道从源码的哪个位置截到哪啊");
  EXPECT_EQ(Text(c().显示框), kStartOutput);
  EXPECT_EQ(server_.Requests().size(), 1u);
}

TEST_F(RuleEditorTest, SaveRefusesAnIncompleteCondition) {
  const struct {
    int page;
    int row;
    const char* keyword;
    const char* x;
    const char* message;
  } cases[] = {
      {0, -1, "", "", "请选择1行网页变动的提醒条件"},
      {1, -1, "价格", "", "关键词或关键词判断条件不能空"},
      {1, 0, "", "", "关键词或关键词判断条件不能空"},
      {2, -1, "", "5", "xy值或关键词判断条件不能空"},
      {2, 2, "", "", "xy值或关键词判断条件不能空"},
  };
  Click(c().测试按钮);  // against nothing: it only enables the save
  ASSERT_TRUE(WaitForSourceTests());
  SetText(c().频率框, "60");
  const HWND lists[] = {c().网页变动选择框, c().关键词变化选择框, c().数值变化选择框};
  for (const auto& one : cases) {
    ShowPage(c().规则选择夹, one.page);
    SendMessageA(lists[one.page], LB_SETCURSEL, one.row, 0);
    SetText(c().关键词框, one.keyword);
    SetText(c().x框, one.x);
    SetText(c().y框, "9");
    test::MessageBoxAnswerer answerer({IDOK});
    Click(c().提交按钮);
    answerer.join();
    ASSERT_EQ(answerer.seen().size(), 1u) << one.message;
    EXPECT_EQ(answerer.seen()[0].text, one.message);
    EXPECT_EQ(answerer.seen()[0].title, "信息：");
    ASSERT_NE(editor_->hwnd(), nullptr);
  }
  EXPECT_EQ(StoredRules("id").size(), 1u);
}

TEST_F(RuleEditorTest, SaveFailsWithoutAPeriodAndTheEditorStays) {
  Click(c().测试按钮);
  ASSERT_TRUE(WaitForSourceTests());
  FillMinimalRule("无周期");
  for (const char* period : {"", "0"}) {
    SetText(c().频率框, "");
    Type(c().频率框, period);
    SetFocus(c().名称框);  // "0" empties the box as it loses the focus
    test::MessageBoxAnswerer answerer({IDOK});
    Click(c().提交按钮);
    answerer.join();
    ASSERT_EQ(answerer.seen().size(), 1u) << period;
    EXPECT_EQ(answerer.seen()[0].text, "保存失败");
    ASSERT_NE(editor_->hwnd(), nullptr);
    EXPECT_EQ(Text(c().名称框), "无周期");
  }
  EXPECT_EQ(StoredRules("id").size(), 1u);
  EXPECT_EQ(window_.List().RowCount(), 1);
}

// What the user sees at "保存成功": the list already reloaded, the editor still open.
struct SuccessBox {
  test::SeenBox box;
  int rows = 0;
  std::string topName;
  bool topTicked = false;
  bool editorOpen = false;
};

TEST_F(RuleEditorTest, SavedRulesReachTheDatabaseExactlyAsTyped) {
  ASSERT_TRUE(server_.Script("page", Answer("<a href=\"x\">")));
  const struct {
    std::function<void()> fill;
    std::vector<std::string> stored;  // the columns read back below, in order
  } cases[] = {
      {[this] {
         SetText(c().名称框, "张三's #1");
         SetText(c().网址框, server_.Url("page") + "?d={日期}&q='a'#top");
         SetText(c().协议头框, "Cookie: s='1'#2");
         Type(c().频率框, "90");
         Click(c().utf编码选择框);
         Choose(c().组合框1, 1);
         SetText(c().before框, "<a href=#引号");
         SetText(c().after框, "#引号>");
         ShowPage(c().规则选择夹, 1);
         SendMessageA(c().关键词变化选择框, LB_SETCURSEL, 2, 0);
         SetText(c().关键词框, "价'格#");
         Choose(c().是否重复提醒选择框, 1);
         Click(c().启用POST框);  // ticked on an empty data box: no POST
       },
       {"张三's #1", server_.Url("page") + "?d={日期}&q='a'#top", "0", "Cookie: s='1'#2", "0", "",
        "90", "1", "<a href=#引号", "#引号>", "2", "23{[价'格#]}", "1", "19/11/27  02:40", "0",
        "1", "0", ""}},
      {[this] {
         SetText(c().名称框, "数值");
         SetText(c().网址框, server_.Url("page"));
         Type(c().频率框, "30");
         SetText(c().before框, "typed but not cut");  // row 0 of 组合框1: markers not saved
         ShowPage(c().规则选择夹, 2);
         SendMessageA(c().数值变化选择框, LB_SETCURSEL, 0, 0);
         SetText(c().x框, "5");  // y may stay empty
         Click(c().启用POST框);
         SetText(c().POST数据框, "a=1");
       },
       {"数值", server_.Url("page"), "1",
        "User-Agent: Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
        "Chrome/67.0.3396.99 Safari/537.36\r\nCookie: ",
        "1", "a=1", "30", "0", "", "", "3", "31{5}[]", "0", "19/11/27  02:40", "0", "1", "0", ""}},
  };
  for (const auto& one : cases) {
    if (!editor_->hwnd()) ClickNew();
    one.fill();
    Click(c().测试按钮);
    ASSERT_TRUE(WaitForSourceTests());

    SuccessBox seen;
    std::thread user([&] {
      HWND box = test::WaitForMessageBox(GetCurrentProcessId());
      if (!box) return;
      seen.box = test::ReadMessageBox(box);
      seen.rows = window_.List().RowCount();
      seen.topName = window_.List().CellText(0, kNameColumn);
      seen.topTicked = window_.List().Tick(0);
      seen.editorOpen = IsWindowVisible(editor_->hwnd()) != FALSE;
      test::AnswerMessageBox(box, IDOK);
    });
    const int rowsBefore = window_.List().RowCount();
    Click(c().提交按钮);
    user.join();
    EXPECT_EQ(seen.box.text, "保存成功");
    EXPECT_EQ(seen.box.title, "信息：");
    EXPECT_EQ(seen.rows, rowsBefore + 1);
    EXPECT_EQ(seen.topName, one.stored[0]);
    EXPECT_TRUE(seen.topTicked);
    EXPECT_TRUE(seen.editorOpen);
    EXPECT_EQ(editor_->hwnd(), nullptr) << "closed once the message was confirmed";

    const auto rows = StoredRules(
        "name,url,isgbk,head,ispost,postdata,plv,isjiequ,before,after,type,saverule,isrep,ctime,"
        "isend,isopen,val_old,ltime");
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), one.stored);
  }
}

// Answers every message box of the process with OK until stopped, noting their texts.
class BoxAnswerer {
 public:
  BoxAnswerer()
      : thread_([this] {
          while (!stop_) {
            HWND box = test::WaitForMessageBox(GetCurrentProcessId(), 100);
            if (!box) continue;
            texts_.push_back(test::ReadMessageBox(box).text);
            test::AnswerMessageBox(box, IDOK);
            for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
          }
        }) {}
  ~BoxAnswerer() { Stop(); }
  // The texts of the boxes answered.
  const std::vector<std::string>& Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return texts_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::vector<std::string> texts_;
  std::thread thread_;
};

TEST_F(RuleEditorTest, AClickWhileTheSaveWaitsForTheDatabaseSavesNothingMore) {
  Click(c().测试按钮);
  ASSERT_TRUE(WaitForSourceTests());
  FillMinimalRule("一次");
  // A worker holds the database; the save waits, dispatching messages, and meets a second
  // click there.
  std::atomic<bool> held{false};
  std::thread worker([&] {
    const RuleDatabase::Hold hold = state_.rules.database.Take();
    held = true;
    Sleep(1000);
  });
  while (!held) Sleep(5);
  BoxAnswerer user;
  PostMessageA(c().提交按钮, BM_CLICK, 0, 0);
  SendMessageA(c().提交按钮, BM_CLICK, 0, 0);
  worker.join();
  Pump();
  EXPECT_EQ(user.Stop(), std::vector<std::string>{"保存成功"});
  EXPECT_EQ(StoredRules("name"), (std::vector<std::vector<std::string>>{{"旧规则"}, {"一次"}}));
  EXPECT_EQ(editor_->hwnd(), nullptr);
}

TEST_F(RuleEditorTest, ClosingDuringASlowSourceTestTouchesNothing) {
  ASSERT_TRUE(server_.Script("slow", Answer("late", 200, 1500)));
  SetText(c().网址框, server_.Url("slow"));
  Click(c().测试按钮);
  ASSERT_EQ(RuleEditorWindow::SourceTestsRunning(), 1);
  SendMessageA(editor_->hwnd(), WM_CLOSE, 0, 0);
  EXPECT_EQ(editor_->hwnd(), nullptr);

  // A newer editor is not the one the test reports to.
  ClickNew();
  ASSERT_TRUE(WaitForSourceTests());
  EXPECT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(Text(c().显示框), kStartOutput);
  EXPECT_FALSE(IsWindowEnabled(c().提交按钮));

  // The program goes on: the new editor tests and saves.
  SetText(c().网址框, server_.Url("slow"));
  EXPECT_EQ(RunSourceTest(), "网页状态码：200\r\nlate");
  FillMinimalRule("之后");
  test::MessageBoxAnswerer answerer({IDOK});
  Click(c().提交按钮);
  answerer.join();
  ASSERT_EQ(answerer.seen().size(), 1u);
  EXPECT_EQ(answerer.seen()[0].text, "保存成功");
  EXPECT_EQ(window_.List().CellText(0, kNameColumn), "之后");
}

}  // namespace
}  // namespace derov
