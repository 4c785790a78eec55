#include "web/cookies.h"

#include <gtest/gtest.h>

namespace derov {
namespace {

TEST(MergeCookies, NewPairsFirstThenOldOnesTheResponseDidNotSet) {
  const struct {
    const char* oldCookies;
    const char* newCookies;
    const char* merged;
  } cases[] = {
      {"a=1; b=2", "b=3", "b=3; a=1"},
      {"a=1; b=2", "b=deleted", "a=1"},          // a deletion takes the old pair with it
      {"s=1", "s=deleted;t=2", "t=2"},
      {"", "s=deleted", ""},
      {"a=1;a=2", "", "a=1"},                     // of one old name only the first stays
      {"", "x=1;x=1", "x=1"},                     // repeated pairs collapse
      {"", "x=1;x=2", "x=1; x=2"},                // same name, other values: both stay
      {"A=1", "a=2", "a=2; A=1"},                 // names compare with case
      {"q=hello world", "", "q=helloworld"},      // spaces go, inside values too
      {"q=\xA1\xA1x", "r=1\xA1\xA1", "r=1; q=x"}, // the full-width space as well
      {"flag", "", "flag"},
      {"flag", "flag=1", "flag=1"},
      {"a=1;", "b=2;", "b=2; a=1"},               // a trailing ";" adds no pair
      {"", "", ""},
      {"a=x=deleted", "", ""},                    // the mark is only the last eight bytes
      {"a=1", "b=undeleted", "b=undeleted; a=1"},
  };
  for (const auto& c : cases) {
    std::string oldCookies = c.oldCookies;
    EXPECT_EQ(MergeCookies(oldCookies, c.newCookies), c.merged) << c.oldCookies << " + " << c.newCookies;
    EXPECT_EQ(oldCookies, c.merged);
  }
}

TEST(CookieName, IsTheTrimmedTextBeforeTheFirstEquals) {
  EXPECT_EQ(CookieName(" sid =a=b"), "sid");
  EXPECT_EQ(CookieName(" flag "), "flag");
  EXPECT_EQ(CookieName("=v"), "");
  EXPECT_TRUE(HasCookieName({"a=1", " b =2"}, "b"));
  EXPECT_FALSE(HasCookieName({"a=1", "B=2"}, "b"));
  EXPECT_FALSE(HasCookieName({}, ""));
}

TEST(RemoveDuplicateItems, KeepsFirstOccurrencesInPlace) {
  EXPECT_EQ(RemoveDuplicateItems("b; a; b; c; a", "; "), "b; a; c");
  EXPECT_EQ(RemoveDuplicateItems("x|x|", "|"), "x");
  EXPECT_EQ(RemoveDuplicateItems("A|a", "|"), "A|a");
  EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
  EXPECT_EQ(IndexOfItem({"a", "b", "b"}, "b"), 2);
  EXPECT_EQ(IndexOfItem({"a"}, "A"), -1);
  EXPECT_EQ(IndexOfItem({}, ""), -1);
}

}  // namespace
}  // namespace derov
