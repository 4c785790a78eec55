#include "app/main_window_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include "rules/rule_list.h"
#include "version.h"

namespace derov {
namespace {

constexpr char kClassName[] = "derovMainWindow";
constexpr char kTitle[] = "diruzirivi v" DEROV_VERSION "（监控网页状态与关键词变化）";
constexpr char kLogIntroduction[] =
    "\r\n开发计划：\r\n1、邮件提醒\r\n2、同时监控多个关键词\r\n3、微信提醒";

// Work handed over by RunOnUiThread; lParam owns a std::function<void()>.
constexpr UINT kRunOnUiThreadMessage = WM_APP + 1;

enum ControlId : int {
  kListId = 1001,  // above IDOK/IDCANCEL, which a stray Esc or Enter could send
  kGroupId,
  kNewRuleId,
  kEditRuleId,
  kDeleteRuleId,
  kStartStopId,
  kPopupBoxId,
  kWeChatBoxId,
  kLogId,
};

struct Column {
  const char* title;
  int width;
};
constexpr Column kColumns[kRuleColumnCount] = {
    {"", 18},       {"方案名称", 150}, {"链接", 0},      {"条件", 50},     {"频率", 38},
    {"当前值", 50}, {"重复", 36},      {"提醒次数", 60}, {"更新时间", 90}, {"状态", 80},
};

// The group box's place; the three rule buttons are placed relative to it.
constexpr int kGroupX = 610;
constexpr int kGroupY = -2;

void Run(const std::function<void()>& handler) {
  if (handler) handler();
}

bool RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXA windowClass{};
  if (GetClassInfoExA(instance, kClassName, &windowClass)) return true;
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  return RegisterClassExA(&windowClass) != 0;
}

HFONT CreateMessageFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return nullptr;
  return CreateFontIndirectA(&metrics.lfMessageFont);
}

void OpenWithShell(HWND owner, const std::string& address) {
  ShellExecuteA(owner, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance)
    : openLink([this](const std::string& address) { OpenWithShell(hwnd(), address); }),
      instance_(instance) {}

MainWindow::~MainWindow() {
  if (HWND window = hwnd()) DestroyWindow(window);
}

bool MainWindow::Create() {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                   ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  if (!RegisterWindowClass(instance_, &ObjectWindowProcedure<MainWindow>)) return false;

  const int x = (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2;
  // A fixed border, a minimise box and no maximise box: the window keeps its size.
  // No WS_CLIPCHILDREN: the group box around the rule buttons paints only its frame and
  // leaves its inside to the main window's background.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  return CreateWindowExA(0, kClassName, kTitle, style, x, y, kOuterWidth, kOuterHeight, nullptr,
                         nullptr, instance_, this) != nullptr;
}

void MainWindow::Show(int showCommand) {
  ShowWindow(hwnd(), showCommand);
  UpdateWindow(hwnd());
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate() ? 0 : -1;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case kRunOnUiThreadMessage:
      OnRunOnUiThread(lParam);
      return 0;
    case WM_CLOSE:
      if (handlers.onClosing)
        handlers.onClosing();
      else
        DestroyWindow(hwnd());
      return 0;
    case WM_DESTROY:
      Run(handlers.onDestroyed);
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    default:
      return DefWindowProcA(hwnd(), message, wParam, lParam);
  }
}

bool MainWindow::OnCreate() {
  CreateControls();
  return !handlers.onCreated || handlers.onCreated();
}

