#include "notify/log_box.h"

#include <gtest/gtest.h>

namespace derov {
namespace {

TEST(LogBox, PrependsWholeAndDropsOldestWholeLinesPastTheLimit) {
  EXPECT_EQ(PrependBounded("[a]x\r\n", "old\r\n"), "[a]x\r\nold\r\n");
  EXPECT_EQ(PrependBounded("new\r\n", "l1\r\nl2\r\nl3\r\n", 13), "new\r\nl1\r\nl2\r\n");
  EXPECT_EQ(PrependBounded("new\r\n", "l1\r\nl2\r\nl3\r\n", 12), "new\r\nl1\r\n");
  // The newest line is never cut, however long.
  EXPECT_EQ(PrependBounded("a very long line\r\n", "old\r\n", 4), "a very long line\r\n");
}

}  // namespace
}  // namespace derov
