#include "support/message_box_answerer_win.h"

namespace derov::test {
namespace {

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (owner == search->processId && IsWindowVisible(window) &&
      std::string(className) == "#32770") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK ReadChild(HWND child, LPARAM parameter) {
  auto* seen = reinterpret_cast<SeenBox*>(parameter);
  char className[64] = {};
  GetClassNameA(child, className, sizeof className);
  if (_stricmp(className, "Static") != 0) return TRUE;
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if ((style & SS_TYPEMASK) == SS_ICON) {
    if (IsWindowVisible(child) && SendMessageA(child, STM_GETICON, 0, 0)) seen->hasIcon = true;
    return TRUE;
  }
  char text[4096] = {};
  GetWindowTextA(child, text, sizeof text);
  if (std::string(text).size() > seen->text.size()) seen->text = text;
  return TRUE;
}

}  // namespace

HWND WaitForMessageBox(DWORD processId, int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    Search search{processId, nullptr};
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(20);
  }
  return nullptr;
}

SeenBox ReadMessageBox(HWND box) {
  SeenBox seen;
  char title[256] = {};
  GetWindowTextA(box, title, sizeof title);
  seen.title = title;
  EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&seen));
  return seen;
}

void AnswerMessageBox(HWND box, int button) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, button)));
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers)
    : answers_(std::move(answers)), thread_([this] {
        for (int answer : answers_) {
          HWND box = WaitForMessageBox(GetCurrentProcessId());
          if (!box) return;
          seen_.push_back(ReadMessageBox(box));
          AnswerMessageBox(box, answer);
          // Wait for the box to go so the next search does not find it again.
          for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
        }
      }) {}

}  // namespace derov::test
