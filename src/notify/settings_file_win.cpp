#include "notify/settings_file_win.h"

#include <windows.h>

#include <vector>

namespace derov {
namespace {

constexpr char kSection[] = "配置";
constexpr DWORD kValueBuffer = 10240;  // at most 10239 bytes of a value are read

}  // namespace

std::string IniSettingsFile::Read(const std::string& key) {
  std::vector<char> buffer(kValueBuffer, '\0');
  const DWORD length = GetPrivateProfileStringA(kSection, key.c_str(), "", buffer.data(),
                                                kValueBuffer, path_.c_str());
  return std::string(buffer.data(), length);
}

void IniSettingsFile::Write(const std::string& key, const std::string& value) {
  WritePrivateProfileStringA(kSection, key.c_str(), value.c_str(), path_.c_str());
}

}  // namespace derov
