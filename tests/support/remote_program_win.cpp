#include "support/remote_program_win.h"

#include <commctrl.h>

#include <vector>

namespace derov::test {
namespace {

// A program that stops answering must fail the test, not hang it.
constexpr UINT kAnswerWithinMs = 10000;

LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* answered = nullptr) {
  DWORD_PTR result = 0;
  const bool ok = SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG,
                                      kAnswerWithinMs, &result) != 0;
  if (answered) *answered = ok;
  return ok ? static_cast<LRESULT>(result) : 0;
}

struct WindowSearch {
  DWORD processId;
  const char* className;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId) return TRUE;
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) != search->className) return TRUE;
  if (search->title) {
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::string(title) != search->title) return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& exe) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string commandLine = "\"" + exe + "\"";
  const std::string folder = exe.substr(0, exe.rfind('\\'));
  if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                     folder.c_str(), &startup, &info_)) {
    process_.reset(info_.hProcess);
    thread_.reset(info_.hThread);
  }
}

RunningProgram::~RunningProgram() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 10000);
  }
}

DWORD RunningProgram::ExitCode(int timeoutMs) const {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process_.get(), &code);
  return code;
}

HWND RunningProgram::FindWindowOf(const char* className, const char* title) const {
  WindowSearch search{id(), className, title, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND RunningProgram::WaitForWindow(const char* className, int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    if (HWND window = FindWindowOf(className); window && IsWindowVisible(window)) return window;
    Sleep(50);
  }
  return nullptr;
}

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size) : process_(process), size_(size) {
  memory_ = VirtualAllocEx(process_, nullptr, size_, MEM_COMMIT, PAGE_READWRITE);
}

RemoteMemory::~RemoteMemory() {
  if (memory_) VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(const void* data, std::size_t size, std::size_t offset) {
  SIZE_T moved = 0;
  return memory_ && offset + size <= size_ &&
         WriteProcessMemory(process_, address() + offset, data, size, &moved) && moved == size;
}

bool RemoteMemory::Read(void* data, std::size_t size, std::size_t offset) const {
  SIZE_T moved = 0;
  return memory_ && offset + size <= size_ &&
         ReadProcessMemory(process_, address() + offset, data, size, &moved) && moved == size;
}

std::string RemoteText(HWND window) {
  // The system carries WM_GETTEXT's text between the processes itself. The text may grow
  // between asking its length and reading it: a copy that fills the buffer is read again.
  for (size_t room = static_cast<size_t>(SendWithin(window, WM_GETTEXTLENGTH, 0, 0)) + 64;;
       room *= 2) {
    std::vector<char> text(room, '\0');
    const auto copied = static_cast<size_t>(
        SendWithin(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    if (copied + 1 < room) return std::string(text.data(), copied);
  }
}

RECT RemoteItemRect(HANDLE process, HWND control, UINT message, WPARAM item) {
  RemoteMemory memory(process, sizeof(RECT));
  RECT rect{};
  if (!memory.Write(&rect, sizeof rect)) return {};
  bool answered = false;
  const LRESULT ok = SendWithin(control, message, item, reinterpret_cast<LPARAM>(memory.address()),
                                &answered);
  if (!answered || !ok || !memory.Read(&rect, sizeof rect)) return {};
  return rect;
}

int RemoteList::RowCount() const {
  return static_cast<int>(SendWithin(list_, LVM_GETITEMCOUNT, 0, 0));
}

bool RemoteList::Tick(int row) const {
  const auto state = SendWithin(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

std::string RemoteList::Cell(int row, int column) const {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = memory_.address() + sizeof(LVITEMA);
  item.cchTextMax = static_cast<int>(kSize - sizeof(LVITEMA));
  if (!memory_.Write(&item, sizeof item)) return {};
  const auto length = SendWithin(list_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(memory_.address()));
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  if (length <= 0 || !memory_.Read(text.data(), static_cast<size_t>(length), sizeof(LVITEMA))) return {};
  return std::string(text.data(), static_cast<size_t>(length));
}

int RemoteList::FindRow(int column, const std::string& text) const {
  const int rows = RowCount();
  for (int row = 0; row < rows; ++row)
    if (Cell(row, column) == text) return row;
  return -1;
}

}  // namespace derov::test
