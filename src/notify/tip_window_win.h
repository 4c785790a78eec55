#pragma once
// The tip window "dovivi": a small borderless, rounded, always-on-top window that shows a
// firing rule's message while its colour steps through the countdown.

#include <windows.h>

#include <string>

#include "notify/tip_countdown.h"
#include "platform/window_procedure_win.h"

namespace derov {

class TipWindow : public TipView {
 public:
  static constexpr int kWidth = 217;
  static constexpr int kHeight = 76;
  static constexpr int kTop = 30;

  TipWindow() = default;
  ~TipWindow() override;
  TipWindow(const TipWindow&) = delete;
  TipWindow& operator=(const TipWindow&) = delete;

  // Creates the window, hidden, with no owner. The countdown is stepped by this window's
  // timer, so the window must live on the thread that runs the countdown.
  bool Create(HINSTANCE instance);
  void Destroy();
  HWND hwnd() const { return hwnd_; }
  HWND label() const { return 透明标签_; }
  TipCountdown& countdown() { return countdown_; }

  // TipView
  void SetText(const std::string& text) override;
  void SetColour(unsigned colour) override;
  void Show() override;
  void Hide() override;
  bool IsVisible() const override;
  void SetStepping(bool on) override;

  unsigned colour() const { return colour_; }

 private:
  friend LRESULT CALLBACK ObjectWindowProcedure<TipWindow>(HWND, UINT, WPARAM, LPARAM);
  void AttachWindow(HWND window) { hwnd_ = window; }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnTipWindowCreated();
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnLabelColour(HDC dc);

  HWND hwnd_ = nullptr;
  HWND 透明标签_ = nullptr;
  HBRUSH brush_ = nullptr;
  HFONT font_ = nullptr;
  unsigned colour_ = TipCountdown::kStartColour;
  TipCountdown countdown_{*this};
};

}  // namespace derov
