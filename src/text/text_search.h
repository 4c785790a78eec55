#pragma once
// The search behind FindText, ReplaceAll, SplitText and CountOccurrences. A match may only
// begin on a character boundary, counting characters from where the search starts, and with
// ignoreCase only ASCII letters that are characters of their own fold (the second byte of a
// two-byte character is never a letter). Built once per needle; each search runs in time
// linear in the bytes it passes, whatever the needle, and jumps with memchr between the
// places where the needle's first byte occurs.

#include <cstdint>
#include <string_view>
#include <vector>

namespace derov {

class TextSearcher {
 public:
  TextSearcher(std::string_view needle, bool ignoreCase);

  // Successive searches through one text, each starting at or behind the end of the last
  // match. They share what they learnt about where the needle's first byte occurs, so that
  // counting or replacing every occurrence is linear too.
  class Matches {
   public:
    Matches(const TextSearcher& searcher, std::string_view text);

    // 0-based offset of the first match at or after `from` (npos when none); characters are
    // counted from `from`, which is never before the end of the last match. An empty needle
    // matches at `from` while a byte remains there.
    size_t Next(size_t from);

   private:
    size_t NextCandidate(size_t i);

    const TextSearcher& searcher_;
    std::string_view text_;
    unsigned char firstForms_[2];  // the first byte, and its other letter case
    size_t nextFirst_[2];          // next occurrence of each form, once known_
    bool known_[2];
  };

  // A single search: Matches(*this, text).Next(from).
  size_t FindIn(std::string_view text, size_t from) const;

 private:
  class Boundaries;

  bool ignoreCase_;
  std::vector<uint16_t> symbols_;  // the needle, folded, second bytes of characters marked
  std::vector<uint32_t> border_;   // border_[k]: longest proper border of symbols_[0..k]
};

}  // namespace derov
