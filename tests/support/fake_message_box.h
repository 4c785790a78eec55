#pragma once
// Message boxes answered by the test: every box shown is recorded, and each is answered
// from the scripted answers in turn (OK once they run out).

#include <deque>
#include <string>
#include <vector>

#include "rules/message_box.h"

namespace derov::test {

class FakeMessageBox : public MessageBoxPort {
 public:
  struct Shown {
    std::string text;
    std::string title;
    BoxStyle style;
  };

  bool Show(const std::string& text, const std::string& title, BoxStyle style) override {
    shown.push_back({text, title, style});
    if (answers.empty()) return true;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::deque<bool> answers;
  std::vector<Shown> shown;
};

}  // namespace derov::test
