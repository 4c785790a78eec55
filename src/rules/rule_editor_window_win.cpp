#include "rules/rule_editor_window_win.h"

#include <commctrl.h>

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "rules/message_box_win.h"
#include "text/date_time.h"
#include "text/text.h"
#include "web/web_request.h"

namespace derov {
namespace {

constexpr char kClassName[] = "derovRuleEditor";
constexpr char kTitle[] = "方案管理";
constexpr char kPostSample[] = "a=1&b=2";
constexpr char kDefaultHeaders[] =
    "User-Agent: Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/67.0.3396.99 Safari/537.36\r\nCookie: ";
constexpr int kSourceTestTimeoutSeconds = 30;
constexpr int kCutModeRow = 1;  // 组合框1: "截取部分源码作为监控文本"
constexpr int kRepeatRow = 1;   // 是否重复提醒选择框: "重复监控提醒"

// A source test's outcome; lParam owns a SourceTestResult.
constexpr UINT kSourceTestDoneMessage = WM_APP + 1;

enum ControlId : int {
  kGroupId = 1001,  // above IDOK/IDCANCEL, which Enter and Esc send
  kSourceTabId,
  kLabel2Id,
  kUrlId,
  kHeadId,
  kPostBoxId,
  kPostDataId,
  kLabel1Id,
  kNameId,
  kPeriodId,
  kUtfBoxId,
  kWatchModeId,
  kTestButtonId,
  kBeforeId,
  kAfterId,
  kRuleTabId,
  kPageStateListId,
  kKeywordListId,
  kLabel4Id,
  kKeywordId,
  kNumberListId,
  kLabel3Id,
  kXId,
  kYId,
  kRepeatId,
  kSaveId,
  kOutputId,
};

// Containers: the places of the controls inside them are relative to their top-left.
constexpr POINT kWindowOrigin = {0, 0};
constexpr POINT kGroupOrigin = {5, 0};
constexpr POINT kSourceTabOrigin = {kGroupOrigin.x + 3, kGroupOrigin.y + 10};
constexpr POINT kRuleTabOrigin = {66, 248};

// The row captions of 标签1, each beside its row, relative to the label; the line joins the
// two marker boxes, which hide all of it but the gap between them.
struct Caption {
  const char* text;
  int x;
  int y;
};
constexpr Caption kCaptions[] = {
    {"方案名称", 0, 2},  {"监控周期/s", 146, 2},
    {"监控文本", 0, 27}, {"区间标记", 0, 53},
    {"_____________________", 110, 45},
    {"依据规则", 0, 79}, {"重复提醒", 0, 183},
};
constexpr char kLabel1Text[] =
    "方案名称 监控周期/s\r\n监控文本\r\n区间标记 _____________________\r\n依据规则\r\n重复提醒";

std::atomic<int> sourceTestsRunning{0};

HFONT CreateMessageFont() {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
    return nullptr;
  return CreateFontIndirectA(&metrics.lfMessageFont);
}

bool RegisterEditorClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
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

bool HasClass(HWND window, const char* name) {
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  return lstrcmpiA(className, name) == 0;
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(window, text.data(), length + 1)));
  return text;
}

bool IsTicked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
int ComboRow(HWND box) { return static_cast<int>(SendMessageA(box, CB_GETCURSEL, 0, 0)); }
int ListRow(HWND list) { return static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0)); }
int TabPage(HWND tab) { return static_cast<int>(SendMessageA(tab, TCM_GETCURSEL, 0, 0)); }

void AddRows(HWND control, UINT addMessage, std::initializer_list<const char*> rows) {
  for (const char* row : rows) SendMessageA(control, addMessage, 0, reinterpret_cast<LPARAM>(row));
}

void AddTabPages(HWND tab, std::initializer_list<const char*> pages) {
  int index = 0;
  for (const char* page : pages) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(page);
    SendMessageA(tab, TCM_INSERTITEMA, index++, reinterpret_cast<LPARAM>(&item));
  }
}

// A drop-down box is created tall enough for its list; the height of its closed field is
// the item height asked for plus a frame that differs between systems (and Wine keeps 2
// pixels more than it reports): corrected until the field has the height wanted.
constexpr int kDropDownItemHeight = 16;

