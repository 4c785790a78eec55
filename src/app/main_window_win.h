#pragma once
// The main window: the rule list on the left; on the right the rule buttons, the start/stop
// button, the two notification switches and the log box. It handles the list's own events
// (a tick the user toggles, a double click); every other control calls a handler that the
// program wires in before the window is created.

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "app/list_view_win.h"
#include "platform/handle_win.h"
#include "platform/window_procedure_win.h"

namespace derov {

class MainWindow {
 public:
  // Each runs on the window's thread; an empty one does nothing.
  struct Handlers {
    // Runs during creation, after the controls exist and before the window is shown;
    // false refuses the start and the window is not created.
    std::function<bool()> onCreated;
    // The user closes the window; empty: the window is destroyed.
    std::function<void()> onClosing;
    // The window has been destroyed.
    std::function<void()> onDestroyed;
    std::function<void()> onNewRule;           // 新增方案按钮 "新建"
    std::function<void()> onDeleteRule;        // 新增方案按钮2 "删除"
    std::function<void()> onStartStop;         // 按钮1 "开始监控"
    std::function<void()> onPopupBoxClicked;   // 选择框1
    std::function<void()> onWeChatBoxClicked;  // 微信选择框
  };

  struct Controls {
    HWND 超级列表框 = nullptr;
    HWND 分组框1 = nullptr;
    HWND 新增方案按钮 = nullptr;
    HWND 新增方案按钮1 = nullptr;
    HWND 新增方案按钮2 = nullptr;
    HWND 按钮1 = nullptr;
    HWND 选择框1 = nullptr;
    HWND 微信选择框 = nullptr;
    HWND 显示框 = nullptr;
    HWND tooltips = nullptr;
  };

  static constexpr int kOuterWidth = 778;
  static constexpr int kOuterHeight = 439;
  static constexpr COLORREF kLogBackground = 0xFEFCF8;

  explicit MainWindow(HINSTANCE instance);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, centred and still hidden; false when it could not be created or
  // onCreated refused.
  bool Create();
  void Show(int showCommand);
  HWND hwnd() const { return hwnd_.load(); }
  const Controls& controls() const { return controls_; }

  // 超级列表框 as the rule list port.
  ListViewRuleList& List() { return list_; }

  // Any thread: has work run on the window's thread. False when the window is gone (the
  // work is then dropped where it stands).
  bool RunOnUiThread(std::function<void()> work);

  // The user toggled a row's tick (by click or Space); state 1 ticked, 0 not.
  void OnRuleTickChanged(int row, int state);
  // Double click: opens the selected row's link.
  void OpenRuleLink();

  Handlers handlers;
  // How a link is opened; the shell's "open" action unless replaced.
  std::function<void(const std::string& address)> openLink;

 private:
  friend LRESULT CALLBACK ObjectWindowProcedure<MainWindow>(HWND, UINT, WPARAM, LPARAM);
  void AttachWindow(HWND window) { hwnd_ = window; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCreate();
  void OnCommand(int controlId, int notification);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnControlColour(UINT message, HDC dc, HWND control);
  void OnRunOnUiThread(LPARAM payload);
  void OnNcDestroy();

  void CreateControls();
  void CreateListColumns();
  void CreateTooltips();
  HWND CreateChild(const char* className, const char* text, DWORD style, DWORD exStyle,
                   int x, int y, int width, int height, int id);

  HINSTANCE instance_;
  std::atomic<HWND> hwnd_{nullptr};
  // Posting work and the window's end exclude each other, so nothing is posted after the
  // queue has been drained.
  std::mutex postLock_;
  Controls controls_;
  ListViewRuleList list_;
  ScopedFont font_;
  ScopedBrush logBrush_;
};

}  // namespace derov
