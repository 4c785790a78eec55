#pragma once
// The main window's log box `显示框`, newest line at the top.

#include <cstddef>
#include <string>

namespace derov {

// Called on the window's thread only.
class LogBox {
 public:
  virtual ~LogBox() = default;
  virtual std::string Text() = 0;
  virtual void SetText(const std::string& text) = 0;
};

// Weeks of monitoring would grow the log without end; past this many bytes the oldest whole
// lines are dropped from the bottom.
inline constexpr std::size_t kLogLimitBytes = 512 * 1024;

// line on top of old, bounded by limit (cut after the last line break that fits).
std::string PrependBounded(const std::string& line, const std::string& old,
                           std::size_t limit = kLogLimitBytes);

// One read-modify-write of the box.
inline void PrependLog(LogBox& box, const std::string& line) {
  box.SetText(PrependBounded(line, box.Text()));
}

}  // namespace derov
