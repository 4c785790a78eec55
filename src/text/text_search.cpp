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

// One search's walk over the text: where the character boundaries are (counted from the
// start of the search) and where the needle's first byte occurs next.
class TextSearcher::Scan {
 public:
  Scan(std::string_view text, size_t from, unsigned char first, bool ignoreCase)
      : bytes_(reinterpret_cast<const unsigned char*>(text.data())),
        size_(text.size()),
        nextBoundary_(from) {
    firstForms_[0] = first;
    firstForms_[1] = ignoreCase && first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first;
    nextFirst_[0] = nextFirst_[1] = from;
    known_[0] = known_[1] = false;
  }

  // The first position at or after i holding a form of the needle's first byte (size_ if none).
  size_t NextCandidate(size_t i) {
    size_t best = size_;
    const int forms = firstForms_[1] == firstForms_[0] ? 1 : 2;
    for (int f = 0; f < forms; ++f) {
      if (!known_[f] || nextFirst_[f] < i) {  // each form's memchr moves forward only
        const void* hit = std::memchr(bytes_ + i, firstForms_[f], size_ - i);
        nextFirst_[f] = hit ? static_cast<size_t>(static_cast<const unsigned char*>(hit) - bytes_) : size_;
        known_[f] = true;
      }
      if (nextFirst_[f] < best) best = nextFirst_[f];
    }
    return best;
  }

  // Whether byte i is the second byte of a two-byte character; i never goes backwards.
  bool IsTrail(size_t i) {
    if (i < nextBoundary_) return true;
    if (i > nextBoundary_) Realign(i);
    if (i < nextBoundary_) return true;
    nextBoundary_ = i + (IsLeadByte(bytes_[i]) && i + 1 < size_ ? 2 : 1);
    return false;
  }

  unsigned char operator[](size_t i) const { return bytes_[i]; }

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
  unsigned char firstForms_[2];
  size_t nextFirst_[2];
  bool known_[2];
};

size_t TextSearcher::FindIn(std::string_view text, size_t from) const {
  const size_t m = symbols_.size();
  if (m == 0) return from < text.size() ? from : std::string_view::npos;
  if (from > text.size() || text.size() - from < m) return std::string_view::npos;
  Scan scan(text, from, static_cast<unsigned char>(symbols_[0]), ignoreCase_);
  size_t matched = 0;
  for (size_t i = from; i < text.size(); ++i) {
    if (matched == 0) {
      i = scan.NextCandidate(i);
      if (text.size() - i < m) break;  // also true when there is no candidate (i == size)
    }
    const uint16_t symbol = Symbol(scan[i], scan.IsTrail(i), ignoreCase_);
    while (matched > 0 && symbol != symbols_[matched]) matched = border_[matched - 1];
    if (symbol == symbols_[matched]) ++matched;
    if (matched == m) return i + 1 - m;
  }
  return std::string_view::npos;
}

}  // namespace derov
