#include "notify/notification_dispatch.h"

#include <atomic>

#include "web/web_request.h"

namespace derov {
namespace {

bool Stopped(const std::shared_ptr<StopSignal>& life) { return life && life->StopRequested(); }

// The check runs on the window's thread, where the stop is set too, so nothing slips in
// after a stop.
void PostLogLine(NotifyServices& services, std::string line,
                 const std::shared_ptr<StopSignal>& life) {
  services.ui.Post([&box = services.logBox, line = std::move(line), life] {
    if (!Stopped(life)) PrependLog(box, line);
  });
}

}  // namespace

std::string SendPushNotice(RequestObjectFactory& requests, const std::string& pushServiceBase,
                           const std::string& pushKey, const std::string& title,
                           const std::string& message) {
  WebRequestOptions options;
  options.method = 1;
  options.postText = "text=" + title + "&desp=" + message;
  // The address carries the user's secret key: keep the certificate checks.
  options.ignoreCertificateErrors = false;
  return BodyToText(SendWebRequest(requests, pushServiceBase + pushKey + ".send", options));
}

void ShowTip(NotifyServices& services, const std::string& text,
             const std::shared_ptr<StopSignal>& life) {
  const auto waiter = life ? life : std::make_shared<StopSignal>();
  auto done = std::make_shared<std::atomic<bool>>(false);
  auto release = [done, waiter] {
    done->store(true);
    waiter->Wake();
  };
  const bool posted = services.ui.Post([&tip = services.tip, text, life, release] {
    if (Stopped(life) || !tip.Show(text, release)) release();
  });
  if (posted) waiter->WaitUntil([&] { return done->load(); });
}

void NotifyRuleChange(NotifyServices& services, int ruleNumber, const std::string& message,
                      const std::shared_ptr<StopSignal>& life) {
  const std::string name = services.rules.With(ruleNumber, [](const RuleRecord& r) { return r.name; });
  const NotificationSettings settings = services.settings.Get();
  PostLogLine(services, "[" + name + "]" + message + "\r\n", life);
  const std::string title = name + "　有新变动";
  if (settings.weChatEnabled && !settings.pushKey.empty() && !Stopped(life)) {
    const std::string reply = SendPushNotice(services.requests, services.pushServiceBase,
                                             settings.pushKey, title, message);
    PostLogLine(services, "已发出微信通知：" + reply + "\r\n", life);
  }
  if (settings.popupEnabled && !Stopped(life)) ShowTip(services, message, life);
}

}  // namespace derov
