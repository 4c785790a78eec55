#pragma once
// Merging the cookies a server sets into the cookie text a caller keeps for its next
// request. A cookie text is "name=value" pairs separated by ";"; merged texts use "; ".

#include <string>
#include <string_view>
#include <vector>

namespace derov {

// Spaces removed from both texts; the new pairs first, then the old pairs whose names the
// new text does not hold; pairs ending in "=deleted" dropped; repeated pairs removed. The
// old text receives the result, which is also returned.
std::string MergeCookies(std::string& oldCookies, std::string_view newCookies);

// The trimmed text before the first "=", or the whole trimmed pair when it holds none.
std::string CookieName(std::string_view pair);

// Whether some pair of the list has that name (names compare with case).
bool HasCookieName(const std::vector<std::string>& pairs, std::string_view name);

// The items of the text, split at separator, each kept only where it first occurs.
std::string RemoveDuplicateItems(std::string_view text, std::string_view separator);

// The 1-based position of the first entry equal to text (with case); -1 when none is.
int IndexOfItem(const std::vector<std::string>& items, std::string_view text);

}  // namespace derov
