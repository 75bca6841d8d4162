#include "binding/small_stack.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

// Entries past the inline ones spill and come back in order, across the
// boundary both ways, and an inline entry stays where it was.
TEST(SmallStackTest, KeepsEntriesInOrderAcrossTheSpill) {
    SmallStack<int, 3> stack;
    int& first = stack.push_back(0);
    for (int i = 1; i < 10; ++i) {
        stack.reserve(stack.size() + 1);
        EXPECT_EQ(stack.push_back(i), i);
    }
    ASSERT_EQ(stack.size(), 10u);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(stack[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(&first, &stack[0]);
    for (int i = 9; i >= 0; --i) {
        EXPECT_EQ(stack.back(), i);
        stack.pop_back();
    }
    EXPECT_TRUE(stack.empty());
    stack.push_back(7);
    stack.push_back(8);
    EXPECT_EQ(stack.back(), 8);
}

}  // namespace
}  // namespace Norv
