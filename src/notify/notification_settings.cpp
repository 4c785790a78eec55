#include "notify/notification_settings.h"

#include "text/text.h"

namespace derov {
namespace {

constexpr const char* kPopupKey = "弹窗提醒";
constexpr const char* kWeChatKey = "微信提醒";
constexpr const char* kPushServiceKey = "推送地址";

}  // namespace

std::string AccessSetting(SettingsFile& file, const std::string& key, const std::string& value) {
  if (value.empty()) return file.Read(key);
  file.Write(key, value);
  return "1";
}

void LoadNotificationSettings(SettingsFile& file, SharedNotificationSettings& settings,
                              NotificationSettingsView& view) {
  const std::string weChat = AccessSetting(file, kWeChatKey, "");
  const std::string popup = AccessSetting(file, kPopupKey, "");
  NotificationSettings loaded;
  loaded.popupEnabled = popup == "1";
  const int flag = ReadInteger(weChat);
  loaded.weChatEnabled = flag == 1;
  // Only the flag's own prefix goes: a key that itself holds "1-" stays whole.
  const std::string prefix = std::to_string(flag) + "-";
  const int at = FindText(weChat, prefix);
  loaded.pushKey = at == -1 ? weChat : weChat.substr(0, at - 1) + weChat.substr(at - 1 + prefix.size());
  view.SetPopupBox(loaded.popupEnabled);
  view.SetWeChatBox(loaded.weChatEnabled);
  settings.Set(std::move(loaded));
}

void OnPopupBoxClicked(SettingsFile& file, SharedNotificationSettings& settings,
                       NotificationSettingsView& view) {
  AccessSetting(file, kPopupKey, view.PopupBoxTicked() ? "1" : "0");
  LoadNotificationSettings(file, settings, view);
}

void OnWeChatBoxClicked(SettingsFile& file, SharedNotificationSettings& settings,
                        NotificationSettingsView& view) {
  int flag = 0;
  std::string key = settings.Get().pushKey;
  if (view.WeChatBoxTicked()) {
    const std::optional<std::string> typed =
        view.AskText("请输入微信提醒的密钥：",
                     "密钥获取帮助可见Orvane论坛，设置后，新文章将通过公众号通知到你的微信", key);
    if (!typed) {
      view.ShowMessage("你取消了输入");
      view.SetWeChatBox(false);
    } else if (typed->empty()) {
      view.SetWeChatBox(false);
    } else {
      key = *typed;
      flag = 1;
    }
  }
  AccessSetting(file, kWeChatKey, std::to_string(flag) + "-" + key);
  LoadNotificationSettings(file, settings, view);
}

std::string LoadPushServiceBase(SettingsFile& file) {
  std::string base = TrimSpaces(file.Read(kPushServiceKey));
  if (base.empty()) base = kDefaultPushServiceBase;
  if (base.back() != '/') base += '/';
  return base;
}

}  // namespace derov
