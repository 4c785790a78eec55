#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/pumped_wait.h"

namespace derov {
namespace {

double NowMs() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A window that counts what reaches it while its thread waits.
struct Counts {
  int posted = 0;
  int timerTicks = 0;
  int sent = 0;
  bool quitInside = false;
};
Counts counts;
constexpr UINT kPosted = WM_APP + 7;
constexpr UINT kSent = WM_APP + 8;
constexpr UINT kQuitInside = WM_APP + 9;

LRESULT CALLBACK CountingProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kPosted: ++counts.posted; return 0;
    case kSent: ++counts.sent; return 42;
    case kQuitInside: PostQuitMessage(3); return 0;
    case WM_TIMER: ++counts.timerTicks; return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

class PumpedWaitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    counts = {};
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "derovCountingWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "derovCountingWindow", "", WS_OVERLAPPED, 0, 0, 10, 10,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(window_);
  }
  void TearDown() override { DestroyWindow(window_); }
  HWND window_ = nullptr;
};

TEST_F(PumpedWaitTest, ZeroReturnsAtOnce) {
  for (int unit : {0, 1, 2, 3, 500}) {
    const double start = NowMs();
    EXPECT_TRUE(PumpedWait(0, unit));
    EXPECT_LT(NowMs() - start, 5.0) << unit;
  }
}

TEST_F(PumpedWaitTest, MessagesKeepFlowingUntilTheTimeHasPassed) {
  SetTimer(window_, 1, 20, nullptr);
  PostMessageA(window_, kPosted, 0, 0);
  std::atomic<double> answeredAt{0};
  const double start = NowMs();
  std::thread other([&] {
    Sleep(50);
    // Another thread's SendMessage gets its answer while we wait, not after.
    if (SendMessageA(window_, kSent, 0, 0) == 42) answeredAt = NowMs();
  });
  EXPECT_TRUE(PumpedWait(300, 0));
  const double elapsed = NowMs() - start;
  other.join();
  KillTimer(window_, 1);

  EXPECT_GE(elapsed, 295.0);
  EXPECT_LT(elapsed, 1500.0);
  EXPECT_EQ(counts.posted, 1);
  EXPECT_EQ(counts.sent, 1);
  EXPECT_GT(answeredAt.load(), 0.0);
  EXPECT_LT(answeredAt.load() - start, 250.0);
  EXPECT_GE(counts.timerTicks, 5);
}

TEST_F(PumpedWaitTest, AnyOtherUnitIsMillisecondsPerUnit) {
  const double start = NowMs();
  EXPECT_TRUE(PumpedWait(2, 125));
  EXPECT_GE(NowMs() - start, 245.0);
  EXPECT_EQ(PumpedWaitMilliseconds(60, 1), 60000.0);
  EXPECT_EQ(PumpedWaitMilliseconds(2, 2), 120000.0);
  EXPECT_EQ(PumpedWaitMilliseconds(1, 3), 3600000.0);
}

TEST_F(PumpedWaitTest, QuitEndsTheWaitAndStaysForTheLoop) {
  PostMessageA(window_, kQuitInside, 0, 0);
  const double start = NowMs();
  EXPECT_FALSE(PumpedWait(2, 1));
  EXPECT_LT(NowMs() - start, 1000.0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 3u);
}

}  // namespace
}  // namespace derov
