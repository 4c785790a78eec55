#pragma once
// The program's start-up and closing steps around the main window.

#include <string>

#include "app/app_state.h"
#include "app/main_window_win.h"
#include "rules/message_box.h"

namespace derov {

enum class DatabaseOpening { kOpen, kFailed, kMissing };

// Opens the rule database at path, telling the user when it is missing (kMissing: start-up
// must end) or cannot be opened (kFailed: start-up goes on without rules).
DatabaseOpening OpenRuleDatabase(RuleDatabase& database, const std::string& path,
                                 MessageBoxPort& boxes);

// The folder of the running program file, ending in a backslash.
std::string ProgramFolder();

// The main window's created event: false ends start-up (the database is missing).
bool OnMainWindowCreated(AppState& state, MainWindow& window);
// The main window's closing event: the tip window goes first, then the main window.
void OnMainWindowClosing(AppState& state, MainWindow& window);

// Connects the window's events to the program: start-up, closing, deleting a rule, and
// the end of the message loop when the window is destroyed.
void WireMainWindow(AppState& state, MainWindow& window);

// Runs the thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

}  // namespace derov
