#pragma once

#include <string>

#include "rules/rule_record.h"

namespace derov {

// Carriage returns and tabs removed, each line feed turned into "{br}", then, when the rule
// watches a part of the page, the text between its markers. The caller's text is replaced by
// the result and a copy is returned.
std::string NormaliseWatchedText(std::string& text, const RuleRecord& rule);

}  // namespace derov
