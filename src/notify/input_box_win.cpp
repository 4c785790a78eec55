#include "notify/input_box_win.h"

#include <cstring>
#include <vector>

namespace derov {
namespace {

constexpr WORD kPromptId = 100;
constexpr WORD kEditId = 101;

struct InputBoxState {
  std::string caption, prompt, text;
};

// An in-memory dialog template; texts are set after creation through the ANSI functions.
class DialogTemplate {
 public:
  DialogTemplate(short width, short height, WORD itemCount) {
    Align();
    DLGTEMPLATE dialog = {};
    dialog.style = DS_MODALFRAME | DS_CENTER | DS_SHELLFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    dialog.cdit = itemCount;
    dialog.cx = width;
    dialog.cy = height;
    Append(&dialog, sizeof(dialog));
    AppendWord(0);  // no menu
    AppendWord(0);  // the standard dialog class
    AppendWord(0);  // title set later
    AppendWord(9);  // point size, then the face of the shell's dialog font
    AppendText(L"MS Shell Dlg");
  }

  void AddItem(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atomClass) {
    Align();
    DLGITEMTEMPLATE item = {};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = id;
    Append(&item, sizeof(item));
    AppendWord(0xFFFF);
    AppendWord(atomClass);
    AppendWord(0);  // text set later
    AppendWord(0);  // no creation data
  }

  const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Append(const void* data, size_t bytes) {
    const size_t at = words_.size();
    words_.resize(at + (bytes + 1) / 2);
    std::memcpy(words_.data() + at, data, bytes);
  }
  void AppendWord(WORD word) { words_.push_back(word); }
  void AppendText(const wchar_t* text) {
    while (*text) words_.push_back(static_cast<WORD>(*text++));
    words_.push_back(0);
  }
  void Align() {
    if (words_.size() % 2) words_.push_back(0);  // DWORD boundary
  }

  std::vector<WORD> words_;
};

INT_PTR CALLBACK InputBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      const auto* state = reinterpret_cast<const InputBoxState*>(lParam);
      SetWindowTextA(dialog, state->caption.c_str());
      SetDlgItemTextA(dialog, kPromptId, state->prompt.c_str());
      SetDlgItemTextA(dialog, IDOK, "确定");
      SetDlgItemTextA(dialog, IDCANCEL, "取消");
      HWND edit = GetDlgItem(dialog, kEditId);
      SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
      SetWindowTextA(edit, state->text.c_str());
      SetFocus(edit);
      SendMessageA(edit, EM_SETSEL, 0, -1);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        auto* state = reinterpret_cast<InputBoxState*>(GetWindowLongPtrA(dialog, DWLP_USER));
        HWND edit = GetDlgItem(dialog, kEditId);
        std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
        text.resize(static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
        state->text = std::move(text);
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

std::optional<std::string> AskText(HWND owner, const std::string& caption,
                                   const std::string& prompt, const std::string& initialText) {
  constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;
  DialogTemplate box(250, 86, 4);
  box.AddItem(SS_LEFT, 7, 7, 236, 30, kPromptId, kStatic);
  box.AddItem(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 42, 236, 14, kEditId, kEdit);
  box.AddItem(BS_DEFPUSHBUTTON | WS_TABSTOP, 136, 64, 50, 15, IDOK, kButton);
  box.AddItem(BS_PUSHBUTTON | WS_TABSTOP, 193, 64, 50, 15, IDCANCEL, kButton);
  InputBoxState state{caption, prompt, initialText};
  const INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), box.get(), owner,
                                                 InputBoxProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.text;
}

}  // namespace derov
