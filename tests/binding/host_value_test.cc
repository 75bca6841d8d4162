#include "binding/host_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "binding/assign_value.h"
#include "binding/binding_limits.h"
#include "binding/to_value.h"
#include "conversion_test_types.h"
#include "diagnostics/allocation_statistics.h"
#include "value_dump.h"

namespace Norv {
namespace {

using namespace ConversionTest;
using Kind = BindingValueKind;
using Testing::Dump;

// Packed fields are read by value: a reference to one may be misaligned.
std::uint32_t TagOf(const HostValue& value) {
    return value.tag;
}
std::int64_t SignedOf(const HostValue& value) {
    return value.payload.signedNumber;
}
std::string TextOf(const HostValue& value) {
    return std::string(value.payload.string.text, value.payload.string.length);
}

std::int64_t OutstandingBlocks() {
    const AllocationStatistics statistics = CurrentAllocationStatistics();
    return static_cast<std::int64_t>(statistics.Allocations() - statistics.Releases());
}

HostValue Record(std::uint32_t tag) {
    HostValue value;
    std::memset(&value, 0, sizeof value);
    value.tag = tag;
    return value;
}

class HostValueTest : public ::testing::Test {
protected:
    HostValueTest() : baseline_(OutstandingBlocks()) {
        RegisterConversionTypes(registry_);
        std::memset(&failure_, 0, sizeof failure_);
    }
    ~HostValueTest() override {
        resetHostResult(failure_);
        EXPECT_EQ(OutstandingBlocks(), baseline_) << "every owned block is released";
    }

