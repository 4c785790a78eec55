#include "web/cookies.h"

#include "text/text.h"

namespace derov {
namespace {

constexpr std::string_view kDeletedMark = "=deleted";
constexpr std::string_view kMergedSeparator = "; ";

bool IsDeletion(std::string_view pair) {
  return RightBytes(pair, static_cast<int>(kDeletedMark.size())) == kDeletedMark;
}

}  // namespace

std::string MergeCookies(std::string& oldCookies, std::string_view newCookies) {
  std::vector<std::string> working = SplitText(RemoveSpaces(newCookies), ";");
  for (const std::string& pair : SplitText(RemoveSpaces(oldCookies), ";"))
    if (!HasCookieName(working, CookieName(pair))) working.push_back(pair);

  std::string joined;
  for (const std::string& pair : working) {
    if (IsDeletion(pair)) continue;
    joined.append(pair).append(kMergedSeparator);
  }
  if (!joined.empty()) joined.resize(joined.size() - kMergedSeparator.size());
  oldCookies = RemoveDuplicateItems(joined, kMergedSeparator);
  return oldCookies;
}

std::string CookieName(std::string_view pair) {
  const size_t equals = pair.find('=');
  return TrimSpaces(equals == std::string_view::npos ? pair : pair.substr(0, equals));
}

bool HasCookieName(const std::vector<std::string>& pairs, std::string_view name) {
  for (const std::string& pair : pairs)
    if (CookieName(pair) == name) return true;
  return false;
}

std::string RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  std::vector<std::string> taken;
  std::string out;
  for (std::string& item : SplitText(text, separator)) {
    if (IndexOfItem(taken, item) != -1) continue;
    out.append(item).append(separator);
    taken.push_back(std::move(item));
  }
  if (!out.empty()) out.resize(out.size() - separator.size());
  return out;
}

int IndexOfItem(const std::vector<std::string>& items, std::string_view text) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) return static_cast<int>(i) + 1;
  return -1;
}

}  // namespace derov
