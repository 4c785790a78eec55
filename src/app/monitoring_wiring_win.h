#pragma once
// Monitoring and notifications joined to the main window: the start/stop button, the two
// notification switches, the log box, the tip window, and the workers' way to the window.

#include <windows.h>

#include <memory>

#include "app/app_state.h"
#include "app/main_window_win.h"

namespace derov {

class MonitoringWiring {
 public:
  // Sets the window's handlers and the start-up hooks; create it before the window.
  MonitoringWiring(AppState& state, MainWindow& window, HINSTANCE instance);
  ~MonitoringWiring();
  MonitoringWiring(const MonitoringWiring&) = delete;
  MonitoringWiring& operator=(const MonitoringWiring&) = delete;

  // Program exit: stops every worker and waits up to timeoutMs for them to end. False when
  // one is still inside a fetch: the process must then end without releasing what the
  // workers use.
  bool StopWorkers(long long timeoutMs);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace derov