void SetFieldHeight(HWND combo, int height) {
  const auto field = static_cast<WPARAM>(-1);
  auto request = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, field, 0));
  for (int attempt = 0; attempt < 4; ++attempt) {
    RECT rect;
    GetWindowRect(combo, &rect);
    const int difference = height - (rect.bottom - rect.top);
    if (difference == 0 || request + difference <= 0) return;
    request += difference;
    SendMessageA(combo, CB_SETITEMHEIGHT, field, request);
  }
}

}  // namespace

// Where a source test hands its outcome to the window thread. It lives as long as the
// longer of the editor's window and the tests started in it; once the window is gone,
// nothing more is posted, and what is still queued is freed by the window's end.
class RuleEditorWindow::Mailbox {
 public:
  explicit Mailbox(HWND window) : window_(window) {}

  void Post(std::unique_ptr<SourceTestResult> result) {
    std::lock_guard lock(lock_);
    if (window_ && PostMessageA(window_, kSourceTestDoneMessage, 0,
                                reinterpret_cast<LPARAM>(result.get())))
      result.release();  // the window's handler (or its end) owns it now
  }

  void Close() {
    std::lock_guard lock(lock_);
    window_ = nullptr;
  }

 private:
  std::mutex lock_;
  HWND window_;
};

// Everything a source test needs, read from the controls when it was started.
struct RuleEditorWindow::SourceTestJob {
  std::string address;  // the url, "{日期}" replaced by today
  int method = 0;
  std::string postText;
  std::string headers;
  bool utf = false;
  bool cut = false;
  std::string before;
  std::string after;
  RequestObjectFactory* requests = nullptr;
  std::shared_ptr<Mailbox> mailbox;
};

struct RuleEditorWindow::SourceTestResult {
  int statusCode = 0;
  std::string page;
  bool missingMarkers = false;
  bool cutEmpty = false;
};

RuleEditorWindow::RuleEditorWindow(HINSTANCE instance, const RuleEditorContext& context)
    : instance_(instance), context_(context) {}

RuleEditorWindow::~RuleEditorWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
}

int RuleEditorWindow::SourceTestsRunning() { return sourceTestsRunning.load(); }

bool RuleEditorWindow::Open() {
  if (hwnd_) {
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
    BringWindowToTop(hwnd_);
    return true;
  }
  if (!RegisterEditorClass(instance_, &ObjectWindowProcedure<RuleEditorWindow>)) return false;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kOuterWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kOuterHeight) / 2;
  // A fixed border, a minimise box and no maximise box. The window's background is painted
  // under its children too: the group box draws only its frame.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  if (!CreateWindowExA(0, kClassName, kTitle, style, x, y, kOuterWidth, kOuterHeight,
                       context_.owner, nullptr, instance_, this))
    return false;
  ShowWindow(hwnd_, SW_SHOW);
  UpdateWindow(hwnd_);
  SetFocus(controls_.网址框);
  return true;
}

LRESULT RuleEditorWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                             reinterpret_cast<HWND>(lParam));
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = kDropDownItemHeight;
      return TRUE;
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case kSourceTestDoneMessage:
      OnSourceTestDone(lParam);
      return 0;
    case WM_CLOSE:
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_NCDESTROY:
      OnNcDestroy();
      return 0;
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

void RuleEditorWindow::OnCreate() {
  mailbox_ = std::make_shared<Mailbox>(hwnd_);
  saving_ = false;
  font_.reset(CreateMessageFont());
  mandatoryBrush_.reset(CreateSolidBrush(kMandatoryBackground));
  headerBrush_.reset(CreateSolidBrush(kHeaderBackground));
  outputBrush_.reset(CreateSolidBrush(kOutputBackground));
  CreateControls();
  keyboardHook_.reset(SetWindowsHookExA(WH_GETMESSAGE, &RuleEditorWindow::KeyboardHook, nullptr,
                                        GetCurrentThreadId()));
}

