// The boundary records as a host written in C sees them: raw bytes at the
// offsets of the C layout (natural alignment for the load record, byte-packed
// host values), written by one side and read through the other. A pair of
// fields swapped in a declaration turns these red even when sizes still match.
#include "binding/host_value.h"
#include "plugin/plugin_entry.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace Norv {
namespace {

constexpr std::size_t kPointer = sizeof(void*);
// HostValue: a 32-bit tag, then a payload as large as its largest member (a
// pointer and a 32-bit count, or an 8-byte number), all packed.
constexpr std::size_t kPayload = 4;
constexpr std::size_t kValueSize = 4 + std::max<std::size_t>(8, kPointer + 4);
// HostValueMember: key, value, ownership flag.
constexpr std::size_t kMemberValue = kPointer;
constexpr std::size_t kMemberOwnsKey = kPointer + kValueSize;
constexpr std::size_t kMemberSize = kMemberOwnsKey + 1;
// HostResult: value, error text, failure flag.
constexpr std::size_t kResultError = kValueSize;
constexpr std::size_t kResultFailed = kValueSize + kPointer;
// PluginLoadRecord: three version words, then four pointers at their alignment.
constexpr std::size_t kLoadPointers = (12 + kPointer - 1) / kPointer * kPointer;
constexpr std::size_t kLoadCallbacks = kLoadPointers;
constexpr std::size_t kLoadContext = kLoadPointers + kPointer;
constexpr std::size_t kLoadShortName = kLoadPointers + 2 * kPointer;
constexpr std::size_t kLoadApiTable = kLoadPointers + 3 * kPointer;

using Bytes = std::vector<std::uint8_t>;

template <class T>
void Put(Bytes& bytes, std::size_t offset, T value) {
    ASSERT_LE(offset + sizeof value, bytes.size());
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

template <class T>
T Get(const void* record, std::size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const std::uint8_t*>(record) + offset, sizeof value);
    return value;
}

template <class Record>
Bytes BytesOf(const Record& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

// A value the host wrote: a structure of a borrowed string, an unsigned
// number and a collection of a signed and a float value.
TEST(BoundaryRecords, HostWrittenValuesReadByField) {
    const char* text = "hello";
    Bytes items(2 * kValueSize);
    Put<std::uint32_t>(items, 0, HOST_VALUE_SIGNED);
    Put<std::int64_t>(items, kPayload, -5);
    Put<std::uint32_t>(items, kValueSize, HOST_VALUE_FLOAT);
    Put<double>(items, kValueSize + kPayload, 2.5);

    const char* keys[] = {"text", "count", "list"};
    Bytes members(3 * kMemberSize);
    for (std::size_t i = 0; i < 3; ++i) Put(members, i * kMemberSize, keys[i]);
    Put<std::uint32_t>(members, kMemberValue, HOST_VALUE_STRING);
    Put(members, kMemberValue + kPayload, text);
    Put<std::uint32_t>(members, kMemberValue + kPayload + kPointer, 5);
    Put<std::uint32_t>(members, kMemberSize + kMemberValue, HOST_VALUE_UNSIGNED);
    Put<std::uint64_t>(members, kMemberSize + kMemberValue + kPayload, 0x100000007);
    Put<std::uint32_t>(members, 2 * kMemberSize + kMemberValue, HOST_VALUE_COLLECTION);
    Put(members, 2 * kMemberSize + kMemberValue + kPayload, items.data());
    Put<std::uint32_t>(members, 2 * kMemberSize + kMemberValue + kPayload + kPointer, 2);

    Bytes root(kValueSize);
    Put<std::uint32_t>(root, 0, HOST_VALUE_STRUCTURE);
    Put(root, kPayload, members.data());
    Put<std::uint32_t>(root, kPayload + kPointer, 3);

    HostValue value;
    std::memcpy(&value, root.data(), sizeof value);
    HostResult failure{};
    BindingProperty read;
    ASSERT_TRUE(readHostValue(failure, read, value, "<value>"));
    EXPECT_EQ(Testing::JsonText(read), R"({"count":4294967303,"list":[-5,2.5],"text":"hello"})");
}

// A value the plugin wrote, read by the host byte by byte.
TEST(BoundaryRecords, PluginWrittenValuesLieAtTheirOffsets) {
    BindingProperty source;
    source.member("key") = std::string("xy");
    source.member("numbers").append() = std::int64_t{-3};
    HostValue value{};
    writeHostValue(value, source);
    const Bytes root = BytesOf(value);
    EXPECT_EQ(Get<std::uint32_t>(root.data(), 0), std::uint32_t{HOST_VALUE_STRUCTURE});
    EXPECT_EQ(Get<std::uint32_t>(root.data(), kPayload + kPointer), 2u);
    const auto* members = Get<const std::uint8_t*>(root.data(), kPayload);

    EXPECT_STREQ(Get<const char*>(members, 0), "key");
    EXPECT_EQ(Get<std::uint8_t>(members, kMemberOwnsKey), 1u);
    EXPECT_EQ(Get<std::uint32_t>(members, kMemberValue), std::uint32_t{HOST_VALUE_OWNED_STRING});
    EXPECT_STREQ(Get<const char*>(members, kMemberValue + kPayload), "xy");
    EXPECT_EQ(Get<std::uint32_t>(members, kMemberValue + kPayload + kPointer), 2u);

    const std::uint8_t* second = members + kMemberSize;
    EXPECT_STREQ(Get<const char*>(second, 0), "numbers");
    EXPECT_EQ(Get<std::uint32_t>(second, kMemberValue), std::uint32_t{HOST_VALUE_COLLECTION});
    EXPECT_EQ(Get<std::uint32_t>(second, kMemberValue + kPayload + kPointer), 1u);
    const auto* items = Get<const std::uint8_t*>(second, kMemberValue + kPayload);
    EXPECT_EQ(Get<std::uint32_t>(items, 0), std::uint32_t{HOST_VALUE_SIGNED});
    EXPECT_EQ(Get<std::int64_t>(items, kPayload), -3);
    resetHostValue(value);

    HostResult result{};
    setHostError(result, "broken");
    const Bytes failed = BytesOf(result);
    EXPECT_EQ(Get<std::uint8_t>(failed.data(), kResultFailed), 1u);
    EXPECT_STREQ(Get<const char*>(failed.data(), kResultError), "broken");
    resetHostResult(result);
}

// The host writes its version into raw words and reads the plugin's answer
// back from the same bytes; the version words are all 18 so that only the
// answer can tell them apart.
TEST(BoundaryRecords, LoadRecordAnswersAtItsOffsets) {
    Bytes bytes(sizeof(PluginLoadRecord), 0xAB);
    Put<std::uint32_t>(bytes, 0, 18);
    Put<std::uint32_t>(bytes, 4, 18);
    Put<std::uint32_t>(bytes, 8, 18);
    PluginLoadRecord record;
    std::memcpy(&record, bytes.data(), sizeof record);
    void* object = LoadPlugin(
        &record, []() -> HostPlugin* { return new HostPlugin; }, "vek-norv-messaging-service");
    ASSERT_NE(object, nullptr);
    bytes = BytesOf(record);

    EXPECT_EQ(Get<std::uint32_t>(bytes.data(), 0), 18u);
    EXPECT_EQ(Get<std::uint32_t>(bytes.data(), 4), 0u);
    EXPECT_EQ(Get<std::uint32_t>(bytes.data(), 8), 0u);
    EXPECT_EQ(Get<void*>(bytes.data(), kLoadContext), object);
    EXPECT_STREQ(Get<const char*>(bytes.data(), kLoadShortName), "vek-norv-messaging-service");
    const auto* table = Get<const std::uint8_t*>(bytes.data(), kLoadApiTable);
    ASSERT_NE(table, nullptr);

    // The callbacks by position: the third fills the statistics words, the
    // first starts the plugin, the second destroys it.
    const auto* callbacks = Get<const std::uint8_t*>(bytes.data(), kLoadCallbacks);
    ASSERT_NE(callbacks, nullptr);
    std::uint32_t words[NORV_MEMORY_STATISTICS_WORDS];
    std::fill(std::begin(words), std::end(words), 0xFFFFFFFFu);
    Get<PluginMemoryStatisticsCallback>(callbacks, 2 * kPointer)(nullptr, words);
    EXPECT_EQ(words[2 * NORV_MEMORY_RESERVED], 0u);
    Testing::FakeHost host;
    EXPECT_TRUE(Get<PluginInitCallback>(callbacks, 0)(object, host.Interface()));
    Get<PluginUnloadCallback>(callbacks, kPointer)(object);
}

}  // namespace
}  // namespace Norv
