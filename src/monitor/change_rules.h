#pragma once
// Whether a rule fires on this cycle's page, what the cycle's message says, and the rule's
// new previous value.

#include <string>

#include "rules/rule_record.h"

namespace derov {

struct Evaluation {
  bool fired = false;
  std::string message;
  bool unknownFamily = false;  // type is not 1, 2 or 3: the worker stops
};

// Judges pageText (fetched with statusCode, 0 when nothing arrived) against
// rule.previousValue and updates that value. pageText may be replaced by its normalised
// and cut form.
Evaluation EvaluateRule(RuleRecord& rule, std::string& pageText, int statusCode);

// A number read from a watched text, held in single precision and cut toward zero; values
// beyond the 32-bit range saturate.
int WatchedNumber(const std::string& text);

}  // namespace derov