void RuleEditorWindow::CreateControls() {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  controls_.分组框1 = CreateChild("BUTTON", "", kChild | BS_GROUPBOX, 0, kWindowOrigin, 5, 0,
                                  323, 384, kGroupId);
  CreateSourcePages();

  constexpr DWORD kEdit = kChild | WS_TABSTOP | ES_AUTOHSCROLL;
  // Drawn by the editor: a themed drop-down list would ignore the colours asked of it.
  constexpr DWORD kDropDown = kChild | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                              CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
  controls_.标签1 = CreateChild("STATIC", kLabel1Text, kChild | SS_OWNERDRAW, 0, kGroupOrigin,
                                4, 173, 303, 203, kLabel1Id);
  controls_.名称框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kGroupOrigin, 64, 171, 83,
                                 20, kNameId);
  controls_.频率框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kWindowOrigin, 215, 171,
                                 40, 20, kPeriodId);
  SetWindowSubclass(controls_.频率框, &RuleEditorWindow::PeriodBoxProcedure, 1,
                    reinterpret_cast<DWORD_PTR>(this));
  controls_.utf编码选择框 = CreateChild("BUTTON", "utf编码", kChild | WS_TABSTOP | BS_AUTOCHECKBOX,
                                        0, kGroupOrigin, 251, 169, 64, 24, kUtfBoxId);
  controls_.组合框1 = CreateChild("COMBOBOX", "", kDropDown, 0, kGroupOrigin, 65, 196, 170,
                                  120, kWatchModeId);
  AddRows(controls_.组合框1, CB_ADDSTRING, {"网页源码作为监控文本", "截取部分源码作为监控文本"});
  SendMessageA(controls_.组合框1, CB_SETCURSEL, 0, 0);
  SetFieldHeight(controls_.组合框1, 20);
  controls_.测试按钮 = CreateChild("BUTTON", "源码测试", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                   kGroupOrigin, 243, 196, 64, 24, kTestButtonId);
  controls_.before框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kWindowOrigin, 69, 222,
                                   112, 20, kBeforeId);
  controls_.after框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kGroupOrigin, 193, 222,
                                  112, 20, kAfterId);
  CreateRulePages();
  controls_.是否重复提醒选择框 = CreateChild("COMBOBOX", "", kDropDown, 0, kGroupOrigin, 62, 352,
                                             165, 120, kRepeatId);
  AddRows(controls_.是否重复提醒选择框, CB_ADDSTRING, {"提醒一次就停止任务", "重复监控提醒"});
  SendMessageA(controls_.是否重复提醒选择框, CB_SETCURSEL, 0, 0);
  SetFieldHeight(controls_.是否重复提醒选择框, 20);
  controls_.提交按钮 = CreateChild("BUTTON", "保存",
                                   kChild | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0,
                                   kGroupOrigin, 231, 351, 69, 24, kSaveId);
  controls_.显示框 = CreateChild(
      "EDIT", "*红底表示必填项",
      kChild | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN,
      WS_EX_CLIENTEDGE, kWindowOrigin, 332, 7, 380, 377, kOutputId);
  // A whole page goes in here; the edit box's default limit would cut it off.
  SendMessageA(controls_.显示框, EM_SETLIMITTEXT, 0, 0);

  const int lists = 2;
  HWND combos[lists] = {controls_.组合框1, controls_.是否重复提醒选择框};
  for (int i = 0; i < lists; ++i) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    dropDownLists_[i] = GetComboBoxInfo(combos[i], &info) ? info.hwndList : nullptr;
  }
  LayerContainersBelow();
  ShowTabPage(controls_.选择夹2);
  ShowTabPage(controls_.规则选择夹);
}

void RuleEditorWindow::CreateSourcePages() {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  constexpr DWORD kBox = kChild | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
  controls_.选择夹2 = CreateChild(WC_TABCONTROLA, "", kChild | WS_TABSTOP, 0, kGroupOrigin, 3, 10,
                                  304, 154, kSourceTabId);
  AddTabPages(controls_.选择夹2, {"源码获取", "启用POST（很少用，可忽略）"});
  controls_.标签2 = CreateChild("STATIC", "网址\r\n\r\n\r\n\r\n\r\n\r\n协议头", kChild, 0,
                                kSourceTabOrigin, 5, 32, 40, 112, kLabel2Id);
  controls_.网址框 = CreateChild("EDIT", "", kChild | WS_TABSTOP | ES_AUTOHSCROLL,
                                 WS_EX_CLIENTEDGE, kSourceTabOrigin, 40, 29, 256, 20, kUrlId);
  controls_.协议头框 = CreateChild("EDIT", kDefaultHeaders, kBox, WS_EX_CLIENTEDGE,
                                   kSourceTabOrigin, 40, 56, 256, 90, kHeadId);
  controls_.启用POST框 = CreateChild("BUTTON", "调用POST获取源码，开启后在下方输入POST数据",
                                     kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, kSourceTabOrigin,
                                     8, 19, 288, 24, kPostBoxId);
  controls_.POST数据框 = CreateChild("EDIT", kPostSample, kBox | WS_DISABLED, WS_EX_CLIENTEDGE,
                                     kSourceTabOrigin, 8, 48, 288, 98, kPostDataId);
}

