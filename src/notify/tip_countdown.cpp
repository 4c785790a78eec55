#include "notify/tip_countdown.h"

namespace derov {

bool TipCountdown::Show(const std::string& text, std::function<void()> onHidden) {
  view_.SetText(text);
  if (Running()) {
    restartRequested_ = true;
    return false;
  }
  stepsLeft_ = kSteps;
  restartRequested_ = false;
  onHidden_ = std::move(onHidden);
  view_.SetColour(kStepColours[stepsLeft_]);
  view_.Show();
  view_.SetStepping(true);
  return true;
}

void TipCountdown::Step() {
  if (!Running()) return;
  if (restartRequested_) {
    restartRequested_ = false;
    stepsLeft_ = kSteps;
  } else if (--stepsLeft_ == 0) {
    Finish();
    return;
  }
  view_.SetColour(kStepColours[stepsLeft_]);
}

void TipCountdown::Cancel() {
  if (Running()) Finish();
}

void TipCountdown::Finish() {
  stepsLeft_ = 0;
  restartRequested_ = false;
  view_.SetStepping(false);
  view_.Hide();
  if (auto done = std::move(onHidden_)) {
    onHidden_ = nullptr;
    done();
  }
}

}  // namespace derov
