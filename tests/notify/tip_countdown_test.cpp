#include "notify/tip_countdown.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace derov {
namespace {

// Records what the tip window is asked to do.
class RecordingTip : public TipView {
 public:
  void SetText(const std::string& value) override { text = value; }
  void SetColour(unsigned colour) override { colours.push_back(colour); }
  void Show() override { visible = true; }
  void Hide() override {
    visible = false;
    ++hides;
  }
  bool IsVisible() const override { return visible; }
  void SetStepping(bool on) override { stepping = on; }

  std::string text;
  std::vector<unsigned> colours;
  bool visible = false;
  bool stepping = false;
  int hides = 0;
};

const std::vector<unsigned> kFiveColours = {0xAA2DEC, 0x2CA2ED, 0x528F26, 0x926451, 0x7A6F8E};

// Steps until the tip hides; returns how many steps that took (-1 if it never does).
int StepsUntilHidden(TipCountdown& countdown, const RecordingTip& view, int limit = 10000) {
  for (int steps = 1; steps <= limit; ++steps) {
    countdown.Step();
    if (!view.visible) return steps;
  }
  return -1;
}

TEST(TipCountdown, OneTipShowsFiveColoursAndHidesAfterFiveSteps) {
  RecordingTip view;
  TipCountdown countdown(view);
  int hidden = 0;
  EXPECT_TRUE(countdown.Show("网页已变化", [&] { ++hidden; }));
  EXPECT_TRUE(view.visible);
  EXPECT_TRUE(view.stepping);
  EXPECT_EQ(view.text, "网页已变化");
  EXPECT_EQ(StepsUntilHidden(countdown, view), 5);  // 5 × 900 ms = 4.5 s
  EXPECT_EQ(view.colours, kFiveColours);
  EXPECT_EQ(hidden, 1);
  EXPECT_FALSE(view.stepping);
  EXPECT_FALSE(countdown.Running());
}

TEST(TipCountdown, ATipWhileShowingReplacesTheTextAndRestartsAtTheNextStep) {
  RecordingTip view;
  TipCountdown countdown(view);
  int firstHidden = 0, secondHidden = 0;
  countdown.Show("first", [&] { ++firstHidden; });
  countdown.Step();
  countdown.Step();  // 1.8 s: the third colour shows
  EXPECT_FALSE(countdown.Show("second", [&] { ++secondHidden; }));
  EXPECT_EQ(view.text, "second");
  EXPECT_EQ(view.colours.back(), 0x528F26u);  // nothing changes until the step ends
  // The restart takes effect at the next step and the tip stays five steps from there.
  EXPECT_EQ(StepsUntilHidden(countdown, view), 6);
  const std::vector<unsigned> afterRestart(view.colours.end() - 5, view.colours.end());
  EXPECT_EQ(afterRestart, kFiveColours);
  EXPECT_EQ(firstHidden, 1);  // only the caller that started the countdown waits for it
  EXPECT_EQ(secondHidden, 0);
}

TEST(TipCountdown, AHundredRestartsStillHideFiveStepsAfterTheLast) {
  RecordingTip view;
  TipCountdown countdown(view);
  countdown.Show("0", [] {});
  for (int i = 1; i <= 100; ++i) {
    countdown.Step();
    countdown.Show(std::to_string(i), [] {});
  }
  EXPECT_EQ(StepsUntilHidden(countdown, view), 6);
  EXPECT_EQ(view.text, "100");
  EXPECT_EQ(view.hides, 1);
}

TEST(TipCountdown, ATipArrivingAsTheCountdownEndsGetsAFullCountdownOfItsOwn) {
  RecordingTip view;
  TipCountdown countdown(view);
  countdown.Show("first", [] {});
  EXPECT_EQ(StepsUntilHidden(countdown, view), 5);
  int hidden = 0;
  EXPECT_TRUE(countdown.Show("late", [&] { ++hidden; }));
  EXPECT_EQ(view.colours.back(), 0xAA2DECu);
  EXPECT_EQ(StepsUntilHidden(countdown, view), 5);
  EXPECT_EQ(hidden, 1);
}

TEST(TipCountdown, EmptyTextRunsAsUsualAndCancelReleasesTheWaiter) {
  RecordingTip view;
  TipCountdown countdown(view);
  view.text = "你好呀";
  int hidden = 0;
  countdown.Show("", [&] { ++hidden; });
  EXPECT_EQ(view.text, "");
  countdown.Step();
  countdown.Cancel();
  EXPECT_FALSE(view.visible);
  EXPECT_EQ(hidden, 1);
  countdown.Cancel();
  EXPECT_EQ(hidden, 1);
}

}  // namespace
}  // namespace derov
