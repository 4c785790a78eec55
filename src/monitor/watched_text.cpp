#include "monitor/watched_text.h"

#include "text/text.h"

namespace derov {

std::string NormaliseWatchedText(std::string& text, const RuleRecord& rule) {
  // One pass: none of the three bytes can be the second byte of a GBK character.
  std::string flat;
  flat.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\r' || c == '\t') continue;
    if (c == '\n')
      flat += "{br}";
    else
      flat += c;
  }
  text = rule.isjiequ ? TextBetween(flat, rule.before, rule.after) : std::move(flat);
  return text;
}

}  // namespace derov
