#pragma once
// The process-wide objects: created before the main window, living until the program
// ends. Workers that use them must have stopped before they go.

#include <functional>
#include <string>

#include "rules/rule_list.h"

namespace derov {

// Places in the start-up and closing steps where the notification settings and the tip
// window take part; each runs on the window's thread when set.
struct StartupHooks {
  // After the rule database is opened, before the rules are loaded: restores the two
  // notification switches and the push key.
  std::function<void()> loadNotificationSettings;
  // After the rules are loaded: loads the tip window, hidden.
  std::function<void()> loadTipWindow;
  // When the user closes the main window, before it is destroyed.
  std::function<void()> destroyTipWindow;
};

struct AppState {
  RuleStore rules;            // the rule table, the rule database, the list's hooks
  std::string programFolder;  // the program file's folder and a backslash
  StartupHooks startup;
  bool startRefused = false;  // the rule database was missing: end quietly with code 0
};

}  // namespace derov
