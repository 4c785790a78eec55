#pragma once
// The two notification switches and the push key: in memory, in the main window's two tick
// boxes, and in section "配置" of derov.ini beside the program.

#include <mutex>
#include <optional>
#include <string>

namespace derov {

struct NotificationSettings {
  bool popupEnabled = false;
  bool weChatEnabled = false;
  std::string pushKey;
};

// Section "配置" of the settings file.
class SettingsFile {
 public:
  virtual ~SettingsFile() = default;
  // The key's value; "" when the key or the file is missing.
  virtual std::string Read(const std::string& key) = 0;
  virtual void Write(const std::string& key, const std::string& value) = 0;
};

// A non-empty value is written under key and the result is "1"; an empty value reads the
// key instead, so an empty value can never be written.
std::string AccessSetting(SettingsFile& file, const std::string& key, const std::string& value);

// The settings as workers read them while the window thread may replace them: each read is
// a whole copy, so a push key is seen old or new, never half-replaced.
class SharedNotificationSettings {
 public:
  NotificationSettings Get() const {
    std::lock_guard lock(mutex_);
    return settings_;
  }
  void Set(NotificationSettings settings) {
    std::lock_guard lock(mutex_);
    settings_ = std::move(settings);
  }

 private:
  mutable std::mutex mutex_;
  NotificationSettings settings_;
};

// What the settings logic needs of the main window (called on its thread).
class NotificationSettingsView {
 public:
  virtual ~NotificationSettingsView() = default;
  virtual bool PopupBoxTicked() = 0;
  virtual bool WeChatBoxTicked() = 0;
  virtual void SetPopupBox(bool ticked) = 0;
  virtual void SetWeChatBox(bool ticked) = 0;
  // The modal text input box: the text confirmed, or nothing when cancelled.
  virtual std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                             const std::string& initialText) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
};

// Reads both keys, updates the shared settings and the two boxes.
void LoadNotificationSettings(SettingsFile& file, SharedNotificationSettings& settings,
                              NotificationSettingsView& view);
void OnPopupBoxClicked(SettingsFile& file, SharedNotificationSettings& settings,
                       NotificationSettingsView& view);
void OnWeChatBoxClicked(SettingsFile& file, SharedNotificationSettings& settings,
                        NotificationSettingsView& view);

// Where push notices go: the optional key "推送地址", else kDefaultPushServiceBase; always
// ending in "/" so that the key and ".send" can follow.
inline constexpr const char* kDefaultPushServiceBase = "http://127.0.0.1:8731/";
std::string LoadPushServiceBase(SettingsFile& file);

}  // namespace derov
