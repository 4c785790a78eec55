#include "app/monitoring_wiring_win.h"

#include <string>

#include "monitor/monitoring_control.h"
#include "notify/input_box_win.h"
#include "notify/notification_dispatch.h"
#include "notify/settings_file_win.h"
#include "notify/tip_window_win.h"
#include "platform/clock.h"
#include "web/winhttp_request_win.h"

namespace derov {
namespace {

std::string WindowText(HWND control) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(control)) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

bool Checked(HWND box) { return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(HWND box, bool on) {
  SendMessageA(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

class WindowUiThread : public UiThread {
 public:
  explicit WindowUiThread(MainWindow& window) : window_(window) {}
  bool Post(UiTask task) override { return window_.RunOnUiThread(std::move(task)); }

 private:
  MainWindow& window_;
};

// 显示框, newest line at the top.
class EditLogBox : public LogBox {
 public:
  explicit EditLogBox(MainWindow& window) : window_(window) {}
  std::string Text() override { return WindowText(window_.controls().显示框); }
  void SetText(const std::string& text) override {
    SetWindowTextA(window_.controls().显示框, text.c_str());
  }

 private:
  MainWindow& window_;
};

// 按钮1
class StartStopButton : public MonitorButton {
 public:
  explicit StartStopButton(MainWindow& window) : window_(window) {}
  std::string Caption() const override { return WindowText(window_.controls().按钮1); }
  void SetCaption(const std::string& caption) override {
    SetWindowTextA(window_.controls().按钮1, caption.c_str());
    UpdateWindow(window_.controls().按钮1);  // the caption shows while the click runs
  }
  void SetEnabled(bool enabled) override { EnableWindow(window_.controls().按钮1, enabled); }

 private:
  MainWindow& window_;
};

// 选择框1 and 微信选择框, the key input box and the message box.
class WindowSettingsView : public NotificationSettingsView {
 public:
  explicit WindowSettingsView(MainWindow& window) : window_(window) {}
  bool PopupBoxTicked() override { return Checked(window_.controls().选择框1); }
  bool WeChatBoxTicked() override { return Checked(window_.controls().微信选择框); }
  void SetPopupBox(bool ticked) override { SetChecked(window_.controls().选择框1, ticked); }
  void SetWeChatBox(bool ticked) override { SetChecked(window_.controls().微信选择框, ticked); }
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initialText) override {
    return derov::AskText(window_.hwnd(), caption, prompt, initialText);
  }
  void ShowMessage(const std::string& text) override {
    MessageBoxA(window_.hwnd(), text.c_str(), "信息：", MB_OK);
  }

 private:
  MainWindow& window_;
};

}  // namespace

struct MonitoringWiring::Parts {
  Parts(AppState& appState, MainWindow& mainWindow)
      : state(appState),
        window(mainWindow),
        ui(mainWindow),
        logBox(mainWindow),
        button(mainWindow),
        settingsView(mainWindow),
        notify{ui, logBox, tip.countdown(), state.rules.table, settings, WinHttpRequests(), {}},
        monitor{ui,
                state.rules.table,
                mainWindow.List(),
                clock,
                WinHttpRequests(),
                notify,
                [&database = appState.rules.database](const std::string& sql) {
                  return database.ExecuteSql(sql);
                }},
        control(monitor, button) {}

  AppState& state;
  MainWindow& window;
  WindowUiThread ui;
  EditLogBox logBox;
  StartStopButton button;
  WindowSettingsView settingsView;
  std::unique_ptr<IniSettingsFile> settingsFile;
  SharedNotificationSettings settings;
  TipWindow tip;
  ProcessClock clock;
  NotifyServices notify;
  MonitorServices monitor;
  MonitoringControl control;
};

MonitoringWiring::MonitoringWiring(AppState& state, MainWindow& window, HINSTANCE instance)
    : parts_(std::make_unique<Parts>(state, window)) {
  Parts& p = *parts_;
  state.startup.loadNotificationSettings = [&p] {
    p.settingsFile = std::make_unique<IniSettingsFile>(p.state.programFolder + "derov.ini");
    p.notify.pushServiceBase = LoadPushServiceBase(*p.settingsFile);
    LoadNotificationSettings(*p.settingsFile, p.settings, p.settingsView);
  };
  state.startup.loadTipWindow = [&p, instance] { p.tip.Create(instance); };
  state.startup.destroyTipWindow = [&p] {
    p.control.StopAll(0);  // releases a worker waiting for its tip
    p.tip.Destroy();
  };
  state.rules.hooks.beforeDeletion = [&p](int ruleNumber) { p.control.StopRule(ruleNumber); };
  window.handlers.onStartStop = [&p] { p.control.OnButtonClicked(); };
  window.handlers.onPopupBoxClicked = [&p] {
    if (p.settingsFile) OnPopupBoxClicked(*p.settingsFile, p.settings, p.settingsView);
  };
  window.handlers.onWeChatBoxClicked = [&p] {
    if (p.settingsFile) OnWeChatBoxClicked(*p.settingsFile, p.settings, p.settingsView);
  };
}

MonitoringWiring::~MonitoringWiring() = default;

bool MonitoringWiring::StopWorkers(long long timeoutMs) { return parts_->control.StopAll(timeoutMs); }

}  // namespace derov
