#pragma once
// The port to the user's message boxes, so a flow that asks the user can be answered by a
// test. The Windows side is MessageBoxA.

#include <string>

namespace derov {

// A box without a title of its own bears this one.
inline constexpr const char* kDefaultBoxTitle = "信息：";

enum class BoxStyle {
  kOk,        // information, one OK button
  kOkCancel,  // a question, OK and Cancel
  kErrorOk,   // the error icon, one OK button
};

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // Shows the box until the user closes it; true when the answer was OK.
  virtual bool Show(const std::string& text, const std::string& title, BoxStyle style) = 0;
};

}  // namespace derov
