#pragma once
// A modal text input box: caption, prompt, one edit field prefilled and all selected, OK
// and Cancel.

#include <windows.h>

#include <optional>
#include <string>

namespace derov {

// The confirmed text, or nothing when the box was cancelled or closed.
std::optional<std::string> AskText(HWND owner, const std::string& caption,
                                   const std::string& prompt, const std::string& initialText);

}  // namespace derov
