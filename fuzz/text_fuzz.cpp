// The text primitives on arbitrary bytes: each agrees with its plain definition, and the cheap
// laws between them hold (splitting and joining, idempotent trimming, identity replacement).

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "text/text.h"

namespace derov::fuzz {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
constexpr std::string_view kQuoteMark = "#\xD2\xFD\xBA\xC5";  // "#引号" in GBK

// Byte offsets where the characters of text begin.
std::vector<size_t> CharacterStarts(std::string_view text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); i += IsLead(text[i]) && i + 1 < text.size() ? 2 : 1)
    starts.push_back(i);
  return starts;
}

bool IsSpaceCharacter(std::string_view text, size_t at) {
  return text[at] == ' ' || text.substr(at, 2) == kFullWidthSpace;
}

void CheckSearch(std::string_view text, std::string_view needle, std::string_view to, int start,
                 bool ignoreCase) {
  Check(FindText(text, needle, start, ignoreCase) == PlainFind(text, needle, start, ignoreCase),
        "FindText agrees with the plain search");
  Check(ReplaceAll(text, needle, to, ignoreCase) == PlainReplaceAll(text, needle, to, ignoreCase),
        "ReplaceAll agrees with the plain replacement");
  Check(ReplaceAll(text, needle, needle) == text, "replacing a text by itself changes nothing");

  int count = 0;
  if (!text.empty() && !needle.empty())
    for (int at = PlainFind(text, needle, 1, ignoreCase); at != -1;
         at = PlainFind(text, needle, at + static_cast<int>(needle.size()), ignoreCase))
      ++count;
  Check(CountOccurrences(text, needle, !ignoreCase) == count,
        "CountOccurrences counts the non-overlapping plain matches");
}

void CheckSplit(std::string_view text, std::string_view separator) {
  const std::vector<std::string> pieces = SplitText(text, separator);
  if (text.empty()) return Check(pieces.empty(), "an empty text splits into nothing");
  if (separator.empty()) return Check(pieces.size() == 1 && pieces[0] == text, "no separator, one piece");
  std::string joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (i > 0) joined.append(separator);
    joined.append(pieces[i]);
    Check(PlainFind(pieces[i], separator, 1, false) == -1, "a piece holds no separator");
  }
  // Only an empty remainder behind the last separator is left out.
  const bool whole = joined == text;
  const bool lostEmptyTail = joined.size() + separator.size() == text.size() &&
                             text.substr(0, joined.size()) == joined &&
                             text.substr(joined.size()) == separator;
  Check(whole || lostEmptyTail, "the pieces joined by the separator give the text back");
}

void CheckSpaces(std::string_view text) {
  const std::string trimmed = TrimSpaces(text);
  Check(TrimSpaces(trimmed) == trimmed, "trimming twice trims nothing more");
  if (!trimmed.empty()) {
    const std::vector<size_t> starts = CharacterStarts(trimmed);
    Check(!IsSpaceCharacter(trimmed, 0) && !IsSpaceCharacter(trimmed, starts.back()),
          "a trimmed text neither starts nor ends with a space");
  }
  Check(text.find(trimmed) != std::string_view::npos, "a trimmed text is part of the text");

  const std::string removed = RemoveSpaces(text);
  Check(RemoveSpaces(trimmed) == removed, "trimming removes only spaces");
  Check(RemoveSpaces(removed) == removed, "removing spaces twice removes nothing more");
  for (const size_t at : CharacterStarts(removed))
    Check(!IsSpaceCharacter(removed, at), "no space character is left");
  Check(TrimSpaces(removed) == removed, "a text without spaces trims to itself");
}

std::string PlainTextBetween(std::string_view text, std::string_view before,
                             std::string_view after, int start, bool ignoreCase) {
  const std::string from = PlainReplaceAll(before, kQuoteMark, "\"", false);
  const std::string to = PlainReplaceAll(after, kQuoteMark, "\"", false);
  const int found = PlainFind(text, from, start, ignoreCase);
  if (found == -1) return {};
  const size_t contentStart = static_cast<size_t>(found) - 1 + from.size();  // 0-based
  const int end = PlainFind(text, to, static_cast<int>(contentStart) + 1, ignoreCase);
  if (end == -1 || static_cast<size_t>(end) - 1 <= contentStart) return {};
  return std::string(text.substr(contentStart, static_cast<size_t>(end) - 1 - contentStart));
}

void CheckBytes(std::string_view text, int count) {
  const size_t expected = count <= 0 ? 0 : std::min(text.size(), static_cast<size_t>(count));
  const std::string left = LeftBytes(text, count), right = RightBytes(text, count);
  Check(left.size() == expected && text.substr(0, expected) == left, "LeftBytes is the head");
  Check(right.size() == expected && text.substr(text.size() - expected) == right,
        "RightBytes is the tail");
}

}  // namespace
}  // namespace derov::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace derov;
  using namespace derov::fuzz;
  FuzzedDataProvider input(data, size);
  const bool ignoreCase = input.ConsumeBool();
  const auto startSeed = input.ConsumeIntegral<uint16_t>();
  const std::string needle = input.ConsumeRandomLengthString(24);
  const std::string other = input.ConsumeRandomLengthString(24);
  const std::string text = input.ConsumeRemainingBytesAsString();
  // From before the text to just behind it, so that every edge is met.
  const int start = static_cast<int>(startSeed % (text.size() + 4)) - 1;

  CheckSearch(text, needle, other, start, ignoreCase);
  CheckSplit(text, needle);
  CheckSpaces(text);
  Check(TextBetween(text, needle, other, start, ignoreCase) ==
            PlainTextBetween(text, needle, other, start, ignoreCase),
        "TextBetween agrees with its plain definition");
  CheckBytes(text, start);
  return 0;
}
