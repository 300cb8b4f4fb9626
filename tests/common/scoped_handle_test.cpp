// The handle owners: both failure values of the API are no handle, a real
// handle is closed exactly once, and ownership moves.
#include <gtest/gtest.h>

#include <windows.h>

#include <utility>

#include "common/scoped_handle.h"

namespace lvm {
namespace {

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}

TEST(ScopedHandles, FailureValuesAreNoHandleAndARealOneIsClosedOnce) {
    EXPECT_FALSE(ScopedHandle().valid());
    EXPECT_FALSE(ScopedHandle(nullptr).valid());
    EXPECT_FALSE(ScopedHandle(INVALID_HANDLE_VALUE).valid());  // what CreateFileW fails with
    EXPECT_FALSE(ScopedFindHandle(INVALID_HANDLE_VALUE).valid());

    const HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(raw, nullptr);
    {
        ScopedHandle owner(raw);
        EXPECT_TRUE(owner.valid());
        ScopedHandle moved(std::move(owner));
        EXPECT_FALSE(owner.valid());
        EXPECT_EQ(moved.get(), raw);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw)) << "the owner did not close its handle";
}

}  // namespace
}  // namespace lvm
