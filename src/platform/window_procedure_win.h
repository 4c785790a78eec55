#pragma once
// The window procedure shared by the program's window classes: each window is an object of
// T, handed over as the creation parameter and kept in the window's user data, which gets
// every message through T::HandleMessage. T provides AttachWindow(HWND), called on the
// first message, and names this procedure a friend.

#include <windows.h>

namespace derov {

template <class T>
LRESULT CALLBACK ObjectWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->AttachWindow(hwnd);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  // The window's last message: nothing reaches the object after it.
  if (message == WM_NCDESTROY) SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // A handler's failure must not unwind through the system's code.
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// When a window goes, the private messages still queued for it will never be handled: each
// is taken off the queue and its payload (lParam) handed to release. PeekMessage hands out a
// pending WM_QUIT whatever its filter; that one goes back for the message loop.
template <class Release>
void DropQueuedMessages(HWND window, UINT message, Release&& release) {
  MSG pending;
  bool quit = false;
  int quitCode = 0;
  while (PeekMessageA(&pending, window, message, message, PM_REMOVE)) {
    if (pending.message == WM_QUIT) {
      quit = true;
      quitCode = static_cast<int>(pending.wParam);
    } else {
      release(pending.lParam);
    }
  }
  if (quit) PostQuitMessage(quitCode);
}

}  // namespace derov
