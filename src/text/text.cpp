#include "text/text.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/code_page.h"
#include "text/text_search.h"

namespace derov {
namespace {

constexpr unsigned char kLeadByteMin = 0x80;
constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
constexpr std::string_view kQuoteMark = "#引号";

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= kLeadByteMin; }

// Bytes taken by the character that starts at i (a lone lead byte at the end counts as one).
size_t CharLength(std::string_view text, size_t i) {
  return IsLeadByte(text[i]) && i + 1 < text.size() ? 2 : 1;
}

bool IsSpaceAt(std::string_view text, size_t i) {
  return text[i] == ' ' || text.substr(i, 2) == kFullWidthSpace;
}

}  // namespace

int FindText(std::string_view text, std::string_view needle, int start, bool ignoreCase) {
  const size_t from = start > 1 ? static_cast<size_t>(start) - 1 : 0;
  if (from >= text.size()) return -1;
  if (needle.empty()) return 1;
  const size_t at = TextSearcher(needle, ignoreCase).FindIn(text, from);
  return at == std::string_view::npos ? -1 : static_cast<int>(at) + 1;
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase) {
  if (from.empty()) return std::string(text);
  const TextSearcher searcher(from, ignoreCase);
  TextSearcher::Matches matches(searcher, text);
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  for (size_t at = matches.Next(0); at != std::string_view::npos; at = matches.Next(done)) {
    out.append(text.substr(done, at - done)).append(to);
    done = at + from.size();
  }
  out.append(text.substr(std::min(done, text.size())));
  return out;
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) return {std::string(text)};
  const TextSearcher searcher(separator, false);
  TextSearcher::Matches matches(searcher, text);
  size_t done = 0;
  for (size_t at = matches.Next(0); at != std::string_view::npos; at = matches.Next(done)) {
    pieces.emplace_back(text.substr(done, at - done));
    done = at + separator.size();
  }
  if (done < text.size()) pieces.emplace_back(text.substr(done));
  return pieces;
}

std::string TrimSpaces(std::string_view text) {
  size_t first = text.size(), last = 0;  // [first, last) spans the non-space characters
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (IsSpaceAt(text, i)) continue;
    first = std::min(first, i);
    last = i + CharLength(text, i);
  }
  return first < last ? std::string(text.substr(first, last - first)) : std::string();
}

std::string RemoveSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (!IsSpaceAt(text, i)) out.append(text.substr(i, CharLength(text, i)));
  return out;
}

std::string LeftBytes(std::string_view text, int count) {
  if (count <= 0) return {};
  return std::string(text.substr(0, static_cast<size_t>(count)));
}

std::string RightBytes(std::string_view text, int count) {
  if (count <= 0) return {};
  const size_t n = std::min(text.size(), static_cast<size_t>(count));
  return std::string(text.substr(text.size() - n));
}

std::string FoldFullWidth(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const auto trail = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
      out.push_back(static_cast<char>(trail - 0x80));
    else if (lead == 0xA1 && trail == 0xA1)
      out.push_back(' ');
    else
      out.append(text.substr(i, CharLength(text, i)));
  }
  return out;
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

size_t SkipWhiteSpace(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  return i;
}

size_t SkipDigits(std::string_view text, size_t i) {
  while (i < text.size() && IsDigit(text[i])) ++i;
  return i;
}

size_t SkipSign(std::string_view text, size_t i) {
  return i < text.size() && (text[i] == '+' || text[i] == '-') ? i + 1 : i;
}

}  // namespace

double ReadNumber(std::string_view input) {
  const std::string text = FoldFullWidth(input);
  const std::string_view rest = std::string_view(text).substr(SkipWhiteSpace(text));
  size_t i = SkipSign(rest, 0);
  const size_t intStart = i;
  i = SkipDigits(rest, i);
  size_t digits = i - intStart;
  if (i < rest.size() && rest[i] == '.') {
    const size_t fracStart = i + 1;
    const size_t fracEnd = SkipDigits(rest, fracStart);
    digits += fracEnd - fracStart;
    if (digits > 0) i = fracEnd;
  }
  if (digits == 0) return 0;
  if (i < rest.size() && (rest[i] == 'e' || rest[i] == 'E')) {
    const size_t expDigits = SkipSign(rest, i + 1);
    const size_t expEnd = SkipDigits(rest, expDigits);
    if (expEnd > expDigits) i = expEnd;
  }
  // The prefix holds only ASCII digits, signs, a point and 'e', so strtod reads all of it.
  return std::strtod(std::string(rest.substr(0, i)).c_str(), nullptr);
}

int ReadInteger(std::string_view input) {
  const std::string text = FoldFullWidth(input);
  const std::string_view rest = std::string_view(text).substr(SkipWhiteSpace(text));
  const size_t digitsStart = SkipSign(rest, 0);
  const bool negative = digitsStart > 0 && rest[0] == '-';
  long long value = 0;
  for (size_t i = digitsStart; i < rest.size() && IsDigit(rest[i]); ++i) {
    value = value * 10 + (rest[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) break;  // saturated either way
  }
  if (negative) return value > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool ReadBoolean(std::string_view text) { return text == "1"; }

std::string TextBetween(std::string_view text, std::string_view before, std::string_view after,
                        int start, bool ignoreCase) {
  const std::string from = ReplaceAll(before, kQuoteMark, "\"");
  const std::string to = ReplaceAll(after, kQuoteMark, "\"");
  const int found = FindText(text, from, start, ignoreCase);
  if (found == -1) return {};
  const int contentStart = found + static_cast<int>(from.size());
  const int end = FindText(text, to, contentStart, ignoreCase);
  if (end == -1 || end <= contentStart) return {};
  return std::string(text.substr(static_cast<size_t>(contentStart) - 1,
                                 static_cast<size_t>(end - contentStart)));
}

int CountOccurrences(std::string_view text, std::string_view keyword, bool caseSensitive) {
  if (text.empty() || keyword.empty()) return 0;
  const TextSearcher searcher(keyword, !caseSensitive);
  TextSearcher::Matches matches(searcher, text);
  int count = 0;
  for (size_t at = matches.Next(0); at != std::string_view::npos;
       at = matches.Next(at + keyword.size()))
    ++count;
  return count;
}

std::string DecodeUtf8Page(const Bytes& body) {
  if (body.empty()) return {};
  const std::string_view utf8(reinterpret_cast<const char*>(body.data()), body.size());
  std::string text = Utf8ToGbk(utf8);
  // A zero byte ends the text, as it ends a text everywhere in the program.
  text.resize(std::min(text.find('\0'), text.size()));
  return text;
}

std::string BodyToText(const Bytes& body) {
  const auto zero = std::find(body.begin(), body.end(), 0);
  return std::string(body.begin(), zero);
}

}  // namespace derov