void RuleEditorWindow::CreateRulePages() {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  constexpr DWORD kEdit = kChild | WS_TABSTOP | ES_AUTOHSCROLL;
  constexpr DWORD kList = kChild | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
  controls_.规则选择夹 = CreateChild(WC_TABCONTROLA, "", kChild | WS_TABSTOP, 0, kWindowOrigin,
                                     66, 248, 238, 101, kRuleTabId);
  AddTabPages(controls_.规则选择夹, {"网页变动", "关键词变化", "数值大小变化"});
  controls_.网页变动选择框 = CreateChild("LISTBOX", "", kList, WS_EX_CLIENTEDGE, kRuleTabOrigin,
                                         8, 34, 214, 53, kPageStateListId);
  AddRows(controls_.网页变动选择框, LB_ADDSTRING,
          {"网页访问不了就提醒", "网页变得能访问了就提醒", "内容发现变化了就提醒"});
  controls_.关键词变化选择框 = CreateChild("LISTBOX", "", kList, WS_EX_CLIENTEDGE,
                                           kRuleTabOrigin, 2, 46, 226, 49, kKeywordListId);
  AddRows(controls_.关键词变化选择框, LB_ADDSTRING,
          {"出现关键词/出现次数变多时提醒", "找不到关键词/关键词出现次数减少时提醒",
           "关键词出现次数变化就提醒"});
  controls_.标签4 = CreateChild("STATIC", "关键词", kChild, 0, kRuleTabOrigin, 8, 24, 56, 16,
                                kLabel4Id);
  controls_.关键词框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kRuleTabOrigin, 78, 23,
                                   96, 18, kKeywordId);
  controls_.数值变化选择框 = CreateChild("LISTBOX", "", kList, WS_EX_CLIENTEDGE, kRuleTabOrigin,
                                         23, 45, 175, 49, kNumberListId);
  AddRows(controls_.数值变化选择框, LB_ADDSTRING,
          {"监控文本的值>x 时提醒", "监控文本的值<y 时提醒", "x<监控文本值<y 时提醒"});
  controls_.标签3 = CreateChild("STATIC", "x　　　　　　　　　y", kChild, 0, kRuleTabOrigin, 8, 24,
                                160, 16, kLabel3Id);
  controls_.x框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kRuleTabOrigin, 24, 24, 56,
                              16, kXId);
  controls_.y框 = CreateChild("EDIT", "", kEdit, WS_EX_CLIENTEDGE, kRuleTabOrigin, 144, 24, 56,
                              16, kYId);
}

