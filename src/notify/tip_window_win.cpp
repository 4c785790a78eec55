#include "notify/tip_window_win.h"

#include <algorithm>

namespace derov {
namespace {

constexpr char kClassName[] = "derovTipWindow";
constexpr UINT_PTR kStepTimer = 1;

bool RegisterTipClass(HINSTANCE instance, WNDPROC proc) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExA(instance, kClassName, &wc)) return true;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_SIZEALL);
  wc.lpszClassName = kClassName;
  return RegisterClassExA(&wc) != 0;
}

HFONT CreateMessageFont() {
  NONCLIENTMETRICSA metrics = {};
  metrics.cbSize = sizeof(metrics);
  if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  return CreateFontIndirectA(&metrics.lfMessageFont);
}

}  // namespace

TipWindow::~TipWindow() { Destroy(); }

bool TipWindow::Create(HINSTANCE instance) {
  if (hwnd_) return true;
  if (!RegisterTipClass(instance, &ObjectWindowProcedure<TipWindow>)) return false;
  // Centred on the screen; the created event then moves the top edge.
  const int x = (GetSystemMetrics(SM_CXSCREEN) - kWidth) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - kHeight) / 2;
  brush_ = CreateSolidBrush(colour_);
  CreateWindowExA(WS_EX_TOPMOST | WS_EX_APPWINDOW, kClassName, "dovivi", WS_POPUP, x, y, kWidth,
                  kHeight, nullptr, nullptr, instance, this);
  return hwnd_ != nullptr;
}

void TipWindow::Destroy() {
  if (hwnd_) {
    countdown_.Cancel();
    DestroyWindow(hwnd_);
  }
  if (brush_) DeleteObject(brush_);
  if (font_) DeleteObject(font_);
  brush_ = nullptr;
  font_ = nullptr;
}

LRESULT TipWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnTipWindowCreated();
      return 0;
    case WM_NCHITTEST:
      return HTCAPTION;  // dragged by any point
    case WM_SETCURSOR:
      SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
      return TRUE;
    case WM_ERASEBKGND:
      return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_CTLCOLORSTATIC:
      return OnLabelColour(reinterpret_cast<HDC>(wParam));
    case WM_TIMER:
      if (wParam == kStepTimer) countdown_.Step();
      return 0;
    case WM_CLOSE:
      return 0;  // closed only with the main window
    case WM_NCDESTROY: {
      HWND window = hwnd_;
      hwnd_ = nullptr;
      透明标签_ = nullptr;
      return DefWindowProcA(window, message, wParam, lParam);
    }
    default:
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

void TipWindow::OnTipWindowCreated() {
  RECT rect;
  GetWindowRect(hwnd_, &rect);
  SetWindowPos(hwnd_, nullptr, rect.left, kTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Corners are arcs of an ellipse a fifth of the smaller side wide and high.
  const int corner = std::min(kWidth, kHeight) / 5;
  SetWindowRgn(hwnd_, CreateRoundRectRgn(0, 0, kWidth + 1, kHeight + 1, corner, corner), FALSE);
  透明标签_ = CreateWindowExA(0, "STATIC", "你好呀", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOTIFY,
                              10, 20, 197, 52, hwnd_, nullptr, nullptr, nullptr);
  font_ = CreateMessageFont();
  if (font_) SendMessageA(透明标签_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

LRESULT TipWindow::OnEraseBackground(HDC dc) {
  RECT rect;
  GetClientRect(hwnd_, &rect);
  FillRect(dc, &rect, brush_);
  return TRUE;
}

// The label has no background of its own: the window's colour shows through it.
LRESULT TipWindow::OnLabelColour(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(brush_);
}

void TipWindow::SetText(const std::string& text) {
  if (!透明标签_) return;
  SetWindowTextA(透明标签_, text.c_str());
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TipWindow::SetColour(unsigned colour) {
  if (colour == colour_ && brush_) return;
  colour_ = colour;
  if (HBRUSH replacement = CreateSolidBrush(colour)) {
    if (brush_) DeleteObject(brush_);
    brush_ = replacement;
  }
  if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TipWindow::Show() {
  if (hwnd_) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void TipWindow::Hide() {
  if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

bool TipWindow::IsVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

void TipWindow::SetStepping(bool on) {
  if (!hwnd_) return;
  if (on)
    SetTimer(hwnd_, kStepTimer, TipCountdown::kStepMilliseconds, nullptr);
  else
    KillTimer(hwnd_, kStepTimer);
}

}  // namespace derov
