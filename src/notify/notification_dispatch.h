#pragma once
// A firing rule reaches the user here: a line on top of the log box, a push notice to the
// user's phone when switched on and a key is set, and the tip window when switched on.

#include <memory>
#include <string>

#include "notify/log_box.h"
#include "notify/notification_settings.h"
#include "notify/tip_countdown.h"
#include "platform/stop_signal.h"
#include "platform/ui_thread.h"
#include "rules/rule_record.h"
#include "web/request_object.h"

namespace derov {

// What dispatch uses; logBox and tip are touched only inside tasks posted to ui.
struct NotifyServices {
  UiThread& ui;
  LogBox& logBox;
  TipCountdown& tip;
  const RuleTable& rules;
  const SharedNotificationSettings& settings;
  RequestObjectFactory& requests;
  std::string pushServiceBase;  // ends in "/"
};

// Runs on the firing worker's thread and returns when the log line, the push notice and the
// tip are done. Once `life` is stopped nothing more reaches the window or the network (a
// push already on the wire finishes, but its reply is not logged).
void NotifyRuleChange(NotifyServices& services, int ruleNumber, const std::string& message,
                      const std::shared_ptr<StopSignal>& life);

// The push notice; returns the service's reply as text.
std::string SendPushNotice(RequestObjectFactory& requests, const std::string& pushServiceBase,
                           const std::string& pushKey, const std::string& title,
                           const std::string& message);

// Shows text in the tip window. Returns at once when a tip is already showing (it restarts
// that one); otherwise when the tip has hidden again, or when `life` is stopped.
void ShowTip(NotifyServices& services, const std::string& text,
             const std::shared_ptr<StopSignal>& life);

}  // namespace derov