// Every control is a child of the window itself, so that their notifications and colour
// questions come here; the group box, the tab controls and the labels lie under the
// controls they hold, in this order from the bottom up.
void RuleEditorWindow::LayerContainersBelow() {
  const HWND topFirst[] = {controls_.标签2,    controls_.标签4,    controls_.标签3,
                           controls_.规则选择夹, controls_.选择夹2, controls_.标签1,
                           controls_.分组框1};
  for (HWND control : topFirst)
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

HWND RuleEditorWindow::CreateChild(const char* className, const char* text, DWORD style,
                                   DWORD exStyle, POINT origin, int x, int y, int width,
                                   int height, int id) {
  HWND child = CreateWindowExA(exStyle, className, text, style, origin.x + x, origin.y + y, width,
                               height, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               instance_, nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  return child;
}

// Shows the controls of the tab's selected page and hides those of its other pages.
void RuleEditorWindow::ShowTabPage(HWND tab) {
  const Controls& c = controls_;
  std::vector<std::vector<HWND>> pages;
  if (tab == c.选择夹2)
    pages = {{c.标签2, c.网址框, c.协议头框}, {c.启用POST框, c.POST数据框}};
  else if (tab == c.规则选择夹)
    pages = {{c.网页变动选择框},
             {c.关键词变化选择框, c.标签4, c.关键词框},
             {c.数值变化选择框, c.标签3, c.x框, c.y框}};
  const int selected = TabPage(tab);
  int page = 0;
  for (const auto& controls : pages) {
    for (HWND control : controls) ShowWindow(control, page == selected ? SW_SHOWNA : SW_HIDE);
    ++page;
  }
}

void RuleEditorWindow::OnCommand(int controlId, int notification) {
  switch (controlId) {
    case kTestButtonId:
      if (notification == BN_CLICKED) OnSourceTestClicked();
      break;
    case kSaveId:
      if (notification == BN_CLICKED) OnSaveClicked();
      break;
    case kPostBoxId:
      if (notification == BN_CLICKED) OnPostBoxClicked();
      break;
    case kWatchModeId:
      if (notification == CBN_CLOSEUP) OnWatchModeChosen();
      break;
    case kPeriodId:
      if (notification == EN_KILLFOCUS) OnPeriodBoxLeft();
      break;
    case IDCANCEL:
      DestroyWindow(hwnd_);
      break;
    default:
      break;  // IDOK from Enter among them
  }
}

LRESULT RuleEditorWindow::OnNotify(const NMHDR& header) {
  if (header.code == TCN_SELCHANGE) ShowTabPage(header.hwndFrom);
  return 0;
}

LRESULT RuleEditorWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  const Controls& c = controls_;
  const bool dropDown = control == c.组合框1 || control == dropDownLists_[0] ||
                        control == c.是否重复提醒选择框 || control == dropDownLists_[1];
  HBRUSH brush = nullptr;
  COLORREF background = 0;
  if (control == c.网址框 || control == c.名称框 || control == c.频率框 ||
      control == c.before框 || control == c.after框 || control == c.网页变动选择框 ||
      control == c.关键词变化选择框 || control == c.关键词框 || control == c.数值变化选择框 ||
      control == c.x框 || control == c.y框 || control == c.是否重复提醒选择框 ||
      control == dropDownLists_[1]) {
    brush = mandatoryBrush_.get();
    background = kMandatoryBackground;
  } else if (control == c.协议头框) {
    brush = headerBrush_.get();
    background = kHeaderBackground;
  } else if (control == c.显示框) {
    brush = outputBrush_.get();
    background = kOutputBackground;
  } else if (dropDown) {
    brush = GetSysColorBrush(COLOR_WINDOW);
    background = GetSysColor(COLOR_WINDOW);
  }
  if (!brush)
    return DefWindowProcA(hwnd_, message, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
  SetBkColor(dc, background);
  SetTextColor(dc, dropDown                   ? kDropDownText
                   : IsWindowEnabled(control) ? GetSysColor(COLOR_WINDOWTEXT)
                                              : GetSysColor(COLOR_GRAYTEXT));
  return reinterpret_cast<LRESULT>(brush);
}

void RuleEditorWindow::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlType == ODT_COMBOBOX)
    OnDrawDropDownRow(item);
  else if (item.CtlID == kLabel1Id)
    OnDrawCaptions(item);
}

