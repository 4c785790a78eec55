#include "monitor/monitor_worker.h"

#include "monitor/change_rules.h"
#include "text/date_time.h"
#include "text/text.h"
#include "web/web_request.h"

namespace derov {
namespace {

constexpr const char* kDateMark = "{日期}";
constexpr int kFetchTimeoutSeconds = 35;

class Worker {
 public:
  Worker(MonitorServices& services, int ruleNumber, std::shared_ptr<StopSignal> life)
      : s_(services), number_(ruleNumber), id_(std::to_string(ruleNumber)), life_(std::move(life)) {}

  void Run() {
    while (!Stopped() && RunCycle()) {
      const int period = s_.rules.With(number_, [](const RuleRecord& r) { return r.plv; });
      if (!life_->SleepFor(static_cast<long long>(period) * 1000)) return;
    }
  }

 private:
  bool Stopped() const { return life_->StopRequested(); }

  // Hands an effect on the rule's row to the UI thread, which drops it once the worker
  // is stopped or the rule has no row.
  void OnRow(std::function<void(int row)> effect) {
    s_.ui.Post([&s = s_, number = number_, life = life_, effect = std::move(effect)] {
      if (life->StopRequested()) return;
      const int row = FindRuleRow(s.list, s.rules, number);
      if (row >= 0) effect(row);
    });
  }

  void Stamp(std::string status) {
    OnRow([&s = s_, status = std::move(status)](int row) {
      StampRowStatus(s.list, row, status, s.clock);
    });
  }

  std::string TodaysUrl(const std::string& url) const {
    if (FindText(url, kDateMark) == -1) return url;
    return ReplaceAll(url, kDateMark, FormatDateTime(s_.clock.Now(), "yyyyMMdd"));
  }

  // One cycle; false when the worker ends.
  bool RunCycle() {
    RuleRecord rule = s_.rules.Read(number_);
    const std::string url = TodaysUrl(rule.url);
    Stamp(id_ + "采集网页中");
    std::string pageText = Fetch(rule, url);
    if (Stopped()) return false;

    Stamp(id_ + "判断变化..");
    rule = s_.rules.Read(number_);
    const Evaluation outcome = EvaluateRule(rule, pageText, statusCode_);
    if (outcome.unknownFamily) {
      Stamp("网址监控类型异常");
      return false;
    }
    s_.rules.Update(number_, [&](RuleRecord& slot) { slot.previousValue = rule.previousValue; });
    OnRow([&list = s_.list, value = rule.previousValue](int row) {
      list.SetCellText(row, kCurrentValueColumn, value);
    });

    if (!outcome.fired) {
      Stamp(id_ + "无变化");
      return true;
    }
    Stamp("变化");
    OnRow([&list = s_.list](int row) {
      const int count = ReadInteger(list.CellText(row, kReminderCountColumn)) + 1;
      list.SetCellText(row, kReminderCountColumn, std::to_string(count));
    });
    if (rule.isrep) {
      NotifyRuleChange(s_.notify, number_, outcome.message, life_);
      return true;
    }
    Finish();
    NotifyRuleChange(s_.notify, number_, outcome.message, life_);
    return false;
  }

  // The rule's own header text goes in and comes back completed, so the slot keeps it.
  std::string Fetch(const RuleRecord& rule, const std::string& url) {
    std::string headers = rule.head;
    std::string responseHeaders;
    statusCode_ = 0;
    WebRequestOptions options;
    options.method = rule.ispost;
    options.postText = rule.postdata;
    options.headers = &headers;
    options.responseHeaders = &responseHeaders;
    options.statusCode = &statusCode_;
    options.timeoutSeconds = kFetchTimeoutSeconds;
    const Bytes body = SendWebRequest(s_.requests, url, options);
    s_.rules.Update(number_, [&](RuleRecord& slot) { slot.head = headers; });
    const bool gbk = s_.rules.With(number_, [](const RuleRecord& r) { return r.isgbk != 0; });
    return gbk ? BodyToText(body) : DecodeUtf8Page(body);
  }

  // A once-only rule is finished in the list and in the database in one step on the UI
  // thread, so a stop can never fall between the two.
  void Finish() {
    s_.ui.Post([&s = s_, number = number_, life = life_] {
      if (life->StopRequested()) return;
      const int row = FindRuleRow(s.list, s.rules, number);
      if (row >= 0) StampRowStatus(s.list, row, "执行完毕", s.clock);
      s.executeSql("update rule set isend=1 where id=" + std::to_string(number));
      if (row >= 0) s.list.SetTick(row, false);
    });
  }

  MonitorServices& s_;
  const int number_;
  const std::string id_;
  const std::shared_ptr<StopSignal> life_;
  int statusCode_ = 0;
};

}  // namespace

void StampRowStatus(RuleListView& list, int row, const std::string& statusText, Clock& clock) {
  list.SetCellText(row, kStatusColumn, statusText);
  list.SetCellText(row, kUpdateTimeColumn, FormatDateTime(clock.Now(), "M/dd ", "hh:mm:s"));
}

int FindRuleRow(const RuleListView& list, const RuleTable& rules, int ruleNumber) {
  const int row = rules.With(ruleNumber, [](const RuleRecord& r) { return r.listRow; });
  if (row < 0 || row >= list.RowCount()) return -1;
  return list.CellText(row, kIdColumn) == std::to_string(ruleNumber) ? row : -1;
}

void RunMonitorWorker(MonitorServices& services, int ruleNumber,
                      const std::shared_ptr<StopSignal>& life) {
  Worker(services, ruleNumber, life).Run();
}

}  // namespace derov
