#include <windows.h>

#include <memory>

#include "app/monitoring_wiring_win.h"
#include "app/startup_win.h"
#include "rules/rule_editor_window_win.h"
#include "web/winhttp_request_win.h"

// The program: the process-wide objects, the main window and its message loop.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  auto state = std::make_unique<derov::AppState>();
  derov::MainWindow window(instance);
  derov::WireMainWindow(*state, window);
  derov::MonitoringWiring monitoring(*state, window, instance);
  if (!window.Create()) return state->startRefused ? 0 : 1;
  derov::ProcessClock clock;
  derov::RuleEditorWindow editor(instance, {.owner = window.hwnd(),
                                            .store = &state->rules,
                                            .list = &window.List(),
                                            .requests = &derov::WinHttpRequests(),
                                            .clock = &clock});
  window.handlers.onNewRule = [&editor] { editor.Open(); };
  window.Show(showCommand);
  const int exitCode = derov::RunMessageLoop();
  // A worker or a source test still inside a fetch uses the program's objects: end the
  // process where it stands instead of releasing them under it.
  const bool workersEnded = monitoring.StopWorkers(300);
  if (!workersEnded || derov::RuleEditorWindow::SourceTestsRunning() > 0)
    ExitProcess(static_cast<UINT>(exitCode));
  return exitCode;
}
