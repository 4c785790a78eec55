#pragma once
// Message boxes as the user sees them: MessageBoxA over an owner window (or none).

#include <windows.h>

#include "rules/message_box.h"

namespace derov {

class WindowMessageBox : public MessageBoxPort {
 public:
  explicit WindowMessageBox(HWND owner) : owner_(owner) {}
  bool Show(const std::string& text, const std::string& title, BoxStyle style) override;

 private:
  HWND owner_;
};

}  // namespace derov
