#include "monitor/change_rules.h"

#include <climits>
#include <cmath>

#include "monitor/watched_text.h"
#include "text/text.h"

namespace derov {
namespace {

constexpr double kTolerance = 0.0000001;
constexpr const char* kNoReminder = "，不提醒";

Evaluation EvaluatePageState(RuleRecord& rule, const std::string& pageText, int statusCode) {
  const bool reachable = statusCode < 400 && !pageText.empty();
  Evaluation result;
  result.message = reachable ? "网页访问正常" : "网页返回空或状态异常";
  const std::string state = reachable ? "页面ok" : "页面err";
  if (rule.previousValue == state) {
    result.message += kNoReminder;
    return result;
  }
  rule.previousValue = state;
  result.fired = (rule.conditionCode == 11 && !reachable) || (rule.conditionCode == 12 && reachable);
  if (!result.fired) result.message += kNoReminder;
  return result;
}

Evaluation EvaluateContent(RuleRecord& rule, std::string& pageText, int statusCode) {
  Evaluation result;
  if (statusCode > 399 || pageText.empty()) {
    result.message = "网页访问为空或异常";
    return result;
  }
  if (rule.isjiequ) NormaliseWatchedText(pageText, rule);
  if (rule.previousValue != pageText) {
    rule.previousValue = pageText;
    result.fired = true;
    result.message = "网页已变化";
  } else {
    result.message = "网页无变化";
  }
  return result;
}

Evaluation EvaluateKeyword(RuleRecord& rule, std::string& pageText) {
  NormaliseWatchedText(pageText, rule);
  const std::string current = std::to_string(CountOccurrences(pageText, rule.keyword, false));
  Evaluation result;
  result.message = "关键词‘" + rule.keyword + "’本轮出现次数" + current + "/上轮：" + rule.previousValue;
  if (rule.previousValue == current) {
    result.message += " 无变化";
    return result;
  }
  const bool more = ReadInteger(current) > ReadInteger(rule.previousValue);
  result.fired = rule.conditionCode == 23 || (rule.conditionCode == 21 && more) ||
                 (rule.conditionCode == 22 && !more);
  rule.previousValue = current;
  return result;
}

Evaluation EvaluateNumber(RuleRecord& rule, std::string& pageText) {
  const int number = WatchedNumber(NormaliseWatchedText(pageText, rule));
  const float old = static_cast<float>(ReadNumber(rule.previousValue));
  Evaluation result;
  if (std::fabs(static_cast<double>(old) - number) <= kTolerance) {
    result.message = "数值无变化，值＝" + rule.previousValue;
    return result;
  }
  result.message = "本轮/上轮值：" + std::to_string(number) + " / " + rule.previousValue;
  const bool aboveX = number - static_cast<double>(rule.x) > kTolerance;
  const bool belowY = number - static_cast<double>(rule.y) < -kTolerance;
  result.fired = (rule.conditionCode == 31 && aboveX) || (rule.conditionCode == 32 && belowY) ||
                 (rule.conditionCode == 33 && aboveX && belowY);
  rule.previousValue = std::to_string(number);
  return result;
}

}  // namespace

int WatchedNumber(const std::string& text) {
  const float value = static_cast<float>(ReadNumber(text));
  // 2^31 is exact in single precision; everything at or beyond it does not fit.
  if (value >= 2147483648.0f) return INT_MAX;
  if (value < -2147483648.0f) return INT_MIN;
  return static_cast<int>(value);
}

Evaluation EvaluateRule(RuleRecord& rule, std::string& pageText, int statusCode) {
  switch (rule.type) {
    case 1:
      if (rule.conditionCode == 11 || rule.conditionCode == 12)
        return EvaluatePageState(rule, pageText, statusCode);
      if (rule.conditionCode == 13) return EvaluateContent(rule, pageText, statusCode);
      return {};
    case 2:
      return EvaluateKeyword(rule, pageText);
    case 3:
      return EvaluateNumber(rule, pageText);
    default:
      return {.fired = false, .message = {}, .unknownFamily = true};
  }
}

}  // namespace derov
