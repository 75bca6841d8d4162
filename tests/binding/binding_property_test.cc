#include "binding/binding_property.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_limits.h"
#include "binding/binding_page_pool.h"
#include "value_dump.h"

namespace Norv {
namespace {

using Kind = BindingValueKind;
using namespace std::literals;
using Testing::Dump;

BindingProperty SampleTree() {
    BindingProperty root;
    root.member("name") = "sample";
    root.member("count") = 3;
    root.member("ratio") = 0.25;
    root.member("data") = BindingBlob{0x61, 0x62, 0x63};
    root.member("state") = BindingEnum{4, nullptr};
    root.member("none").makeCollection();  // empty, in a tree with a blob: teardown must walk no element
    BindingProperty& list = root.member("list");
    list.append() = "sample";
    list.append().member("inner") = true;
    list.append();
    return root;
}

const StaticTypeInfo* const kSomeType = reinterpret_cast<const StaticTypeInfo*>(&kMaxNestingDepth);

// The names themselves show in the assignment errors; a kind past the last must not read past them.
TEST(BindingProperty, KindNamesEndAtTheLastKind) {
    EXPECT_STREQ(BindingProperty::kindName(Kind::Structure), "structure");
    EXPECT_STREQ(BindingProperty::kindName(static_cast<Kind>(10)), "");
    EXPECT_STREQ(BindingProperty::kindName(static_cast<Kind>(255)), "");
}

const std::string kLvalueText = "x y";
const BindingBlob kAbc{'a', 'b', 'c'};
const BindingEnum kMinusOne{-1, kSomeType};
const BindingEnum kZero{0, kSomeType};

TEST(BindingProperty, AssignmentsSetKindSizeZeroAndText) {
    const struct {
        const char* what;
        std::function<void(BindingProperty&)> assign;
        Kind kind;
        std::size_t size;
        bool zero;
        std::string text;
    } cases[] = {
        {"true", [](auto& v) { v = true; }, Kind::Bool, 1, false, "true"},
        {"false", [](auto& v) { v = false; }, Kind::Bool, 1, true, "false"},
        {"int32 0", [](auto& v) { v = std::int32_t{0}; }, Kind::Signed, 1, true, "0"},
        {"int64 min", [](auto& v) { v = INT64_MIN; }, Kind::Signed, 1, false, "-9223372036854775808"},
        {"uint64 max", [](auto& v) { v = UINT64_MAX; }, Kind::Unsigned, 1, false, "18446744073709551615"},
        {"uint64 0", [](auto& v) { v = std::uint64_t{0}; }, Kind::Unsigned, 1, true, "0"},
        {"float -0.0000004", [](auto& v) { v = -0.0000004; }, Kind::Float, 1, false, "-0.000000"},
        {"float 0.0", [](auto& v) { v = 0.0; }, Kind::Float, 1, true, "0.000000"},
        {"float 1e20", [](auto& v) { v = 1e20; }, Kind::Float, 1, false, "100000000000000000000.000000"},
        {"float 2/3", [](auto& v) { v = 2.0 / 3.0; }, Kind::Float, 1, false, "0.666667"},
        {"float nan", [](auto& v) { v = std::numeric_limits<double>::quiet_NaN(); }, Kind::Float, 1, false, "nan"},
        {"C string", [](auto& v) { v = "abc"; }, Kind::String, 3, false, "abc"},
        {"null C string", [](auto& v) { v = static_cast<const char*>(nullptr); }, Kind::String, 0, true, ""},
        {"std::string", [](auto& v) { v = std::string("hello"); }, Kind::String, 5, false, "hello"},
        {"lvalue string", [](auto& v) { v = kLvalueText; }, Kind::String, 3, false, "x y"},
        {"NUL inside", [](auto& v) { v = std::string_view("a\0b", 3); }, Kind::String, 3, false, {"a\0b", 3}},
        {"blob", [](auto& v) { v = kAbc; }, Kind::Blob, 3, false, "YWJj"},
        {"empty blob", [](auto& v) { v = BindingBlob{}; }, Kind::Blob, 0, true, ""},
        {"enum -1", [](auto& v) { v = kMinusOne; }, Kind::Enum, 1, false, "-1"},
        {"enum 0", [](auto& v) { v = kZero; }, Kind::Enum, 1, true, "0"},
        {"collection", [](auto& v) { v.append() = 1; }, Kind::Collection, 1, false, ""},
        {"empty collection", [](auto& v) { v.makeCollection(); }, Kind::Collection, 0, true, ""},
        {"structure", [](auto& v) { v.member("a") = 1; }, Kind::Structure, 1, false, ""},
        {"empty structure", [](auto& v) { v.makeStructure(); }, Kind::Structure, 0, true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BindingProperty value;
        value = "replaced";  // every assignment releases what was there
        c.assign(value);
        EXPECT_EQ(value.kind(), c.kind);
        EXPECT_EQ(value.size(), c.size);
        EXPECT_EQ(value.isZero(), c.zero);
        EXPECT_EQ(value.toString(), c.text);
        EXPECT_EQ(value.arena()->findString("replaced"), nullptr);
        EXPECT_EQ(BindingProperty(value).toString(), c.text);  // a copy re-interns into its own arena
    }
}

TEST(BindingProperty, GettersReturnThePayloadOnlyForTheirOwnKind) {
    BindingProperty values[8];
    values[1] = true;
    values[2] = std::int64_t{-2};
    values[3] = std::uint64_t{3};
    values[4] = 4.5;
    values[5] = "five";
    values[6] = BindingBlob{6};
    values[7] = BindingEnum{7, kSomeType};
    const BindingBlob fallbackBlob{9, 9};
    for (int kind = 0; kind < 8; ++kind) {
        SCOPED_TRACE(kind);
        const BindingProperty& v = values[kind];
        EXPECT_EQ(v.kind(), static_cast<Kind>(kind));
        EXPECT_EQ(v.getBool(false), kind == 1);
        EXPECT_EQ(v.getBool(true), true);
        EXPECT_EQ(v.getSigned(7), kind == 2 ? -2 : 7);
        EXPECT_EQ(v.getUnsigned(7), kind == 3 ? 3u : 7u);
        EXPECT_EQ(v.getFloat(7.0), kind == 4 ? 4.5 : 7.0);
        EXPECT_EQ(v.getString("seven"), kind == 5 ? "five" : "seven");
        EXPECT_EQ(v.getBlob(fallbackBlob), kind == 6 ? BindingBlob{6} : fallbackBlob);
        const BindingEnum expected = kind == 7 ? BindingEnum{7, kSomeType} : BindingEnum{7, nullptr};
        EXPECT_EQ(v.getEnum({7, nullptr}), expected);
        EXPECT_EQ(v.getInternedString() != nullptr, kind == 5);
    }
}

TEST(BindingProperty, ADefaultValueAndAnEmptyTextCreateNoArena) {
    BindingProperty value;
    EXPECT_TRUE(value.isEmpty());
    EXPECT_EQ(value.size(), 0u);
    EXPECT_TRUE(value.isZero());
    EXPECT_EQ(value.toString(), "");
    EXPECT_EQ(value.arena(), nullptr);
    EXPECT_TRUE(value.ownsArena());
    value = "";  // the null C string's row checks its kind and size
    EXPECT_EQ(value.getInternedString(), &InternedString::Empty());
    EXPECT_EQ(value.arena(), nullptr);

    const BindingProperty copy = value;
    EXPECT_EQ(copy.getString("x"), "");
    EXPECT_EQ(copy.arena(), nullptr);
}

TEST(BindingProperty, ReadingWhatIsNotThereGivesTheSharedEmptyValue) {
    BindingProperty structure;
    structure.member("a") = 1;
    BindingProperty flag;
    flag = true;
    BindingProperty list;
    list.append() = 1;
    list.append() = 2;
    const BindingProperty* const absent[] = {&structure.get("b"), &structure.get(std::string("")),
                                             &structure.at(0),    &flag.get("a"),
                                             &flag.at(0),         &list.at(2),
                                             &list.at(5),         &list.get("a")};
    for (std::size_t i = 0; i < std::size(absent); ++i) EXPECT_EQ(absent[i], &BindingProperty::EmptyValue()) << i;
    EXPECT_EQ(structure.get(HashedName("a")).getSigned(), 1);
    EXPECT_EQ(list.at(1).getSigned(), 2);
    EXPECT_TRUE(flag.members().empty());
    EXPECT_TRUE(flag.elements().empty());
}

TEST(BindingProperty, WritableAccessConvertsOtherKinds) {
    BindingProperty value;
    BindingProperty* const last = &value.element(3);
    EXPECT_EQ(last, &value.at(3));
    EXPECT_EQ(value.kind(), Kind::Collection);
    EXPECT_EQ(value.size(), 4u);
    for (const BindingProperty& element : value.elements()) EXPECT_TRUE(element.isEmpty());
    value.element(1) = 5;
    value.element(1);  // an existing index changes nothing
    EXPECT_EQ(value.size(), 4u);
    EXPECT_EQ(value.at(1).getUnsigned(7), 7u);
    EXPECT_EQ(value.at(1).getSigned(), 5);

    // append() and member() on other kinds are in the assignment table.
    BindingProperty structure;
    structure.member("only") = 1;
    structure.makeStructure();  // already one: unchanged
    EXPECT_EQ(structure.size(), 1u);
    structure.makeCollection();
    EXPECT_EQ(structure.size(), 0u);
    EXPECT_EQ(structure.arena()->findString("only"), nullptr);
}

TEST(BindingProperty, MembersAreOrderedByUnsignedBytesOfTheirNames) {
    const std::string_view names[] = {
        "b",         "a",        "\xC3\xA4",   "B",        "ab",           "",       "a b",          "_",
        "abcdefghi", "abcdefgh", "abcdefghij", "abcdefgi", "abcdefgh\xFF", "ab\0"sv, "abcdefgh\0x"sv};
    BindingProperty value;
    for (const std::string_view name : names) value.member(name) = 1;
    std::vector<std::string> order;
    for (const auto& [name, member] : value.members()) order.emplace_back(name);
    EXPECT_EQ(order,
              (std::vector<std::string>{"", "B", "_", "a", "a b", "ab", "ab\0"s, "abcdefgh", "abcdefgh\0x"s,
                                        "abcdefghi", "abcdefghij", "abcdefgh\xFF", "abcdefgi", "b", "\xC3\xA4"}));
    value.member(std::string("abcdefghi")) = 2;  // found, not inserted again
    EXPECT_EQ(value.size(), std::size(names));
    EXPECT_EQ(value.get("abcdefghi").getSigned(), 2);
    EXPECT_EQ(value.get("ab\0"sv).getSigned(), 1);
    EXPECT_EQ(&value.get("abcdefghij\0"), &value.get("abcdefghij"));  // a C string ends at its NUL
    EXPECT_EQ(&value.get("abcdefg"), &BindingProperty::EmptyValue());
}

TEST(BindingProperty, EqualTextsShareOneEntryUntilTheLastReferenceGoes) {
    BindingProperty root;
    root.member("first") = "same";
    root.member("second") = std::string("same");
    root.member("same") = 1;  // a name counts as a reference too
    const InternedString* entry = root.arena()->findString("same");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->refCount(), 3u);
    EXPECT_EQ(root.get("first").getInternedString(), entry);

    root.member("first").reset();
    EXPECT_EQ(entry->refCount(), 2u);
    root.member("second") = root.get("second").getString();  // re-assigning its own text is safe
    EXPECT_EQ(entry->refCount(), 2u);
    root.member("second").reset();
    EXPECT_EQ(entry->refCount(), 1u);
    root.reset();
    EXPECT_EQ(root.arena()->findString("same"), nullptr);
    EXPECT_EQ(root.arena()->stringCount(), 0u);
}

TEST(BindingProperty, CopiesAreDeepAndMayCrossArenas) {
    const BindingProperty source = SampleTree();
    BindingProperty copy;
    copy = source;
    EXPECT_EQ(Dump(copy), Dump(source));
    EXPECT_NE(copy.arena(), source.arena());
    EXPECT_NE(copy.get("data").getBlob().data(), source.get("data").getBlob().data());
    EXPECT_EQ(source.arena()->findString("sample")->refCount(), 2u);
    EXPECT_EQ(copy.arena()->findString("sample")->refCount(), 2u);

    copy.member("list").element(1).member("inner") = false;
    EXPECT_TRUE(source.get("list").at(1).get("inner").getBool());

    BindingProperty into;
    into.member("tree") = source;  // a copy into a member lands in the tree's arena
    EXPECT_EQ(Dump(into.get("tree")), Dump(source));
    EXPECT_EQ(into.arena()->findString("sample")->refCount(), 2u);
}

TEST(BindingProperty, CopyingFromInsideOrIntoItselfIsSound) {
    BindingProperty value = SampleTree();
    value = value.get("list");
    EXPECT_EQ(value.size(), 3u);
    EXPECT_EQ(value.at(0).getString(), "sample");

    value.element(2) = value;
    EXPECT_EQ(value.at(2).size(), 3u);
    EXPECT_TRUE(value.at(2).at(2).isEmpty());

    const BindingProperty& self = value;
    value = self;
    EXPECT_EQ(value.size(), 3u);
}

TEST(BindingProperty, MovingBetweenRootsSwapsTheirArenas) {
    BindingProperty a = SampleTree();
    BindingProperty b;
    b.member("x") = "only in b";
    const BindingArena* arenaA = a.arena();
    const BindingArena* arenaB = b.arena();

    b = std::move(a);
    EXPECT_EQ(b.arena(), arenaA);
    EXPECT_EQ(Dump(b), Dump(SampleTree()));
    EXPECT_EQ(a.arena(), arenaB);  // NOLINT(bugprone-use-after-move)
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(arenaB->findString("only in b"), nullptr);

    BindingProperty constructed(std::move(b));
    EXPECT_EQ(constructed.arena(), arenaA);
    EXPECT_TRUE(b.isEmpty());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(b.arena(), nullptr);
}

TEST(BindingProperty, MovingIntoOrOutOfATreeCopiesIntoTheTargetArena) {
    BindingProperty source = SampleTree();
    const BindingArena* sourceArena = source.arena();
    BindingProperty tree;
    tree.member("moved") = std::move(source);
    EXPECT_EQ(Dump(tree.get("moved")), Dump(SampleTree()));
    EXPECT_EQ(tree.get("moved").get("name").getInternedString(), tree.arena()->findString("sample"));
    EXPECT_FALSE(tree.get("moved").ownsArena());  // members borrow the root's arena
    EXPECT_TRUE(source.isEmpty());                // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(source.arena(), sourceArena);
    EXPECT_EQ(sourceArena->stringCount(), 0u);

    BindingProperty out(std::move(tree.member("moved")));
    EXPECT_NE(out.arena(), tree.arena());
    EXPECT_EQ(Dump(out), Dump(SampleTree()));
    EXPECT_TRUE(tree.get("moved").isEmpty());
    EXPECT_EQ(tree.size(), 1u);

    // A child moved up into its own parent.
    tree.member("moved") = SampleTree();
    tree = std::move(tree.member("moved"));
    EXPECT_EQ(Dump(tree), Dump(SampleTree()));
}

TEST(BindingProperty, AppendTakenMovesWithinATreeAndCopiesFromOutside) {
    BindingProperty tree;
    BindingProperty aside(tree.makeStructure().tree());
    aside.member("x") = "kept";
    BindingProperty& element = tree.member("list").appendTaken(aside);
    EXPECT_TRUE(aside.isEmpty());
    EXPECT_EQ(element.get("x").getString(), "kept");

    BindingProperty outside = SampleTree();
    tree.member("list").appendTaken(outside);
    EXPECT_TRUE(outside.isEmpty());
    EXPECT_EQ(Dump(tree.get("list").at(1)), Dump(SampleTree()));
    EXPECT_EQ(tree.get("list").at(1).get("name").getInternedString(), tree.arena()->findString("sample"));

    // An element taken into its own full Collection, whose array moves while it is taken.
    BindingProperty& list = tree.member("list");
    ASSERT_EQ(list.size(), 2u);
    list.appendTaken(list.element(0));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(list.at(0).isEmpty());
    EXPECT_EQ(list.at(2).get("x").getString(), "kept");
}

TEST(BindingProperty, BlobsMovedInKeepTheirBuffer) {
    BindingBlob bytes{1, 2, 3};
    const std::uint8_t* buffer = bytes.data();
    BindingProperty value;
    value = std::move(bytes);
    EXPECT_EQ(value.getBlob().data(), buffer);
    value = std::span<const std::uint8_t>(buffer, 2);  // a view of its own bytes
    EXPECT_EQ(value.getBlob(), (BindingBlob{1, 2}));
}

TEST(BindingProperty, CollectionsKeepElementsAcrossGrowthAndRejectImpossibleSizes) {
    BindingProperty list;
    for (int i = 0; i < 1000; ++i) list.append() = "item" + std::to_string(i);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(list.at(i).getString(), "item" + std::to_string(i));
    list.reserve(5000);
    EXPECT_EQ(list.size(), 1000u);

    const auto tooLong = ::testing::ThrowsMessage<std::length_error>(::testing::StrEq("vector<T> too long"));
    EXPECT_THAT([&] { list.reserve(std::numeric_limits<std::size_t>::max()); }, tooLong);
    EXPECT_THAT([&] { list.element(std::numeric_limits<std::size_t>::max()); }, tooLong);
    EXPECT_EQ(list.size(), 1000u);

    BindingProperty notAList;
    notAList = 1;
    notAList.reserve(10);  // other kinds ignore it
    EXPECT_EQ(notAList.kind(), Kind::Signed);
}

TEST(BindingProperty, DeepTreesUpToTheNestingLimitCopyAndDestroy) {
    const std::size_t pagesBefore = BindingPagePool::Instance().statistics().pagesInUse;
    {
        BindingProperty root;
        BindingProperty* level = &root;
        for (std::size_t depth = 0; depth < kMaxNestingDepth; ++depth) {
            level = depth % 2 == 0 ? &level->member("next") : &level->append();
        }
        *level = "bottom";
        const BindingProperty copy = root;
        const BindingProperty* walk = &copy;
        for (std::size_t depth = 0; depth < kMaxNestingDepth; ++depth) {
            walk = depth % 2 == 0 ? &walk->get("next") : &walk->at(0);
        }
        EXPECT_EQ(walk->getString(), "bottom");
    }
    EXPECT_EQ(BindingPagePool::Instance().statistics().pagesInUse, pagesBefore);
}

// Failure() is pinned by the dispatcher's builtin help test.
TEST(BindingResult, CarriesOkOrTheErrorMember) {
    BindingResult result;
    result.value = 5;
    result.setError("Something failed.");
    EXPECT_EQ(Dump(result.value), "structure:{error=string:Something failed.}");
    const BindingResult moved(std::move(result));
    EXPECT_FALSE(moved.ok());
    EXPECT_EQ(moved.error(), "Something failed.");

    BindingResult notText;
    notText.setOk(false);
    notText.value.member("error") = 3;
    EXPECT_EQ(notText.error(), "");

    BindingProperty value;
    value = "fine";
    const BindingResult fromValue(std::move(value));
    EXPECT_TRUE(fromValue.ok());
    EXPECT_EQ(fromValue.value.getString(), "fine");
}

// The reset inside setError frees the texts of the old value; a message taken
// from them must still arrive whole (the sanitizer build sees the freed read).
TEST(BindingResult, SetErrorTakesAMessageThatLivesInTheResult) {
    const std::string longText(200, 'x');
    for (const std::string& text : {std::string("short"), longText}) {
        BindingResult result;
        result.value.member("detail") = std::string_view(text);
        result.setError(result.value.get("detail").getString());
        EXPECT_EQ(result.error(), text);

        result.setError(result.error());
        EXPECT_EQ(result.error(), text);
        EXPECT_EQ(result.value.size(), 1u);
    }
}

}  // namespace
}  // namespace Norv
