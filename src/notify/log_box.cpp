#include "notify/log_box.h"

namespace derov {

std::string PrependBounded(const std::string& line, const std::string& old, std::size_t limit) {
  std::string text = line + old;
  if (text.size() <= limit) return text;
  // Keep whole lines only: end behind the last CR LF that fits, or at the new line itself
  // when even that does not fit (the newest line is never cut).
  const std::size_t cut = text.rfind("\r\n", limit >= 2 ? limit - 2 : 0);
  const std::size_t keep = cut == std::string::npos ? line.size() : cut + 2;
  text.resize(keep < line.size() ? line.size() : keep);
  return text;
}

}  // namespace derov