    BindingRegistry registry_;
    HostResult failure_;
    std::int64_t baseline_;
};

// The other kinds' tags are pinned by the round trip below and the boundary records.
TEST_F(HostValueTest, WritesEmptyAsTagZeroAndTextsWithTheirLength) {
    HostValue record = Record(99);
    writeHostValue(record, BindingProperty());
    EXPECT_EQ(TagOf(record), 0u);
    BindingProperty text;
    text = std::string("a\0b", 3);
    writeHostValue(record, text);
    EXPECT_EQ(TagOf(record), 6u);
    EXPECT_EQ(TextOf(record), std::string("a\0b", 3));  // the length keeps every byte, NULs too
    resetHostValue(record);
}

TEST_F(HostValueTest, EnumerationsTravelAsNamesWhenTheRegistryKnowsThem) {
    BindingProperty state;
    state = BindingEnum{4, &StaticType::Identity<BindingAsyncState>()};
    HostValue record = Record(0);
    writeHostValue(record, state, &registry_);
    EXPECT_EQ(TagOf(record), 6u);
    EXPECT_EQ(TextOf(record), "Succeeded");
    resetHostValue(record);

    // Without a registry the number travels, as the round trip below shows; so
    // does a number the registry has no name for.
    state = BindingEnum{-9, &StaticType::Identity<BindingAsyncState>()};
    writeHostValue(record, state, &registry_);
    EXPECT_EQ(TagOf(record), 2u);
    EXPECT_EQ(SignedOf(record), -9);
}

TEST_F(HostValueTest, ReadsEveryTagAndNullPointersAsEmpty) {
    const std::uint8_t bytes[] = {'h', 'i'};
    const char text[] = "ab\0cd";
    HostValue records[] = {Record(0), Record(1), Record(2), Record(3), Record(4),  Record(7),
                           Record(8), Record(5), Record(7), Record(9), Record(10), Record(5)};
    records[1].payload.boolean = 1;
    records[2].payload.signedNumber = -2;
    records[3].payload.unsignedNumber = 3;
    records[4].payload.floatNumber = 0.5;
    records[5].payload.blob.bytes = bytes;
    records[5].payload.blob.count = 2;
    records[6].payload.blob.bytes = bytes;
    records[6].payload.blob.count = 1;
    // Null pointers with non-zero counts, as a careless host might send them.
    records[7].payload.string.length = 4;
    records[8].payload.blob.count = 4;
    records[9].payload.collection.count = 4;
    records[10].payload.structure.count = 4;
    // Borrowed text ends at its first NUL, whatever its length says.
    records[11].payload.string.text = text;
    records[11].payload.string.length = 5;
    const std::pair<Kind, std::string> expected[] = {
        {Kind::Empty, ""},         {Kind::Bool, "true"},   {Kind::Signed, "-2"},  {Kind::Unsigned, "3"},
        {Kind::Float, "0.500000"}, {Kind::Blob, "aGk="},   {Kind::Blob, "aA=="},  {Kind::String, ""},
        {Kind::Blob, ""},          {Kind::Collection, ""}, {Kind::Structure, ""}, {Kind::String, "ab"},
    };
    for (std::size_t i = 0; i < std::size(records); ++i) {
        BindingProperty value;
        value = "previous";
        ASSERT_TRUE(readHostValue(failure_, value, records[i], "<result>")) << i;
        EXPECT_EQ(value.kind(), expected[i].first) << i;
        EXPECT_EQ(value.toString(), expected[i].second) << i;
        if (i >= 7 && i <= 10) {
            EXPECT_EQ(value.size(), 0u) << i;
        }
    }
    resetHostValue(records[11]);  // borrowed: nothing is freed
    EXPECT_STREQ(text, "ab");
}

TEST_F(HostValueTest, UnknownTagStopsTheReadMidCollection) {
    HostValue items[] = {Record(2), Record(12), Record(2)};
    items[0].payload.signedNumber = 1;
    items[2].payload.signedNumber = 3;
    HostValue list = Record(9);
    list.payload.collection.items = items;
    list.payload.collection.count = 3;
    BindingProperty value;
    EXPECT_FALSE(readHostValue(failure_, value, list, "<result>"));
    EXPECT_STREQ(failure_.error,
                 "Couldn't assign value to '<result>' of type object because the input is of an incompatible type ''.");
    EXPECT_EQ(value.at(0).getSigned(), 1);
    EXPECT_TRUE(value.at(1).isEmpty());
    EXPECT_TRUE(value.at(2).isEmpty());
}

TEST_F(HostValueTest, DuplicateKeysKeepTheLastValueAndBadMembersFail) {
    HostValueMember members[3];
    std::memset(members, 0, sizeof members);
    members[0].key = "k";
    members[0].value = Record(2);
    members[0].value.payload.signedNumber = 1;
    members[1].key = "k";
    members[1].value = Record(2);
    members[1].value.payload.signedNumber = 2;
    members[2].key = "z";
    members[2].value = Record(11);
    HostValue record = Record(10);
    record.payload.structure.members = members;
    record.payload.structure.count = 2;
    BindingProperty value;
    ASSERT_TRUE(readHostValue(failure_, value, record, "<result>"));
    EXPECT_EQ(value.size(), 1u);
    EXPECT_EQ(value.get("k").getSigned(), 2);

    record.payload.structure.count = 3;
    EXPECT_FALSE(readHostValue(failure_, value, record, "payload"));  // its message as for a bad element
}

// Nesting a host chooses must not decide how deep the reader recurses.
TEST_F(HostValueTest, NestingBeyondTheDepthLimitFailsInsteadOfExhaustingTheStack) {
    const struct {
        std::size_t levels;
        bool ok;
    } cases[] = {{kMaxNestingDepth, true}, {kMaxNestingDepth + 1, false}, {100000, false}};
    for (const auto& c : cases) {
        // Built iteratively: level i holds level i + 1, alternating collections and structures.
        std::vector<HostValue> levels(c.levels + 1, Record(0));
        std::vector<HostValueMember> members(c.levels);
        levels[c.levels].tag = HOST_VALUE_SIGNED;
        // Innermost first: members hold copies of the level below them.
        for (std::size_t i = c.levels; i-- > 0;) {
            if (i % 2 == 0) {
                levels[i].tag = HOST_VALUE_COLLECTION;
                levels[i].payload.collection.items = &levels[i + 1];
                levels[i].payload.collection.count = 1;
            } else {
                members[i] = HostValueMember{"m", levels[i + 1], 0};
                levels[i].tag = HOST_VALUE_STRUCTURE;
                levels[i].payload.structure.members = &members[i];
                levels[i].payload.structure.count = 1;
            }
        }
        BindingProperty value;
        EXPECT_EQ(readHostValue(failure_, value, levels[0], "payload"), c.ok) << c.levels;
        if (c.ok) continue;
        EXPECT_STREQ(failure_.error,
                     "Couldn't assign value to 'payload' because the input is nested deeper than 512 levels.")
            << c.levels;
        resetHostResult(failure_);
    }
}

TEST_F(HostValueTest, SetHostErrorReplacesValueAndMessage) {
    BindingProperty text;
    text = "owned";
    writeHostValue(failure_.value, text);
    setHostError(failure_, "first");
    setHostError(failure_, "second");
    EXPECT_EQ(TagOf(failure_.value), 0u);
    EXPECT_STREQ(failure_.error, "second");
    EXPECT_EQ(failure_.failed, 1);
}

TEST_F(HostValueTest, RoundTripsAStructureUsingEveryKind) {
    const Everything source = FilledEverything();

    for (const BindingRegistry* names : std::initializer_list<const BindingRegistry*>{nullptr, &registry_}) {
        BindingProperty value;
        ASSERT_TRUE(structToValue(value, source, registry_));
        HostValue record = Record(0);
        writeHostValue(record, value, names);
        BindingProperty back;
        ASSERT_TRUE(readHostValue(failure_, back, record, "<result>"));
        resetHostValue(record);

        Everything target;
        BindingResult result;
        assignStruct(result, target, back, registry_, "<result>");
        ASSERT_TRUE(result.ok()) << result.error();
        BindingProperty again;
        ASSERT_TRUE(structToValue(again, target, registry_));
        EXPECT_EQ(Dump(again), Dump(value));
        EXPECT_EQ(target.f32, source.f32);
        EXPECT_EQ(target.state, source.state);
    }
}

}  // namespace
}  // namespace Norv
