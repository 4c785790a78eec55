#pragma once
// derov.exe as a separate process, seen from outside as a user sees it: started from its
// own folder, its windows found by class, their texts and list cells read back through
// messages (with memory in the program's process where a message carries a pointer).

#include <windows.h>

#include <cstddef>
#include <string>

#include "platform/handle_win.h"

namespace derov::test {

class RunningProgram {
 public:
  // Starts exe with its own folder as the working folder; started() tells whether it did.
  explicit RunningProgram(const std::string& exe);
  // A program still running is ended, and waited for, so its folder can be removed.
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return static_cast<bool>(process_); }
  DWORD id() const { return info_.dwProcessId; }
  HANDLE process() const { return process_.get(); }

  // The program's exit code once it has ended within the time, else STILL_ACTIVE.
  DWORD ExitCode(int timeoutMs) const;

  // A top-level window of the program with this class (and title, when given); null if none.
  HWND FindWindowOf(const char* className, const char* title = nullptr) const;
  // The same, waiting until it exists and is visible.
  HWND WaitForWindow(const char* className, int timeoutMs = 15000) const;

  HWND FindMainWindow() const { return FindWindowOf("derovMainWindow"); }
  HWND WaitForMainWindow(int timeoutMs = 15000) const {
    return WaitForWindow("derovMainWindow", timeoutMs);
  }

 private:
  PROCESS_INFORMATION info_{};
  ScopedHandle process_;
  ScopedHandle thread_;
};

// A block of memory inside another process, for messages whose parameter points at data.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::size_t size);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* address() const { return static_cast<char*>(memory_); }
  std::size_t size() const { return size_; }
  bool Write(const void* data, std::size_t size, std::size_t offset = 0);
  bool Read(void* data, std::size_t size, std::size_t offset = 0) const;

 private:
  HANDLE process_;
  void* memory_ = nullptr;
  std::size_t size_;
};

// The whole text of a window of another process (WM_GETTEXT); "" when it does not answer.
std::string RemoteText(HWND window);

// A rectangle that a common control of another process writes for a message such as
// TCM_GETITEMRECT (wParam: the item); empty when it failed. The system carries the
// pointers of the older controls' messages (LB_GETITEMRECT) itself: those take a local one.
RECT RemoteItemRect(HANDLE process, HWND control, UINT message, WPARAM item);

// Reads a report list view of another process.
class RemoteList {
 public:
  RemoteList(HANDLE process, HWND list) : list_(list), memory_(process, kSize) {}

  HWND hwnd() const { return list_; }
  int RowCount() const;
  bool Tick(int row) const;
  std::string Cell(int row, int column) const;
  // The first row whose cell in the column reads text; -1 if none.
  int FindRow(int column, const std::string& text) const;

 private:
  static constexpr std::size_t kSize = 64 * 1024;
  HWND list_;
  mutable RemoteMemory memory_;
};

}  // namespace derov::test
