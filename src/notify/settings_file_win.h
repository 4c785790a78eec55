#pragma once
// Section "配置" of derov.ini through the system's profile-file functions.

#include <string>

#include "notify/notification_settings.h"

namespace derov {

class IniSettingsFile : public SettingsFile {
 public:
  explicit IniSettingsFile(std::string path) : path_(std::move(path)) {}
  std::string Read(const std::string& key) override;
  void Write(const std::string& key, const std::string& value) override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace derov
