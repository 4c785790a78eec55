// derov.exe started as a user starts it: copied into a folder of its own (with a Chinese
// name), with or without a rule database beside it.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/message_box_answerer_win.h"
#include "support/remote_program_win.h"
#include "support/rule_database_file.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

namespace derov {
namespace {

using test::RemoteList;
using test::RunningProgram;
using test::StoredRule;

constexpr char kMissingText[] =
    " 找不到！ \r\nError：Database file ‘derov.sdb’ missing\r\n\r\n\r\n请到 Orvane 下载完整版本！";

class DerovExe : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = temp_.File("监控程序");
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    exe_ = folder_ + "\\derov.exe";
    ASSERT_TRUE(CopyFileA(DEROV_EXE, exe_.c_str(), FALSE)) << "copy " << DEROV_EXE;
  }

  test::TempFolder temp_;
  std::string folder_;
  std::string exe_;
};

TEST_F(DerovExe, WithoutItsDatabaseItSaysSoAndEnds) {
  RunningProgram program(exe_);
  ASSERT_TRUE(program.started());
  HWND box = test::WaitForMessageBox(program.id(), 15000);
  ASSERT_TRUE(box) << "no missing-database box";
  const test::SeenBox seen = test::ReadMessageBox(box);
  EXPECT_EQ(seen.title, "启动失败");
  EXPECT_EQ(seen.text, folder_ + "\\derov.sdb" + kMissingText);
  EXPECT_TRUE(seen.hasIcon);
  HWND main = program.FindMainWindow();
  EXPECT_TRUE(!main || !IsWindowVisible(main)) << "the main window must not show";

  test::AnswerMessageBox(box, IDOK);
  EXPECT_EQ(program.ExitCode(10000), 0u);
  EXPECT_FALSE(std::ifstream(folder_ + "\\derov.sdb")) << "the program never makes one";
}

TEST_F(DerovExe, ListsItsRulesNewestFirst) {
  const std::string database = folder_ + "\\derov.sdb";
  ASSERT_TRUE(test::CreateRuleDatabase(database));
  ASSERT_TRUE(test::StoreRule(database, {.id = "1", .name = "关闭的", .isopen = "0"}));
  ASSERT_TRUE(test::StoreRule(database, {.id = "2", .name = "完毕的", .isend = "1"}));
  ASSERT_TRUE(test::StoreRule(database, {.id = "3", .name = "等着的", .type = "2",
                                         .saverule = "23{[价格]}"}));

  RunningProgram program(exe_);
  ASSERT_TRUE(program.started());
  HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main) << "no main window";
  char title[256] = {};
  GetWindowTextA(main, title, sizeof title);
  EXPECT_EQ(std::string(title).rfind("diruzirivi v", 0), 0u) << title;

  HWND list = FindWindowExA(main, nullptr, "SysListView32", nullptr);
  ASSERT_TRUE(list);
  RemoteList rows(program.process(), list);
  ASSERT_EQ(rows.RowCount(), 3);
  const struct {
    const char* id;
    const char* name;
    bool ticked;
    const char* status;
  } expected[] = {{"3", "等着的", true, "待监控"},
                  {"2", "完毕的", false, "执行完毕"},
                  {"1", "关闭的", false, "未开启"}};
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(rows.Cell(row, 0), expected[row].id);
    EXPECT_EQ(rows.Cell(row, 1), expected[row].name);
    EXPECT_EQ(rows.Tick(row), expected[row].ticked) << row;
    EXPECT_EQ(rows.Cell(row, 9), expected[row].status);
  }
  EXPECT_EQ(rows.Cell(0, 3), "23{[价格]}");

  PostMessageA(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(program.ExitCode(10000), 0u);
}

TEST_F(DerovExe, ClosingWhileAFetchIsInFlightEndsAtOnce) {
  test::TestServer server;
  ASSERT_TRUE(server.ready()) << server.problem();
  test::ScriptedResponse slow;
  slow.body = "late";
  slow.delayMs = 20000;
  ASSERT_TRUE(server.Script("slow", slow));
  const std::string database = folder_ + "\\derov.sdb";
  ASSERT_TRUE(test::CreateRuleDatabase(database));
  ASSERT_TRUE(test::StoreRule(database, {.id = std::nullopt, .name = "慢", .url = server.Url("slow")}));

  RunningProgram program(exe_);
  ASSERT_TRUE(program.started());
  HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  HWND button = FindWindowExA(main, nullptr, "Button", "开始监控");
  ASSERT_TRUE(button);
  PostMessageA(button, BM_CLICK, 0, 0);
  for (int waited = 0; server.Requests().empty() && waited < 15000; waited += 50) Sleep(50);
  ASSERT_EQ(server.Requests().size(), 1u) << "the fetch never started";

  // Without a window manager Wine spends about two seconds taking a top-level window off
  // the screen; what counts is that the program does not wait for the fetch after that.
  PostMessageA(main, WM_CLOSE, 0, 0);
  while (IsWindow(main)) Sleep(5);
  const DWORD windowGone = GetTickCount();
  EXPECT_EQ(program.ExitCode(5000), 0u);
  EXPECT_LT(GetTickCount() - windowGone, 1000u) << "closing waited for the fetch";
}

}  // namespace
}  // namespace derov
