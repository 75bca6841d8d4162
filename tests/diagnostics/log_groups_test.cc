#include "diagnostics/log_groups.h"

#include <gtest/gtest.h>

#include <string>

namespace Norv {
namespace {

TEST(LogGroups, PredefinedTagsInBitOrderAndNewOnesTakeTheNextBitOnce) {
    LogGroupTable table;
    EXPECT_EQ(table.Names(0xFF), "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST");
    EXPECT_EQ(table.Names(0), "");
    EXPECT_EQ(table.Names(1ull << 8 | 1ull << 63), "???;???");
    EXPECT_EQ(table.Register("DBG"), 1ull);
    // New tags take the next bit, once.
    EXPECT_EQ(table.Register("ABC"), 1ull << 8);
    EXPECT_EQ(table.Register("XYZ"), 1ull << 9);
    EXPECT_EQ(table.Register("ABC"), 1ull << 8);
    // Only three characters are kept.
    EXPECT_EQ(table.Register("XYZW"), 1ull << 9);
    EXPECT_EQ(table.Names(1ull << 8 | 1ull << 9 | 1), "DBG;ABC;XYZ");
    EXPECT_EQ(table.Register(nullptr), 0u);
    EXPECT_STREQ(table.Tag(2), "XTR");
    EXPECT_STREQ(table.Tag(64), "???");
}

TEST(LogGroups, RegistrationPastSixtyFourGivesTheEmptyMask) {
    LogGroupTable table;
    for (int i = 8; i < 64; ++i) {
        std::string tag = {'G', static_cast<char>('A' + i / 26), static_cast<char>('A' + i % 26)};
        ASSERT_EQ(table.Register(tag.c_str()), 1ull << i) << tag;
    }
    EXPECT_EQ(table.Register("ONE"), 0u);
    EXPECT_EQ(table.Register("GCL"), 1ull << 63);  // existing tags are still found
    std::string names = table.Names(~0ull);
    EXPECT_EQ(names.size(), 64u * 4 - 1);
    EXPECT_EQ(names.substr(names.size() - 3), "GCL");
    EXPECT_EQ(names.find("ONE"), std::string::npos);
}

}  // namespace
}  // namespace Norv
