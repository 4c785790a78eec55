#include "notify/notification_settings.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace derov {
namespace {

class MapSettingsFile : public SettingsFile {
 public:
  std::string Read(const std::string& key) override {
    auto it = values.find(key);
    return it == values.end() ? std::string() : it->second;
  }
  void Write(const std::string& key, const std::string& value) override { values[key] = value; }
  std::map<std::string, std::string> values;
};

class FakeView : public NotificationSettingsView {
 public:
  bool PopupBoxTicked() override { return popup; }
  bool WeChatBoxTicked() override { return weChat; }
  void SetPopupBox(bool ticked) override { popup = ticked; }
  void SetWeChatBox(bool ticked) override { weChat = ticked; }
  std::optional<std::string> AskText(const std::string& caption, const std::string& prompt,
                                     const std::string& initialText) override {
    asked.push_back(caption + "|" + prompt + "|" + initialText);
    return answer;
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  bool popup = false, weChat = false;
  std::optional<std::string> answer;
  std::vector<std::string> asked, messages;
};

struct Loaded {
  NotificationSettings settings;
  FakeView view;
};

Loaded Load(std::map<std::string, std::string> values) {
  MapSettingsFile file;
  file.values = std::move(values);
  SharedNotificationSettings shared;
  Loaded loaded;
  loaded.view.popup = loaded.view.weChat = true;  // the load must set both boxes
  LoadNotificationSettings(file, shared, loaded.view);
  loaded.settings = shared.Get();
  return loaded;
}

TEST(NotificationSettings, LoadReadsSwitchesAndKey) {
  struct Case {
    std::map<std::string, std::string> file;
    bool popup, weChat;
    std::string key;
  } const cases[] = {
      {{}, false, false, ""},
      {{{"微信提醒", "1-PUSHKEY"}, {"弹窗提醒", "1"}}, true, true, "PUSHKEY"},
      {{{"微信提醒", "0-PUSHKEY"}}, false, false, "PUSHKEY"},
      {{{"微信提醒", "1-"}}, false, true, ""},
      {{{"微信提醒", "0-"}}, false, false, ""},
      {{{"微信提醒", "10"}}, false, false, "10"},
      {{{"弹窗提醒", "1x"}}, false, false, ""},
      {{{"弹窗提醒", "yes"}}, false, false, ""},
      // Only the flag's own prefix is removed: a key holding "1-" survives.
      {{{"微信提醒", "1-ab1-cd"}}, false, true, "ab1-cd"},
  };
  for (const Case& c : cases) {
    const Loaded loaded = Load(c.file);
    SCOPED_TRACE(c.key);
    EXPECT_EQ(loaded.settings.popupEnabled, c.popup);
    EXPECT_EQ(loaded.settings.weChatEnabled, c.weChat);
    EXPECT_EQ(loaded.settings.pushKey, c.key);
    EXPECT_EQ(loaded.view.popup, c.popup);
    EXPECT_EQ(loaded.view.weChat, c.weChat);
  }
}

struct Fixture : ::testing::Test {
  MapSettingsFile file;
  SharedNotificationSettings shared;
  FakeView view;
};

using NotificationClicks = Fixture;

TEST_F(NotificationClicks, PopupBoxWritesItsFlagAndReloadsEverything) {
  file.values["微信提醒"] = "1-KEY";
  view.popup = true;
  OnPopupBoxClicked(file, shared, view);
  EXPECT_EQ(file.values["弹窗提醒"], "1");
  EXPECT_TRUE(shared.Get().popupEnabled);
  EXPECT_TRUE(view.weChat);  // the WeChat switch and key follow the file too
  EXPECT_EQ(shared.Get().pushKey, "KEY");
  view.popup = false;
  OnPopupBoxClicked(file, shared, view);
  EXPECT_EQ(file.values["弹窗提醒"], "0");
  EXPECT_FALSE(shared.Get().popupEnabled);
}

TEST_F(NotificationClicks, TickingAndConfirmingAKeySwitchesWeChatOn) {
  file.values["微信提醒"] = "0-OLD";
  LoadNotificationSettings(file, shared, view);
  view.weChat = true;
  view.answer = "NEW";
  OnWeChatBoxClicked(file, shared, view);
  ASSERT_EQ(view.asked.size(), 1u);
  EXPECT_EQ(view.asked[0],
            "请输入微信提醒的密钥：|密钥获取帮助可见Orvane论坛，设置后，新文章将通过公众号通知到你的微信|OLD");
  EXPECT_EQ(file.values["微信提醒"], "1-NEW");
  EXPECT_TRUE(shared.Get().weChatEnabled);
  EXPECT_EQ(shared.Get().pushKey, "NEW");
  EXPECT_TRUE(view.weChat);
}

TEST_F(NotificationClicks, CancelOrEmptyAnswerKeepsTheStoredKeyAndUnticks) {
  file.values["微信提醒"] = "0-OLD";
  LoadNotificationSettings(file, shared, view);
  view.weChat = true;
  view.answer.reset();
  OnWeChatBoxClicked(file, shared, view);
  EXPECT_EQ(view.messages, std::vector<std::string>{"你取消了输入"});
  EXPECT_FALSE(view.weChat);
  EXPECT_EQ(file.values["微信提醒"], "0-OLD");
  EXPECT_EQ(shared.Get().pushKey, "OLD");

  view.weChat = true;
  view.answer = "";
  OnWeChatBoxClicked(file, shared, view);
  EXPECT_EQ(view.messages.size(), 1u);  // no message for an empty answer
  EXPECT_FALSE(view.weChat);
  EXPECT_EQ(file.values["微信提醒"], "0-OLD");
}

TEST_F(NotificationClicks, UntickingKeepsTheKeyStored) {
  file.values["微信提醒"] = "1-KEY";
  LoadNotificationSettings(file, shared, view);
  view.weChat = false;
  OnWeChatBoxClicked(file, shared, view);
  EXPECT_TRUE(view.asked.empty());
  EXPECT_EQ(file.values["微信提醒"], "0-KEY");
  EXPECT_FALSE(shared.Get().weChatEnabled);
  EXPECT_EQ(shared.Get().pushKey, "KEY");
}

TEST(PushServiceBase, DefaultOrTheUsersAddressEndingInASlash) {
  MapSettingsFile file;
  EXPECT_EQ(LoadPushServiceBase(file), kDefaultPushServiceBase);
  file.values["推送地址"] = " https://push.example.com/api ";
  EXPECT_EQ(LoadPushServiceBase(file), "https://push.example.com/api/");
  file.values["推送地址"] = "http://127.0.0.1:9/";
  EXPECT_EQ(LoadPushServiceBase(file), "http://127.0.0.1:9/");
}

}  // namespace
}  // namespace derov
