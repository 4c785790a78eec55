#pragma once
// Finding, reading and answering real message boxes, as a user would: in the test's own
// process (a box shown by the code under test) or in a program the test started.

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

namespace derov::test {

struct SeenBox {
  std::string title;
  std::string text;
  bool hasIcon = false;
};

// The first visible message box of the process, waiting up to timeoutMs; null if none.
HWND WaitForMessageBox(DWORD processId, int timeoutMs = 10000);
SeenBox ReadMessageBox(HWND box);
// Presses the box's button (IDOK, IDCANCEL ...).
void AnswerMessageBox(HWND box, int button);

// On a thread of its own, waits for each next box of this process, reads it and answers it
// with the next of `answers`; join() (or the destructor) waits until all are answered or
// one does not come.
class MessageBoxAnswerer {
 public:
  explicit MessageBoxAnswerer(std::vector<int> answers);
  ~MessageBoxAnswerer() { join(); }
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  // Read after join().
  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  std::vector<int> answers_;
  std::vector<SeenBox> seen_;
  std::thread thread_;
};

}  // namespace derov::test
