// Cookie merging on arbitrary texts: the merged text holds the pairs the server set, then the
// old pairs it did not set, without deletions, spaces or repeated items.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/text.h"
#include "web/cookies.h"

namespace derov::fuzz {
namespace {

constexpr std::string_view kDeleted = "=deleted";

bool IsDeletion(std::string_view pair) {
  return pair.size() >= kDeleted.size() && pair.substr(pair.size() - kDeleted.size()) == kDeleted;
}

// Whether the text's last character is a lead byte without its second byte.
bool EndsInLoneLead(std::string_view text) {
  size_t last = 0;
  for (size_t i = 0; i < text.size(); i += IsLead(text[i]) && i + 1 < text.size() ? 2 : 1) last = i;
  return !text.empty() && last == text.size() - 1 && IsLead(text[last]);
}

bool Holds(const std::vector<std::string>& items, std::string_view item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

size_t IndexOf(const std::vector<std::string>& items, std::string_view item) {
  return static_cast<size_t>(std::find(items.begin(), items.end(), item) - items.begin());
}

void CheckMerge(const std::string& oldText, const std::string& newText) {
  std::string merged = oldText;
  const std::string result = MergeCookies(merged, newText);
  Check(merged == result, "the old text receives the merged text");

  const std::vector<std::string> items = SplitText(result, "; ");
  const std::set<std::string> distinct(items.begin(), items.end());
  Check(distinct.size() == items.size(), "no item is repeated");
  for (const std::string& item : items) Check(!IsDeletion(item), "no deletion is left");

  // A new text ending in half a character joins its last pair to the next one, as the program
  // splits texts; the merge then cannot be told apart item by item.
  const std::string newPlain = RemoveSpaces(newText), oldPlain = RemoveSpaces(oldText);
  if (EndsInLoneLead(newPlain)) return;

  for (const std::string& item : items)
    Check(RemoveSpaces(item) == item, "no space is left but in the separators");
  const std::vector<std::string> newPairs = SplitText(newPlain, ";");
  const std::vector<std::string> oldPairs = SplitText(oldPlain, ";");
  std::set<std::string> newNames, allowed;
  size_t newItems = 0;
  for (const std::string& pair : newPairs) {
    newNames.insert(CookieName(pair));
    if (IsDeletion(pair)) continue;
    allowed.insert(pair);
    if (pair.empty()) continue;  // an empty last item is no item when the result is split
    Check(Holds(items, pair), "every pair the server set is kept");
    newItems = std::max(newItems, IndexOf(items, pair) + 1);
  }
  std::set<std::string> oldNames;
  for (const std::string& pair : oldPairs) {
    const std::string name = CookieName(pair);
    const bool firstOfName = oldNames.insert(name).second;
    if (!firstOfName || newNames.count(name) || IsDeletion(pair)) continue;
    allowed.insert(pair);
    if (pair.empty()) continue;
    Check(Holds(items, pair), "an old pair the server did not set is kept");
    Check(Holds(newPairs, pair) || IndexOf(items, pair) >= newItems, "old pairs follow the new ones");
  }
  for (const std::string& item : items)
    Check(allowed.count(item) == 1, "every item is a kept pair of either text");
}

}  // namespace
}  // namespace derov::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string oldText = input.ConsumeRandomLengthString(256);
  const std::string newText = input.ConsumeRemainingBytesAsString();
  derov::fuzz::CheckMerge(oldText, newText);
  return 0;
}
