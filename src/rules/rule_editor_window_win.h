#pragma once
// The rule editor "方案管理": where the user writes a new rule, tries its page with the
// source test and saves it. It only creates rules. The window is owned by the main window,
// not modal, and at most one is open: opening it again brings the open one forward.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/handle_win.h"
#include "rules/rule_editor_logic.h"
#include "rules/rule_list.h"
#include "web/request_object.h"
#include "platform/window_procedure_win.h"

namespace derov {

// What the editor needs from the program. Everything must outlive the RuleEditorWindow;
// the request factory must outlive any source test still running (the program's is static).
struct RuleEditorContext {
  HWND owner = nullptr;                     // the main window
  RuleStore* store = nullptr;               // the insert and the reload
  RuleListView* list = nullptr;             // the main list the reload refills
  RequestObjectFactory* requests = nullptr;  // the source test's fetch
  Clock* clock = nullptr;                   // "{日期}" and the creation time
};

class RuleEditorWindow {
  struct HookTraits {
    using Handle = HHOOK;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle hook) noexcept { UnhookWindowsHookEx(hook); }
  };

 public:
  struct Controls {
    HWND 分组框1 = nullptr;
    HWND 选择夹2 = nullptr;
    HWND 标签2 = nullptr;
    HWND 网址框 = nullptr;
    HWND 协议头框 = nullptr;
    HWND 启用POST框 = nullptr;
    HWND POST数据框 = nullptr;
    HWND 标签1 = nullptr;
    HWND 名称框 = nullptr;
    HWND 频率框 = nullptr;
    HWND utf编码选择框 = nullptr;
    HWND 组合框1 = nullptr;
    HWND 测试按钮 = nullptr;
    HWND before框 = nullptr;
    HWND after框 = nullptr;
    HWND 规则选择夹 = nullptr;
    HWND 网页变动选择框 = nullptr;
    HWND 关键词变化选择框 = nullptr;
    HWND 标签4 = nullptr;
    HWND 关键词框 = nullptr;
    HWND 数值变化选择框 = nullptr;
    HWND 标签3 = nullptr;
    HWND x框 = nullptr;
    HWND y框 = nullptr;
    HWND 是否重复提醒选择框 = nullptr;
    HWND 提交按钮 = nullptr;
    HWND 显示框 = nullptr;
  };

  static constexpr int kOuterWidth = 722;
  static constexpr int kOuterHeight = 417;
  static constexpr COLORREF kMandatoryBackground = 0xD4EEFF;
  static constexpr COLORREF kHeaderBackground = 0xE0E0E0;
  static constexpr COLORREF kOutputBackground = 0xFEFCF8;
  static constexpr COLORREF kDropDownText = 0x006AFF;

  RuleEditorWindow(HINSTANCE instance, const RuleEditorContext& context);
  ~RuleEditorWindow();
  RuleEditorWindow(const RuleEditorWindow&) = delete;
  RuleEditorWindow& operator=(const RuleEditorWindow&) = delete;

  // OpenRuleEditor: a fresh editor, centred and shown; or the open one brought forward.
  // False when the window could not be created.
  bool Open();
  HWND hwnd() const { return hwnd_; }
  const Controls& controls() const { return controls_; }

  // Source tests whose thread has not ended yet, in the whole process.
  static int SourceTestsRunning();

 private:
  class Mailbox;
  struct SourceTestJob;
  struct SourceTestResult;

  friend LRESULT CALLBACK ObjectWindowProcedure<RuleEditorWindow>(HWND, UINT, WPARAM, LPARAM);
  void AttachWindow(HWND window) { hwnd_ = window; }
  static LRESULT CALLBACK PeriodBoxProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR self);
  static LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam);
  static void SourceTestThreadEntry(SourceTestJob job);

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCreate();
  void OnCommand(int controlId, int notification);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnDrawDropDownRow(const DRAWITEMSTRUCT& item);
  void OnDrawCaptions(const DRAWITEMSTRUCT& item);
  void OnWatchModeChosen();
  void OnPostBoxClicked();
  void OnPeriodBoxLeft();
  void OnSourceTestClicked();
  void OnSourceTestDone(LPARAM payload);
  void OnSaveClicked();
  void OnDestroy();
  void OnNcDestroy();

  void CreateControls();
  void CreateSourcePages();
  void CreateRulePages();
  void LayerContainersBelow();
  void ShowTabPage(HWND tab);
  HWND CreateChild(const char* className, const char* text, DWORD style, DWORD exStyle,
                   POINT origin, int x, int y, int width, int height, int id);

  // SubmitRule's common start: the values in the order the editor reads them.
  EditorValues CollectValues() const;
  void SubmitRule(int testMode);
  void SaveRule();
  // A message box over the editor with the default title.
  void Tell(const std::string& text);

  HINSTANCE instance_;
  RuleEditorContext context_;
  HWND hwnd_ = nullptr;
  Controls controls_;
  // The opening the source tests of this window report to; closed with the window.
  std::shared_ptr<Mailbox> mailbox_;
  bool saving_ = false;
  UniqueHandle<HookTraits> keyboardHook_;
  ScopedFont font_;
  ScopedBrush mandatoryBrush_;
  ScopedBrush headerBrush_;
  ScopedBrush outputBrush_;
  HWND dropDownLists_[2] = {};  // the dropped lists of the two drop-down boxes
};

}  // namespace derov