void MainWindow::CreateControls() {
  font_.reset(CreateMessageFont());
  logBrush_.reset(CreateSolidBrush(kLogBackground));

  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  controls_.超级列表框 = CreateChild(
      WC_LISTVIEWA, "", kChild | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
      WS_EX_CLIENTEDGE, 8, 5, 600, 400, kListId);
  list_.Attach(controls_.超级列表框);
  CreateListColumns();

  controls_.分组框1 = CreateChild("BUTTON", "", kChild | BS_GROUPBOX | WS_CLIPSIBLINGS, 0,
                                  kGroupX, kGroupY, 160, 36, kGroupId);
  constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
  controls_.新增方案按钮 = CreateChild("BUTTON", "新建", kButton, 0, kGroupX + 5, kGroupY + 9,
                                       48, 24, kNewRuleId);
  controls_.新增方案按钮1 = CreateChild("BUTTON", "修改", kButton | WS_DISABLED, 0,
                                        kGroupX + 56, kGroupY + 9, 48, 24, kEditRuleId);
  controls_.新增方案按钮2 = CreateChild("BUTTON", "删除", kButton, 0, kGroupX + 105,
                                        kGroupY + 9, 48, 24, kDeleteRuleId);
  // The group box lies under its buttons and does not paint over them.
  SetWindowPos(controls_.分组框1, HWND_BOTTOM, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  controls_.按钮1 = CreateChild("BUTTON", "开始监控", kButton, 0, 611, 35, 157, 31, kStartStopId);
  constexpr DWORD kCheckBox = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
  controls_.选择框1 = CreateChild("BUTTON", "有变化时弹窗提醒我", kCheckBox, 0, 616, 72, 152,
                                  16, kPopupBoxId);
  controls_.微信选择框 = CreateChild("BUTTON", "有变化时微信通知我", kCheckBox, 0, 616, 90,
                                     152, 16, kWeChatBoxId);
  controls_.显示框 = CreateChild(
      "EDIT", kLogIntroduction,
      kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
      WS_EX_CLIENTEDGE, 611, 144, 157, 261, kLogId);
  // The log only grows; the edit box's default limit would cut it off.
  SendMessageA(controls_.显示框, EM_SETLIMITTEXT, 0, 0);
  CreateTooltips();
}

HWND MainWindow::CreateChild(const char* className, const char* text, DWORD style,
                             DWORD exStyle, int x, int y, int width, int height, int id) {
  HWND child = CreateWindowExA(exStyle, className, text, style, x, y, width, height, hwnd(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                               nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return child;
}

void MainWindow::CreateListColumns() {
  HWND list = controls_.超级列表框;
  constexpr DWORD kListStyle =
      LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, kListStyle, kListStyle);
  for (int i = 0; i < kRuleColumnCount; ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = kColumns[i].width;
    column.pszText = const_cast<char*>(kColumns[i].title);
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

void MainWindow::CreateTooltips() {
  controls_.tooltips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                       WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, instance_,
                                       nullptr);
  const struct {
    HWND button;
    const char* tip;
  } tips[] = {{controls_.新增方案按钮, "新增一个监控方案"},
              {controls_.新增方案按钮1, "修改选中的方案"},
              {controls_.新增方案按钮2, "删除选中的方案"}};
  for (const auto& tip : tips) {
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;  // understood by every common controls version
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd();
    tool.uId = reinterpret_cast<UINT_PTR>(tip.button);
    tool.lpszText = const_cast<char*>(tip.tip);
    SendMessageA(controls_.tooltips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainWindow::OnCommand(int controlId, int notification) {
  if (notification != BN_CLICKED) return;
  switch (controlId) {
    case kNewRuleId: Run(handlers.onNewRule); break;
    case kDeleteRuleId: Run(handlers.onDeleteRule); break;
    case kStartStopId: Run(handlers.onStartStop); break;
    case kPopupBoxId: Run(handlers.onPopupBoxClicked); break;
    case kWeChatBoxId: Run(handlers.onWeChatBoxClicked); break;
    default: break;  // IDCANCEL from Esc among them: the window stays
  }
}

LRESULT MainWindow::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != controls_.超级列表框) return 0;
  if (header.code == NM_DBLCLK) {
    OpenRuleLink();
  } else if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    const UINT before = TickImage(change.uOldState);
    const UINT after = TickImage(change.uNewState);
    // A new row getting its tick box (0 to 1) and the program's own ticks are not the
    // user's toggles.
    if ((change.uChanged & LVIF_STATE) && change.iItem >= 0 && before != 0 && after != 0 &&
        before != after && !list_.SettingTick())
      OnRuleTickChanged(change.iItem, after == 2 ? 1 : 0);
  }
  return 0;
}

void MainWindow::OnRuleTickChanged(int row, int state) {
  if (!RowHasSlot(list_, row)) {
    // A rule without a slot can never be monitored: its tick does not stay.
    if (state) list_.SetTick(row, false);
    return;
  }
  list_.SetCellText(row, kStatusColumn, state == 1 ? kStatusWaiting : kStatusDisabled);
}

void MainWindow::OpenRuleLink() {
  const int row = list_.SelectedRow();
  if (row < 0 || !openLink) return;
  openLink(list_.CellText(row, kUrlColumn));
}

LRESULT MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  if (control == controls_.显示框) {
    SetBkColor(dc, kLogBackground);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(logBrush_.get());
  }
  return DefWindowProcA(hwnd(), message, reinterpret_cast<WPARAM>(dc),
                        reinterpret_cast<LPARAM>(control));
}

bool MainWindow::RunOnUiThread(std::function<void()> work) {
  auto payload = std::make_unique<std::function<void()>>(std::move(work));
  std::lock_guard lock(postLock_);
  HWND window = hwnd();
  if (!window ||
      !PostMessageA(window, kRunOnUiThreadMessage, 0, reinterpret_cast<LPARAM>(payload.get())))
    return false;
  payload.release();  // the handler (or the window's end) owns it now
  return true;
}

void MainWindow::OnRunOnUiThread(LPARAM payload) {
  std::unique_ptr<std::function<void()>> work(reinterpret_cast<std::function<void()>*>(payload));
  if (work && *work) (*work)();
}

void MainWindow::OnNcDestroy() {
  HWND window = hwnd();
  {
    std::lock_guard lock(postLock_);
    hwnd_ = nullptr;
  }
  DropQueuedMessages(window, kRunOnUiThreadMessage, [](LPARAM payload) {
    delete reinterpret_cast<std::function<void()>*>(payload);
  });
  list_.Attach(nullptr);
  controls_ = {};
}

}  // namespace derov
