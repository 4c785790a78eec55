#include "text/text_search.h"

#include <cstring>

namespace derov {
namespace {

constexpr uint16_t kTrailMark = 0x100;  // second byte of a two-byte character

bool IsLeadByte(unsigned char c) { return c >= 0x80; }
bool IsUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }
unsigned char FoldAscii(unsigned char c) { return IsUpper(c) ? c - 'A' + 'a' : c; }

uint16_t Symbol(unsigned char c, bool trail, bool ignoreCase) {
  if (trail) return kTrailMark | c;
  return ignoreCase ? FoldAscii(c) : c;
}

}  // namespace

TextSearcher::TextSearcher(std::string_view needle, bool ignoreCase) : ignoreCase_(ignoreCase) {
  symbols_.reserve(needle.size());
  for (size_t i = 0; i < needle.size(); ++i) {
    const auto c = static_cast<unsigned char>(needle[i]);
    symbols_.push_back(Symbol(c, false, ignoreCase));
    if (IsLeadByte(c) && i + 1 < needle.size())
      symbols_.push_back(Symbol(static_cast<unsigned char>(needle[++i]), true, ignoreCase));
  }
  border_.assign(symbols_.size(), 0);
  for (size_t k = 1, b = 0; k < symbols_.size(); ++k) {
    while (b > 0 && symbols_[k] != symbols_[b]) b = border_[b - 1];
    if (symbols_[k] == symbols_[b]) ++b;
    border_[k] = static_cast<uint32_t>(b);
  }
}

// Where the characters of the text begin, counted from where a search starts.
class TextSearcher::Boundaries {
 public:
  Boundaries(std::string_view text, size_t from)
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())),
        size_(text.size()),
        nextBoundary_(from) {}

  // Whether byte i is the second byte of a two-byte character; i never goes backwards.
  bool IsTrail(size_t i) {
    if (i < nextBoundary_) return true;
    if (i > nextBoundary_) Realign(i);
    if (i < nextBoundary_) return true;
    nextBoundary_ = i + (IsLeadByte(bytes_[i]) && i + 1 < size_ ? 2 : 1);
    return false;
  }

 private:
  // Finds out whether i starts a character without walking every character from the last
  // known boundary: a byte below 0x80 always ends a character, and from there on the bytes of
  // 0x80 and above pair up. The bytes looked at lie behind the last boundary, so each is read
  // at most once.
  void Realign(size_t i) {
    size_t run = i;
    while (run > nextBoundary_ && IsLeadByte(bytes_[run - 1])) --run;
    nextBoundary_ = (i - run) % 2 == 0 ? i : i + 1;
  }

  const unsigned char* bytes_;
  size_t size_;
  size_t nextBoundary_;
};

TextSearcher::Matches::Matches(const TextSearcher& searcher, std::string_view text)
    : searcher_(searcher), text_(text) {
  const unsigned char first = searcher.symbols_.empty() ? 0 : searcher.symbols_[0] & 0xFF;
  firstForms_[0] = first;
  firstForms_[1] = searcher.ignoreCase_ && first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first;
  nextFirst_[0] = nextFirst_[1] = 0;
  known_[0] = known_[1] = false;
}

// The first position at or after i holding a form of the needle's first byte (the text's size
// if none). The positions asked for never go backwards, so each form's memchr passes every
// byte at most once across all the searches of a Matches.
size_t TextSearcher::Matches::NextCandidate(size_t i) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text_.data());
  const int forms = firstForms_[1] == firstForms_[0] ? 1 : 2;
  size_t best = text_.size();
  for (int f = 0; f < forms; ++f) {
    if (!known_[f] || nextFirst_[f] < i) {
      const void* hit = std::memchr(bytes + i, firstForms_[f], text_.size() - i);
      nextFirst_[f] = hit ? static_cast<size_t>(static_cast<const unsigned char*>(hit) - bytes)
                          : text_.size();
      known_[f] = true;
    }
    if (nextFirst_[f] < best) best = nextFirst_[f];
  }
  return best;
}

size_t TextSearcher::Matches::Next(size_t from) {
  const std::vector<uint16_t>& symbols = searcher_.symbols_;
  const size_t m = symbols.size();
  if (m == 0) return from < text_.size() ? from : std::string_view::npos;
  if (from > text_.size() || text_.size() - from < m) return std::string_view::npos;
  Boundaries boundaries(text_, from);
  size_t matched = 0;
  for (size_t i = from; i < text_.size(); ++i) {
    if (matched == 0) {
      i = NextCandidate(i);
      if (text_.size() - i < m) break;  // also true when there is no candidate (i == size)
    }
    const auto byte = static_cast<unsigned char>(text_[i]);
    const uint16_t symbol = Symbol(byte, boundaries.IsTrail(i), searcher_.ignoreCase_);
    while (matched > 0 && symbol != symbols[matched]) matched = searcher_.border_[matched - 1];
    if (symbol == symbols[matched]) ++matched;
    if (matched == m) return i + 1 - m;
  }
  return std::string_view::npos;
}

size_t TextSearcher::FindIn(std::string_view text, size_t from) const {
  return Matches(*this, text).Next(from);
}

}  // namespace derov
