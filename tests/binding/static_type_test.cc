#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Norv {

struct Probe690 {
    static constexpr FixedText kStaticTypeText{"struct Norv::Probe690"};
};
enum class ProbeState : std::uint8_t { Off };
template <>
struct StaticTypeText<ProbeState> {
    static constexpr FixedText value{"enum Norv::Client::ProbeState"};
};

namespace {

struct IdentityRow {
    const StaticTypeInfo& identity;
    std::uint32_t code;
    const char* name;
};

TEST(StaticTypeTest, IdentityRecordsCarryTheCodeAndItsEightHexDigits) {
    const IdentityRow rows[] = {
        {StaticType::Identity<bool>(), 0x6AB1187Cu, "#6AB1187C"},
        {StaticType::Identity<void>(), 0x1BE7EF8Eu, "#1BE7EF8E"},
        {StaticType::Identity<std::string>(), 0x2757680Bu, "#2757680B"},
        {StaticType::Identity<Probe690>(), 0x002E2B35u, "#002E2B35"},
    };
    for (const IdentityRow& row : rows) {
        EXPECT_EQ(row.identity.hashCode, row.code) << row.name;
        EXPECT_STREQ(row.identity.name, row.name);
        EXPECT_EQ(row.identity.name, row.identity.anonymousName);
    }
}

struct NameRow {
    const char* actual;
    const char* typeText;
};

TEST(StaticTypeTest, SignatureTextsFollowTheWindowsSpelling) {
    const NameRow rows[] = {
        {StaticType::Name<bool>(), "bool"},
        {StaticType::Name<double>(), "double"},
        {StaticType::Name<wchar_t>(), "wchar_t"},
        {StaticType::Name<std::int8_t>(), "signed char"},
        {StaticType::Name<std::uint8_t>(), "unsigned char"},
        {StaticType::Name<std::int16_t>(), "short"},
        {StaticType::Name<std::uint16_t>(), "unsigned short"},
        {StaticType::Name<std::int32_t>(), "int"},
        {StaticType::Name<std::uint32_t>(), "unsigned int"},
        // One text for the 64-bit integers whatever the local compiler calls them.
        {StaticType::Name<std::int64_t>(), "__int64"},
        {StaticType::Name<std::uint64_t>(), "unsigned __int64"},
        {StaticType::Name<long long>(), "__int64"},
        {StaticType::Name<BindingProperty>(), "class Norv::BindingProperty"},
        {StaticType::Name<Probe690>(), "struct Norv::Probe690"},
        {StaticType::Name<ProbeState>(), "enum Norv::Client::ProbeState"},
        {StaticType::Name<std::string>(),
         "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >"},
        {StaticType::Name<std::vector<int>>(), "class std::vector<int,class std::allocator<int> >"},
        {StaticType::Name<std::vector<std::vector<int>>>(),
         "class std::vector<class std::vector<int,class std::allocator<int> >,"
         "class std::allocator<class std::vector<int,class std::allocator<int> > > >"},
        {StaticType::Name<std::unordered_map<std::string, int>>(),
         "class std::unordered_map<class std::basic_string<char,struct std::char_traits<char>,class "
         "std::allocator<char> >,int,struct std::hash<class std::basic_string<char,struct "
         "std::char_traits<char>,class std::allocator<char> > >,struct std::equal_to<class "
         "std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> > >,class "
         "std::allocator<struct std::pair<class std::basic_string<char,struct std::char_traits<char>,class "
         "std::allocator<char> > const ,int> > >"},
    };
    for (const NameRow& row : rows) {
        EXPECT_EQ(std::string(row.actual),
                  "const char *__cdecl StaticType::Name<" + std::string(row.typeText) + ">(void)");
    }
}

}  // namespace
}  // namespace Norv
