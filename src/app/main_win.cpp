#include <windows.h>

#include <memory>

#include "app/startup_win.h"

// The program: the process-wide objects, the main window and its message loop.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  auto state = std::make_unique<derov::AppState>();
  derov::MainWindow window(instance);
  derov::WireMainWindow(*state, window);
  if (!window.Create()) return state->startRefused ? 0 : 1;
  window.Show(showCommand);
  return derov::RunMessageLoop();
}
