#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "notify/input_box_win.h"
#include "notify/settings_file_win.h"
#include "notify/tip_window_win.h"
#include "support/temp_folder.h"

namespace derov {
namespace {

// Runs the calling thread's messages for ms milliseconds.
void PumpFor(DWORD ms) {
  const DWORD end = GetTickCount() + ms;
  while (static_cast<LONG>(end - GetTickCount()) > 0) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(IniSettingsFile, RoundTripsGbkSectionKeysAndValues) {
  test::TempFolder folder;
  IniSettingsFile file(folder.File("derov.ini"));
  EXPECT_EQ(file.Read("微信提醒"), "");  // no file yet
  file.Write("弹窗提醒", "1");
  file.Write("微信提醒", "1-密钥KEY");
  EXPECT_EQ(file.Read("弹窗提醒"), "1");
  EXPECT_EQ(file.Read("微信提醒"), "1-密钥KEY");
  EXPECT_EQ(file.Read("推送地址"), "");
  const std::string bytes = ReadFileBytes(file.path());
  EXPECT_NE(bytes.find("[配置]"), std::string::npos);
  EXPECT_NE(bytes.find("微信提醒=1-密钥KEY"), std::string::npos);
}

// Answers the input box from another thread as a user would, noting what it saw.
class InputBoxAnswerer {
 public:
  InputBoxAnswerer(std::string caption, std::string typed, bool confirm)
      : thread_([=, this] { Answer(caption, typed, confirm); }) {}
  ~InputBoxAnswerer() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }

  std::string prefilled;
  DWORD selectionStart = 99, selectionEnd = 99, characters = 0;

 private:
  void Answer(const std::string& caption, const std::string& typed, bool confirm) {
    HWND box = nullptr;
    for (int i = 0; i < 500 && !box; ++i) {
      box = FindWindowA(nullptr, caption.c_str());
      if (!box) Sleep(10);
    }
    if (!box) return;
    HWND edit = GetDlgItem(box, 101);
    char text[256] = {};
    GetWindowTextA(edit, text, sizeof(text));
    prefilled = text;
    characters = static_cast<DWORD>(GetWindowTextLengthW(edit));
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                 reinterpret_cast<LPARAM>(&selectionEnd));
    SetWindowTextA(edit, typed.c_str());
    PostMessageA(box, WM_COMMAND, confirm ? IDOK : IDCANCEL, 0);
  }
  std::thread thread_;
};

TEST(InputBox, PrefillsAllSelectedAndReturnsTheConfirmedText) {
  InputBoxAnswerer user("请输入微信提醒的密钥：", "新密钥", true);
  const auto answer = AskText(nullptr, "请输入微信提醒的密钥：", "提示", "旧密钥");
  user.Join();
  EXPECT_EQ(answer.value_or("<cancelled>"), "新密钥");
  EXPECT_EQ(user.prefilled, "旧密钥");
  EXPECT_EQ(user.characters, 3u);
  EXPECT_EQ(user.selectionStart, 0u);
  EXPECT_EQ(user.selectionEnd, user.characters);
}

TEST(InputBox, CancelGivesNothing) {
  InputBoxAnswerer user("输入", "ignored", false);
  EXPECT_FALSE(AskText(nullptr, "输入", "提示", "").has_value());
}

TEST(TipWindow, HasItsShapePlaceAndStylesAndStartsHidden) {
  TipWindow tip;
  ASSERT_TRUE(tip.Create(GetModuleHandleA(nullptr)));
  HWND hwnd = tip.hwnd();
  char title[32] = {};
  GetWindowTextA(hwnd, title, sizeof(title));
  EXPECT_STREQ(title, "dovivi");
  EXPECT_FALSE(IsWindowVisible(hwnd));
  RECT rect;
  GetWindowRect(hwnd, &rect);
  EXPECT_EQ(rect.right - rect.left, 217);
  EXPECT_EQ(rect.bottom - rect.top, 76);
  EXPECT_EQ(rect.top, 30);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 217) / 2);
  const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  const LONG exStyle = GetWindowLongA(hwnd, GWL_EXSTYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
  EXPECT_TRUE(exStyle & WS_EX_APPWINDOW);
  EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);
  // The rounded outline: the corner pixel lies outside the region, the middle inside.
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(hwnd, region), ERROR);
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 108, 38));
  EXPECT_TRUE(PtInRegion(region, 7, 0));
  DeleteObject(region);
  // Dragged from any point, with the four-headed arrow.
  EXPECT_EQ(SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(rect.left + 5, rect.top + 5)), HTCAPTION);
  // The label.
  HWND label = tip.label();
  ASSERT_NE(label, nullptr);
  RECT labelRect;
  GetWindowRect(label, &labelRect);
  MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&labelRect), 2);
  EXPECT_EQ(labelRect.left, 10);
  EXPECT_EQ(labelRect.top, 20);
  EXPECT_EQ(labelRect.right - labelRect.left, 197);
  EXPECT_EQ(labelRect.bottom - labelRect.top, 52);
  char text[32] = {};
  GetWindowTextA(label, text, sizeof(text));
  EXPECT_STREQ(text, "你好呀");
  EXPECT_EQ(tip.colour(), 0xAA2DECu);
  tip.Destroy();
  EXPECT_FALSE(IsWindow(hwnd));
}

TEST(TipWindow, CountdownShowsColoursEvery900MsAndHidesAfterFourAndAHalfSeconds) {
  TipWindow tip;
  ASSERT_TRUE(tip.Create(GetModuleHandleA(nullptr)));
  std::atomic<bool> hidden{false};
  ASSERT_TRUE(tip.countdown().Show("网页已变化", [&] { hidden = true; }));
  char text[32] = {};
  GetWindowTextA(tip.label(), text, sizeof(text));
  EXPECT_STREQ(text, "网页已变化");
  EXPECT_TRUE(IsWindowVisible(tip.hwnd()));
  std::vector<unsigned> colours{tip.colour()};
  const DWORD start = GetTickCount();
  while (!hidden && GetTickCount() - start < 8000) {
    PumpFor(50);
    if (tip.colour() != colours.back()) colours.push_back(tip.colour());
  }
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_TRUE(hidden);
  EXPECT_FALSE(IsWindowVisible(tip.hwnd()));
  EXPECT_EQ(colours, (std::vector<unsigned>{0xAA2DEC, 0x2CA2ED, 0x528F26, 0x926451, 0x7A6F8E}));
  EXPECT_GE(elapsed, 4400u);
  EXPECT_LE(elapsed, 9000u);  // timers run late on a busy machine, never early
}

}  // namespace
}  // namespace derov
