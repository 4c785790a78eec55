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

  // 0-based offset of the first match at or after `from` (npos when none); characters are
  // counted from `from`. An empty needle matches at `from` while a byte remains there.
  size_t FindIn(std::string_view text, size_t from) const;

  size_t size() const { return symbols_.size(); }

 private:
  class Scan;

  bool ignoreCase_;
  std::vector<uint16_t> symbols_;  // the needle, folded, second bytes of characters marked
  std::vector<uint32_t> border_;   // border_[k]: longest proper border of symbols_[0..k]
};

}  // namespace derov