// A row of a drop-down box, or its closed field: orange text on the box's background.
void RuleEditorWindow::OnDrawDropDownRow(const DRAWITEMSTRUCT& item) {
  const bool selected = item.itemState & ODS_SELECTED;
  const bool mandatory = item.hwndItem == controls_.是否重复提醒选择框;
  HBRUSH brush = selected    ? GetSysColorBrush(COLOR_HIGHLIGHT)
                 : mandatory ? mandatoryBrush_.get()
                             : GetSysColorBrush(COLOR_WINDOW);
  FillRect(item.hDC, &item.rcItem, brush);
  if (item.itemID != static_cast<UINT>(-1)) {
    char text[128] = {};
    if (SendMessageA(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0) < LRESULT{sizeof text})
      SendMessageA(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    RECT place = item.rcItem;
    place.left += 2;
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kDropDownText);
    DrawTextA(item.hDC, text, -1, &place, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  if (item.itemState & ODS_FOCUS) DrawFocusRect(item.hDC, &item.rcItem);
}

void RuleEditorWindow::OnDrawCaptions(const DRAWITEMSTRUCT& item) {
  FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
  const int saved = SaveDC(item.hDC);
  SelectObject(item.hDC, font_.get());
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  for (const Caption& caption : kCaptions)
    TextOutA(item.hDC, item.rcItem.left + caption.x, item.rcItem.top + caption.y, caption.text,
             lstrlenA(caption.text));
  RestoreDC(item.hDC, saved);
}

// The marker boxes are for a cut: enabled with row 1, disabled otherwise.
void RuleEditorWindow::OnWatchModeChosen() {
  const BOOL cut = ComboRow(controls_.组合框1) == kCutModeRow;
  EnableWindow(controls_.before框, cut);
  EnableWindow(controls_.after框, cut);
}

// Ticked: the sample makes way for the user's data; unticked on an empty box: it comes back.
void RuleEditorWindow::OnPostBoxClicked() {
  HWND data = controls_.POST数据框;
  if (IsTicked(controls_.启用POST框)) {
    EnableWindow(data, TRUE);
    SetWindowTextA(data, ReplaceAll(WindowText(data), kPostSample, "").c_str());
  } else {
    EnableWindow(data, FALSE);
    if (WindowText(data).empty()) SetWindowTextA(data, kPostSample);
  }
}

void RuleEditorWindow::OnPeriodBoxLeft() {
  const std::string text = WindowText(controls_.频率框);
  const std::string normal = NormalisePeriodText(text);
  if (normal != text) SetWindowTextA(controls_.频率框, normal.c_str());
}

// Only digits and "-" may be typed; control characters (Backspace, Ctrl+V ...) pass.
LRESULT CALLBACK RuleEditorWindow::PeriodBoxProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                                      LPARAM lParam, UINT_PTR id, DWORD_PTR) {
  if (message == WM_CHAR) {
    const auto typed = static_cast<unsigned>(wParam);
    if (typed >= 0x20 && typed != '-' && (typed < '0' || typed > '9')) return 0;
  } else if (message == WM_IME_CHAR) {
    return 0;  // a two-byte character is never a digit here
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, &RuleEditorWindow::PeriodBoxProcedure, id);
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

// The editor behaves as a dialog without a dialog's message loop: Tab moves between its
// controls, and Esc closes it (unless it closes an open drop-down list).
LRESULT CALLBACK RuleEditorWindow::KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
  auto* msg = reinterpret_cast<MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && msg->hwnd && msg->message >= WM_KEYFIRST &&
      msg->message <= WM_KEYLAST) {
    HWND editor = GetAncestor(msg->hwnd, GA_ROOT);
    if (editor && HasClass(editor, kClassName)) {
      const bool listOpen = HasClass(msg->hwnd, "ComboBox") &&
                            SendMessageA(msg->hwnd, CB_GETDROPPEDSTATE, 0, 0);
      if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE && !listOpen) {
        PostMessageA(editor, WM_CLOSE, 0, 0);
        msg->message = WM_NULL;
      } else if (IsDialogMessageA(editor, msg)) {
        msg->message = WM_NULL;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The values in the order the editor reads them.
EditorValues RuleEditorWindow::CollectValues() const {
  const Controls& c = controls_;
  EditorValues values;
  values.url = WindowText(c.网址框);
  values.head = WindowText(c.协议头框);
  values.plv = WindowText(c.频率框);
  values.name = WindowText(c.名称框);
  values.isjiequ = ComboRow(c.组合框1) == kCutModeRow ? "1" : "0";
  if (values.isjiequ == "1") {
    values.before = WindowText(c.before框);
    values.after = WindowText(c.after框);
  }
  values.keyword = WindowText(c.关键词框);
  values.x = WindowText(c.x框);
  values.y = WindowText(c.y框);
  const int page = TabPage(c.规则选择夹);
  values.page = page == 1 ? ConditionPage::kKeyword
                          : page == 2 ? ConditionPage::kNumber : ConditionPage::kPageState;
  const HWND conditionLists[] = {c.网页变动选择框, c.关键词变化选择框, c.数值变化选择框};
  values.conditionRow = ListRow(conditionLists[static_cast<int>(values.page)]);
  values.isrep = ComboRow(c.是否重复提醒选择框) == kRepeatRow ? "1" : "0";
  const std::string postdata = WindowText(c.POST数据框);
  const bool post = IsTicked(c.启用POST框) && !postdata.empty();
  values.ispost = post ? "1" : "0";
  values.postdata = post ? postdata : "";
  values.isgbk = IsTicked(c.utf编码选择框) ? "0" : "1";
  return values;
}

// The save can run only once a source test was started in this editor.
void RuleEditorWindow::OnSourceTestClicked() {
  EnableWindow(controls_.提交按钮, TRUE);
  SubmitRule(1);
}

void RuleEditorWindow::OnSaveClicked() { SubmitRule(0); }

// 1: the source test, started on a thread of its own; anything else: the save.
void RuleEditorWindow::SubmitRule(int testMode) {
  if (testMode != 1) {
    SaveRule();
    return;
  }
  const EditorValues values = CollectValues();
  SourceTestJob job;
  job.address = ReplaceAll(values.url, "{日期}", FormatDateTime(context_.clock->Now(), "yyyyMMdd"));
  job.method = values.ispost == "1" ? 1 : 0;
  job.postText = values.postdata;
  job.headers = values.head;
  job.utf = values.isgbk == "0";
  job.cut = values.isjiequ == "1";
  job.before = values.before;
  job.after = values.after;
  job.requests = context_.requests;
  job.mailbox = mailbox_;
  ++sourceTestsRunning;
  try {
    std::thread(&RuleEditorWindow::SourceTestThreadEntry, std::move(job)).detach();
  } catch (const std::system_error&) {
    --sourceTestsRunning;  // no thread: the test does not run, as a failed platform call
  }
}

// On the test's own thread: fetch, decode, cut; the window thread shows the outcome.
void RuleEditorWindow::SourceTestThreadEntry(SourceTestJob job) {
  try {
    auto result = std::make_unique<SourceTestResult>();
    WebRequestOptions options;
    options.method = job.method;
    options.postText = job.postText;
    options.headers = &job.headers;
    options.statusCode = &result->statusCode;
    options.timeoutSeconds = kSourceTestTimeoutSeconds;
    const Bytes body = SendWebRequest(*job.requests, job.address, options);
    result->page = job.utf ? DecodeUtf8Page(body) : BodyToText(body);
    if (job.cut) {
      result->missingMarkers = job.before.empty() || job.after.empty();
      result->cutEmpty = result->missingMarkers ||
                         TextBetween(result->page, job.before, job.after).empty();
    }
    job.mailbox->Post(std::move(result));
  } catch (...) {
    // Out of memory on a huge page: the test shows nothing.
  }
  --sourceTestsRunning;
}

void RuleEditorWindow::OnSourceTestDone(LPARAM payload) {
  std::unique_ptr<SourceTestResult> result(reinterpret_cast<SourceTestResult*>(payload));
  if (!result) return;
  if (result->missingMarkers) {
    Tell(kMissingMarkersMessage);
    return;
  }
  const bool warning = result->cutEmpty && !result->page.empty() &&
                       ComboRow(controls_.组合框1) == kCutModeRow;
  SetWindowTextA(controls_.显示框,
                 SourceTestOutput(result->statusCode, warning, result->page).c_str());
}

void RuleEditorWindow::SaveRule() {
  // The database wait and the message boxes dispatch messages: a second click must not
  // insert the rule twice.
  if (saving_) return;
  saving_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{saving_};

  const EditorValues values = CollectValues();
  if (const auto refusal = ValidateCondition(values)) {
    Tell(*refusal);
    return;
  }
  const std::string ctime = FormatDateTime(context_.clock->Now(), "yy/M/d ", "hh:mm");
  const std::optional<std::string> statement = BuildInsertStatement(values, ctime);
  const std::shared_ptr<Mailbox> opening = mailbox_;
  const bool saved = statement && context_.store->database.ExecuteSql(*statement);
  // The editor may have been closed (and even opened anew) while the statement waited.
  const bool sameEditor = hwnd_ && mailbox_ == opening;
  if (!saved) {
    if (sameEditor) Tell("保存失败");
    return;
  }
  LoadRuleList(*context_.store, *context_.list);
  WindowMessageBox(sameEditor ? hwnd_ : context_.owner)
      .Show("保存成功", kDefaultBoxTitle, BoxStyle::kOk);
  if (hwnd_ && mailbox_ == opening) DestroyWindow(hwnd_);
}

void RuleEditorWindow::Tell(const std::string& text) {
  WindowMessageBox(hwnd_).Show(text, kDefaultBoxTitle, BoxStyle::kOk);
}

void RuleEditorWindow::OnDestroy() {
  keyboardHook_.reset();
}

void RuleEditorWindow::OnNcDestroy() {
  HWND window = hwnd_;
  if (mailbox_) mailbox_->Close();
  DropQueuedMessages(window, kSourceTestDoneMessage, [](LPARAM payload) {
    delete reinterpret_cast<SourceTestResult*>(payload);
  });
  hwnd_ = nullptr;
  controls_ = {};
  dropDownLists_[0] = dropDownLists_[1] = nullptr;
}

}  // namespace derov
