#include "rules/message_box_win.h"

namespace derov {
namespace {

UINT BoxFlags(BoxStyle style) {
  switch (style) {
    case BoxStyle::kOkCancel: return MB_OKCANCEL;
    case BoxStyle::kErrorOk: return MB_OK | MB_ICONERROR;
    case BoxStyle::kOk: break;
  }
  return MB_OK;
}

}  // namespace

bool WindowMessageBox::Show(const std::string& text, const std::string& title, BoxStyle style) {
  return MessageBoxA(owner_, text.c_str(), title.c_str(), BoxFlags(style)) == IDOK;
}

}  // namespace derov
