#include "app/startup_win.h"

#include <vector>

#include "rules/message_box_win.h"

namespace derov {
namespace {

constexpr char kDatabaseName[] = "derov.sdb";

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The byte after the last backslash of a GBK path; a backslash byte that is the second
// half of a Chinese character is not a separator.
size_t AfterLastSeparator(const std::string& path) {
  size_t after = 0;
  for (size_t i = 0; i < path.size(); ++i) {
    if (static_cast<unsigned char>(path[i]) >= 0x80)
      ++i;
    else if (path[i] == '\\' || path[i] == '/')
      after = i + 1;
  }
  return after;
}

}  // namespace

DatabaseOpening OpenRuleDatabase(RuleDatabase& database, const std::string& path,
                                 MessageBoxPort& boxes) {
  if (!FileExists(path)) {
    boxes.Show(path + " 找不到！ \r\nError：Database file ‘derov.sdb’ missing\r\n\r\n\r\n"
                      "请到 Orvane 下载完整版本！",
               "启动失败", BoxStyle::kErrorOk);
    return DatabaseOpening::kMissing;
  }
  if (database.Open(path)) return DatabaseOpening::kOpen;
  boxes.Show("数据库打开失败！", kDefaultBoxTitle, BoxStyle::kOk);
  return DatabaseOpening::kFailed;
}

std::string ProgramFolder() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      const std::string path(buffer.data(), length);
      return path.substr(0, AfterLastSeparator(path));
    }
    buffer.resize(buffer.size() * 2);  // cut short: try a larger buffer
  }
}

bool OnMainWindowCreated(AppState& state, MainWindow& window) {
  state.programFolder = ProgramFolder();
  // The main window is not shown yet: the boxes stand on their own.
  WindowMessageBox boxes(nullptr);
  const std::string path = state.programFolder + kDatabaseName;
  if (OpenRuleDatabase(state.rules.database, path, boxes) == DatabaseOpening::kMissing) {
    state.startRefused = true;
    return false;
  }
  if (state.startup.loadNotificationSettings) state.startup.loadNotificationSettings();
  LoadRuleList(state.rules, window.List());
  if (state.startup.loadTipWindow) state.startup.loadTipWindow();
  return true;
}

void OnMainWindowClosing(AppState& state, MainWindow& window) {
  if (state.startup.destroyTipWindow) state.startup.destroyTipWindow();
  DestroyWindow(window.hwnd());
}

void WireMainWindow(AppState& state, MainWindow& window) {
  window.handlers.onCreated = [&state, &window] { return OnMainWindowCreated(state, window); };
  window.handlers.onClosing = [&state, &window] { OnMainWindowClosing(state, window); };
  window.handlers.onDestroyed = [] { PostQuitMessage(0); };
  window.handlers.onDeleteRule = [&state, &window] {
    WindowMessageBox boxes(window.hwnd());
    DeleteSelectedRule(state.rules, window.List(), boxes);
  };
}

int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace derov
