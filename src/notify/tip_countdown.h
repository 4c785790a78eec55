#pragma once
// The tip window's five-colour countdown. It runs on the window's own thread and is
// stepped every 900 ms while it runs; a tip that arrives while one shows replaces the text
// and starts the colours again. A restart is a flag of its own, never folded into the step
// count, so a tip kept up by any number of restarts still ends five steps after the last.

#include <functional>
#include <string>
#include <vector>

namespace derov {

// The tip window as the countdown sees it (called on the window's thread only).
class TipView {
 public:
  virtual ~TipView() = default;
  virtual void SetText(const std::string& text) = 0;
  virtual void SetColour(unsigned colour) = 0;  // 0xBBGGRR
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() const = 0;
  // Asks for Step() every kStepMilliseconds while on, and for none while off.
  virtual void SetStepping(bool on) = 0;
};

class TipCountdown {
 public:
  static constexpr int kStepMilliseconds = 900;
  static constexpr int kSteps = 5;
  static constexpr unsigned kStepColours[kSteps + 1] = {0, 0x7A6F8E, 0x926451,
                                                         0x528F26, 0x2CA2ED, 0xAA2DEC};
  static constexpr unsigned kStartColour = kStepColours[kSteps];

  explicit TipCountdown(TipView& view) : view_(view) {}

  // Shows text. When no countdown runs, starts one and returns true; onHidden runs when that
  // countdown ends. Otherwise the running countdown restarts at its next step, onHidden is
  // not kept, and the result is false.
  bool Show(const std::string& text, std::function<void()> onHidden);

  // One step has passed: the next colour, a restart, or the end.
  void Step();

  bool Running() const { return stepsLeft_ > 0; }

  // Program exit: hides the tip and releases whoever waits for it.
  void Cancel();

 private:
  void Finish();

  TipView& view_;
  int stepsLeft_ = 0;
  bool restartRequested_ = false;
  std::function<void()> onHidden_;
};

}  // namespace derov
