#include "platform/handle_win.h"

#include <gtest/gtest.h>

#include <utility>

namespace derov {
namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(Handles, OwnershipMovesAndEndsOnce) {
  HANDLE first = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  {
    ScopedHandle a(first);
    ScopedHandle b(std::move(a));
    EXPECT_FALSE(a);
    EXPECT_EQ(b.get(), first);
    ScopedHandle c(second);
    c = std::move(b);  // second is closed, first moves over
    EXPECT_FALSE(IsOpen(second));
    EXPECT_TRUE(IsOpen(first));
    // put() lets go of what is held before handing out the slot.
    HANDLE* slot = c.put();
    EXPECT_FALSE(IsOpen(first));
    EXPECT_EQ(*slot, nullptr);
    *slot = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE released = c.release();
    EXPECT_FALSE(c);
    EXPECT_TRUE(IsOpen(released));
    CloseHandle(released);
  }

  // A failed CreateFile gives INVALID_HANDLE_VALUE, which its own wrapper knows as empty.
  ScopedFileHandle none(CreateFileA("Z:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(none);
  EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
}

}  // namespace
}  // namespace derov
