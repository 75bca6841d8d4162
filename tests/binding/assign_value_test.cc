#include "binding/assign_value.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "binding/help/builtin_types.h"
#include "binding/native_type_traits.h"
#include "binding/to_value.h"
#include "conversion_test_types.h"

namespace Norv {
namespace {

using namespace ConversionTest;
using K = BindingTypeKind;

template <class T>
BindingProperty Of(T value) {
    BindingProperty property;
    property = value;
    return property;
}
BindingProperty Bytes(std::initializer_list<std::uint8_t> bytes) {
    return Of(BindingBlob(bytes));
}
BindingProperty AsyncState(std::int32_t value) {
    return Of(BindingEnum{value, &StaticType::Identity<BindingAsyncState>()});
}
BindingProperty ListOf(std::initializer_list<BindingProperty> items) {
    BindingProperty list;
    list.makeCollection();
    for (const BindingProperty& item : items) list.append() = item;
    return list;
}
BindingProperty Record(std::initializer_list<std::pair<const char*, BindingProperty>> members) {
    BindingProperty record;
    record.makeStructure();
    for (const auto& [name, value] : members) record.member(name) = value;
    return record;
}

template <class T>
std::string Render(const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
        return value ? "true" : "false";
    } else if constexpr (std::is_enum_v<T>) {
        return std::to_string(static_cast<std::int64_t>(value));
    } else if constexpr (std::is_floating_point_v<T>) {
        if (std::isnan(value)) return "nan";
        char buffer[64];
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    } else if constexpr (std::is_integral_v<T>) {
        return std::to_string(static_cast<std::conditional_t<std::is_signed_v<T>, std::int64_t, std::uint64_t>>(value));
    } else if constexpr (std::is_same_v<T, std::string>) {
        return value;
    } else if constexpr (std::is_same_v<T, BindingBlob>) {
        return std::string(value.begin(), value.end());
    } else {
        return std::string(value.kindName()) + ":" + value.toString();
    }
}

// Assigns through the kind dispatch, onto a target that is not zero, after
// `earlier` (when given) has failed the result. "=<value>" on success, else the
// message; a failed conversion must leave the zero value.
template <class T>
std::string AssignAs(K kind, const BindingProperty& input, const BindingTypeDescriptor* descriptor,
                     const BindingRegistry* registry, const char* earlier) {
    T target{};
    if constexpr (std::is_arithmetic_v<T> || std::is_enum_v<T>) {
        target = static_cast<T>(3);
    } else if constexpr (std::is_same_v<T, BindingBlob>) {
        target = {1};
    } else {
        target = "t";
    }
    BindingResult result;
    if (earlier) result.setError(earlier);
    assignValue(result, &target, input, BindingTypeIdentifier{kind, K::None, descriptor}, "<value>", registry);
    if (result.ok()) return "=" + Render(target);
    EXPECT_EQ(Render(target), Render(T{})) << "a failed conversion leaves the zero value";
    return std::string(result.error());
}

struct Row {
    K target;
    BindingProperty input;
    std::string expected;
};

class AssignValueTest : public ::testing::Test {
protected:
    AssignValueTest() { RegisterConversionTypes(registry_); }

    // Kinds without a built-in rule (containers, callbacks) reach the field converter, here absent.
    std::string Assign(K kind, const BindingProperty& input, const char* earlier = nullptr) {
        if (kind == K::Enum) {
            return AssignAs<BindingAsyncState>(kind, input, registry_.findType("BindingAsyncState"), &registry_,
                                               earlier);
        }
        std::string outcome;
        if (NativeType::WithScalarType(
                kind, [&]<class T>() { outcome = AssignAs<T>(kind, input, nullptr, &registry_, earlier); })) {
            return outcome;
        }
        BindingResult result;
        int untouched = 0;
        assignValue(result, &untouched, input, BindingTypeIdentifier{kind}, "<value>", &registry_);
        return result.ok() ? "=" : std::string(result.error());
    }

    void Check(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            EXPECT_EQ(Assign(row.target, row.input), row.expected)
                << BindingTypeKindName(row.target) << " from " << row.input.kindName() << " " << row.input.toString();
        }
    }

    BindingRegistry registry_;
};

constexpr const char* kRequired = "A value for '<value>' is required.";

std::string Invalid(const char* type, const char* kind) {
    return std::string("Couldn't assign value to '<value>' of type ") + type +
           " because the input is of an invalid type " + kind + ".";
}
std::string Range(const std::string& value, const char* type) {
    return "Value " + value + " for '<value>' of type " + type + " is out of range";
}
std::string BadFormat(const std::string& value, const char* type) {
    return "Value " + value + " for '<value>' of type " + type + " is in an incorrect format";
}

TEST_F(AssignValueTest, BoolTargetTakesBoolsAndFourTexts) {
    const std::string options = ". Options are \"true\", \"false\", \"1\", \"0\".";
    Check({
        {K::Bool, {}, kRequired},
        {K::Bool, Of(true), "=true"},
        {K::Bool, Of("true"), "=true"},
        {K::Bool, Of("1"), "=true"},
        {K::Bool, Of("false"), "=false"},
        {K::Bool, Of("0"), "=false"},
        {K::Bool, Of("True"), BadFormat("True", "bool") + options},
        {K::Bool, Of(" 1"), BadFormat(" 1", "bool") + options},
        {K::Bool, Of(std::int64_t{1}), Invalid("bool", "signed")},
        {K::Bool, Of(std::uint64_t{1}), Invalid("bool", "unsigned")},
        {K::Bool, Bytes({1}), Invalid("bool", "blob")},
        {K::Bool, ListOf({Of(true)}), Invalid("bool", "collection")},
        {K::Bool, Record({{"a", Of(true)}}), Invalid("bool", "structure")},
    });
}

TEST_F(AssignValueTest, SignedTargetsCheckTheirBounds) {
    Check({
        {K::Int8, {}, kRequired},
        {K::Int8, Of(std::int64_t{127}), "=127"},
        {K::Int8, Of(std::int64_t{-128}), "=-128"},
        {K::Int8, Of(std::int64_t{128}), Range("128", "int8")},
        {K::Int8, Of(std::int64_t{-129}), Range("-129", "int8")},
        {K::Int8, Of(std::uint64_t{127}), "=127"},
        {K::Int8, Of(std::uint64_t{128}), Range("128", "int8")},
        {K::Int8, Of(127.5), Range("127.5", "int8")},
        {K::Int8, AsyncState(5), "=5"},
        {K::Int16, Of(std::int64_t{-32769}), Range("-32769", "int16")},
        {K::Int32, Of(3.9), "=3"},
        {K::Int32, Of(-3.9), "=-3"},
        {K::Int32, Of(std::int64_t{2147483648}), Range("2147483648", "int32")},
        {K::Int64, Of(std::numeric_limits<std::int64_t>::min()), "=-9223372036854775808"},
        {K::Int64, Of(std::uint64_t{9223372036854775808u}), Range("9223372036854775808", "int64")},
        {K::Int64, Of(-9223372036854775808.0), "=-9223372036854775808"},
        // 2^63 equals INT64_MAX converted to double, yet no int64 holds it.
        {K::Int64, Of(9223372036854775808.0), Range("9.22337e+18", "int64")},
        {K::Int32, Of(true), Invalid("int32", "bool")},
        {K::Int8, Of(std::numeric_limits<double>::quiet_NaN()), Range("nan", "int8")},
    });
}

TEST_F(AssignValueTest, SignedTargetsParseTextLikeStrtoll) {
    Check({
        {K::Int32, Of("0x10"), "=16"},
        {K::Int32, Of("017"), "=15"},
        {K::Int32, Of(" 12"), "=12"},
        {K::Int32, Of("-12"), "=-12"},
        {K::Int32, Of("+12"), "=12"},
        {K::Int32, Of(""), "=0"},
        {K::Int32, Of("12 "), BadFormat("12 ", "int32")},
        {K::Int32, Of("12abc"), BadFormat("12abc", "int32")},
        {K::Int32, Of("1.5"), BadFormat("1.5", "int32")},
        {K::Int32, Of("09"), BadFormat("09", "int32")},
        {K::Int32, Of("0x"), BadFormat("0x", "int32")},
        {K::Int32, Of(" "), BadFormat(" ", "int32")},
        {K::Int32, Of(std::string("12\0", 3)), BadFormat("12", "int32")},
        {K::Int32, Of("2147483648"), Range("2147483648", "int32")},
        {K::Int8, Of("-0x80"), "=-128"},
        {K::Int8, Of("-128"), "=-128"},
        {K::Int8, Of("-129"), Range("-129", "int8")},
        {K::Int64, Of("-9223372036854775808"), "=-9223372036854775808"},
        {K::Int64, Of("9223372036854775808"), Range("9223372036854775808", "int64")},
        {K::Int64, Of("99999999999999999999x"), BadFormat("99999999999999999999x", "int64")},
    });
}

TEST_F(AssignValueTest, UnsignedTargetsRejectNegativesAndCheckBounds) {
    Check({
        {K::UInt8, {}, kRequired},
        {K::UInt8, Of(std::int64_t{255}), "=255"},
        {K::UInt8, Of(std::int64_t{-1}), Range("-1", "uint8")},
        {K::UInt16, Of(std::uint64_t{65536}), Range("65536", "uint16")},
        {K::UInt8, Of(255.9), Range("255.9", "uint8")},
        {K::UInt8, Of(255.0), "=255"},
        {K::UInt8, Of(-0.5), Range("-0.5", "uint8")},
        {K::UInt8, AsyncState(5), "=5"},
        {K::UInt8, AsyncState(-1), Range("-1", "uint8")},
        {K::UInt8, AsyncState(255), "=255"},
        // strtoull would wrap a minus after blanks to a huge number, and read
        // "-0" as 0; every minus sign is refused instead, zero's too.
        {K::UInt32, Of("-0"), Range("-0", "uint32")},
        {K::UInt32, Of(" -0"), Range(" -0", "uint32")},
        {K::UInt64, Of(" -1"), Range(" -1", "uint64")},
        {K::UInt32, Of("4294967296"), Range("4294967296", "uint32")},
        {K::UInt32, Of("0xFFFFFFFF"), "=4294967295"},
        {K::UInt32, Of(""), "=0"},
        {K::UInt32, Of("-"), BadFormat("-", "uint32")},
        {K::UInt64, Of(std::numeric_limits<std::uint64_t>::max()), "=18446744073709551615"},
        {K::UInt64, Of("18446744073709551615"), "=18446744073709551615"},
        {K::UInt64, Of("18446744073709551616"), Range("18446744073709551616", "uint64")},
        // 2^64 equals UINT64_MAX converted to double, yet no uint64 holds it.
        {K::UInt64, Of(18446744073709551616.0), Range("1.84467e+19", "uint64")},
        {K::UInt64, Of(true), Invalid("uint64", "bool")},
        {K::UInt8, Of(std::numeric_limits<double>::quiet_NaN()), Range("nan", "uint8")},
    });
}

// long and long long: one of them is no fixed-width type on each target.
TEST_F(AssignValueTest, OtherIntegerTypesTakeTheRuleOfTheirWidthAndSign) {
    long number = 1;
    long long wide = 1;
    unsigned long long wideUnsigned = 1;
    BindingResult result;
    assignValue(result, number, Of("-5"), "<value>");
    assignValue(result, wide, Of("-9223372036854775808"), "<value>");
    assignValue(result, wideUnsigned, Of("18446744073709551615"), "<value>");
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(number, -5);
    EXPECT_EQ(wide, std::numeric_limits<long long>::min());
    EXPECT_EQ(wideUnsigned, std::numeric_limits<unsigned long long>::max());
}

TEST_F(AssignValueTest, FloatingTargetsCheckBoundsAndKeepNan) {
    const double infinity = std::numeric_limits<double>::infinity();
    Check({
        {K::Double, {}, kRequired},
        {K::Double, Of(std::int64_t{-5}), "=-5"},
        {K::Double, Of(std::numeric_limits<std::uint64_t>::max()), "=18446744073709551616"},
        {K::Double, AsyncState(4), "=4"},
        {K::Double, Of(1.5), "=1.5"},
        {K::Double, Of(-infinity), Range("-inf", "double")},
        {K::Float, Of(1e39), Range("1e+39", "float")},
        {K::Float, Of(0.1), "=0.1"},
        {K::Double, Of(std::numeric_limits<double>::quiet_NaN()), "=nan"},
        {K::Double, Of("  -2.5e3"), "=-2500"},
        {K::Double, Of("0x1.8p1"), "=3"},
        {K::Double, Of(""), "=0"},
        {K::Double, Of("1e400"), Range("1e400", "double")},
        {K::Double, Of("1e-310"), Range("1e-310", "double")},  // subnormal: strtod reports underflow
        {K::Double, Of("0.0e-999"), "=0"},
        {K::Double, Of("0.00"), "=0"},
        {K::Double, Of("+.5"), "=0.5"},
        {K::Double, Of("-Infinity"), Range("-Infinity", "double")},
        {K::Double, Of("nan(12_ab)"), "=nan"},
        {K::Double, Of("nan(12"), BadFormat("nan(12", "double")},
        {K::Double, Of("1e"), BadFormat("1e", "double")},
        {K::Double, Of("infin"), BadFormat("infin", "double")},
        {K::Double, Of("inf"), Range("inf", "double")},
        {K::Float, Of("1e39"), Range("1e39", "float")},
        {K::Double, Of("1.5x"), BadFormat("1.5x", "double")},
        {K::Double, Of(true), Invalid("double", "bool")},
    });
}

TEST_F(AssignValueTest, StringBlobObjectAndUnruledTargets) {
    const std::string unregistered =
        "Couldn't assign value to '<value>' because the input is an unregistered structure or not a structure at all.";
    const std::string notString = "Couldn't assign value to '<value>' because the input is not a string.";
    const std::string notBase64 =
        "Couldn't assign string value to '<value>' of type blob because the input has invalid base64 characters.";
    const std::string notBlob = "Couldn't assign value to '<value>' of type blob because the input is not a blob.";
    Check({
        {K::String, {}, kRequired},
        {K::String, Of("text"), "=text"},
        {K::String, Of(std::int64_t{5}), notString},
        {K::String, AsyncState(1), "=Running"},
        {K::String, AsyncState(9), "9 is not a valid enumeration value for '<value>'."},
        {K::Blob, {}, kRequired},
        {K::Blob, Of("YWJj"), "=abc"},
        {K::Blob, Of("QA=="), "=@"},
        {K::Blob, Of(""), "="},
        {K::Blob, Of("YWJj\n"), notBase64},
        {K::Blob, Bytes({'x', 'y'}), "=xy"},
        {K::Blob, Of(std::int64_t{1}), notBlob},
        {K::Object, {}, "=empty:"},
        {K::Object, Of(std::int64_t{-3}), "=signed:-3"},
        {K::Object, Of("x"), "=string:x"},
        {K::Object, AsyncState(2), "=enum:2"},
        {K::Vector, ListOf({Of(1)}), unregistered},
        {K::Map, Record({}), unregistered},
        {K::Callback, Of(1), unregistered},
    });
}

TEST_F(AssignValueTest, EnumTargetAcceptsNamesAndEnumeratorNumbers) {
    const auto notValid = [](const std::string& given) {
        return given + " is not a valid BindingAsyncState enumeration value for '<value>'.";
    };
    const std::string invalid =
        "Couldn't assign value to '<value>' of enum type because the input is of an invalid type ";
    Check({
        {K::Enum, {}, kRequired},
        {K::Enum, Of("Failed"), "=5"},
        {K::Enum, Of("5"), "=5"},
        {K::Enum, Of("failed"), notValid("failed")},
        {K::Enum, Of("7"), notValid("7")},
        {K::Enum, Of("4294967300"), notValid("4294967300")},  // 2^32 + 4: no low-bit match for text
        {K::Enum, Of("Failed "), notValid("Failed ")},
        {K::Enum, Of(std::int64_t{7}), notValid("7")},
        {K::Enum, Of(std::int64_t{4294967300}), "=4"},  // only the low 32 bits name the enumerator
        {K::Enum, Of(std::uint64_t{4294967297}), "=1"},
        {K::Enum, Of(std::int64_t{-1}), notValid("-1")},
        {K::Enum, AsyncState(3), "=3"},
        {K::Enum, Of(BindingEnum{2, &StaticType::Identity<Shade>()}), "=2"},  // the type is not compared
        {K::Enum, AsyncState(9), notValid("9")},
        {K::Enum, Of(1.0), invalid + "float."},
    });
}

TEST_F(AssignValueTest, StructureRuleFollowsFieldFlags) {
    const std::string missingX =
        "Couldn't assign value to '<value>' of type Point because the input structure doesn't have required field 'x'.";
    struct Case {
        const char* what;
        BindingProperty input;
        std::string error;
        std::int32_t x;
        std::int32_t y;
    };
    const Case cases[] = {
        {"both members", Record({{"x", Of(1)}, {"y", Of(2)}}), "", 1, 2},
        {"optional member absent: unchanged", Record({{"x", Of(1)}}), "", 1, 9},
        {"Empty member counts as absent", Record({{"x", Of(1)}, {"y", {}}}), "", 1, 9},
        {"extra members ignored", Record({{"x", Of(1)}, {"z", Of("?")}}), "", 1, 9},
        {"required member absent", Record({{"y", Of(2)}}), missingX, 8, 9},
        {"required member Empty", Record({{"x", {}}, {"y", Of(2)}}), missingX, 8, 9},
        {"not a structure", Of(std::int64_t{1}),
         "Couldn't assign value to '<value>' of type Point because the input not a structure.", 8, 9},
        {"top-level Empty", {}, "A value for '<value>' is required.", 8, 9},
        // x is assigned before y fails; y holds 0 after its failure.
        {"field failure", Record({{"x", Of(1)}, {"y", Of("no")}}),
         "Value no for 'y' of type int32 is in an incorrect format", 1, 0},
    };
    for (const Case& c : cases) {
        Point target{8, 9};
        BindingResult result;
        assignStruct(result, target, c.input, registry_, "<value>");
        EXPECT_EQ(result.error(), c.error) << c.what;
        EXPECT_EQ(target.x, c.x) << c.what;
        EXPECT_EQ(target.y, c.y) << c.what;
    }
}

TEST_F(AssignValueTest, VectorRule) {
    const std::string notCollection =
        "Couldn't assign value to '<value>' of type vector because the input not a collection.";
    struct Case {
        const char* what;
        BindingProperty input;
        std::string error;
        std::vector<std::int32_t> expected;
    };
    const Case cases[] = {
        {"elements in order", ListOf({Of(1), Of("2"), Of(3.5)}), "", {1, 2, 3}},
        {"Empty element keeps its default", ListOf({Of(1), {}, Of(3)}), "", {1, 0, 3}},
        {"empty collection", ListOf({}), "", {}},
        {"failure keeps later defaults", ListOf({Of(1), Of("x"), Of(3)}), BadFormat("x", "int32"), {1, 0, 0}},
        {"Empty input", {}, notCollection, {}},
        {"structure input", Record({}), notCollection, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::int32_t> target{7, 7, 7, 7};
        BindingResult result;
        assignValue(result, target, c.input, "<value>");
        EXPECT_EQ(result.error(), c.error) << c.what;
        EXPECT_EQ(target, c.expected) << c.what;
    }
    std::vector<bool> flags{true};
    BindingResult result;
    assignValue(result, flags, BindingProperty(), "<value>");
    EXPECT_EQ(result.error(), kRequired);
    EXPECT_TRUE(flags.empty());
}

TEST_F(AssignValueTest, MapRule) {
    const std::string notStructure =
        "Couldn't assign value to '<value>' of type map because the input not a structure.";
    std::unordered_map<std::string, double> target{{"old", 1.0}};
    BindingResult result;
    assignValue(result, target, Record({{"a", Of(1.5)}, {"b", {}}, {"c", Of("2")}}), "<value>");
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(target, (std::unordered_map<std::string, double>{{"a", 1.5}, {"c", 2.0}}));
    for (const BindingProperty& input : {ListOf({Of(1.0)}), BindingProperty()}) {
        BindingResult failed;
        assignValue(failed, target, input, "<value>");
        EXPECT_EQ(failed.error(), notStructure);
        EXPECT_TRUE(target.empty());
    }
}

TEST_F(AssignValueTest, AlreadyFailedResultZeroesScalarsClearsContainersAndTakesNoValue) {
    for (K kind : {K::Bool, K::Int8, K::UInt16, K::Int32, K::UInt64, K::Float, K::Double, K::String, K::Blob, K::Object,
                   K::Enum}) {
        EXPECT_EQ(Assign(kind, Of("4"), "first"), "first") << BindingTypeKindName(kind);
    }
    BindingResult result;
    result.setError("first");
    std::vector<std::int32_t> numbers{1};
    std::unordered_map<std::string, double> weights{{"a", 1}};
    Point point{1, 2};
    assignValue(result, numbers, ListOf({Of(1)}), "v");
    assignValue(result, weights, Record({{"a", Of(1)}}), "m");
    assignStruct(result, point, Record({{"x", Of(5)}}), registry_, "p");
    toValue(result, 5);
    structToValue(result, &point, registry_.findType("Point"));
    EXPECT_EQ(result.error(), "first");
    EXPECT_TRUE(numbers.empty());
    EXPECT_TRUE(weights.empty());
    EXPECT_EQ(point.x, 1);
}

// Field names whose lengths and first and last bytes collide; the names of a
// length differ only in their next-to-last byte, which only a whole comparison reaches.
struct Lookalikes {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Lookalikes"};
    std::int32_t values[10] = {};
};

TEST_F(AssignValueTest, FindsMembersWithLookalikeNamesInSmallAndLargeInputs) {
    std::vector<std::string> names{"a", "aba"};
    for (const std::size_t length : {6u, 8u, 10u, 20u}) {
        for (const char differing : {'x', 'y'})
            names.push_back(std::string("abcdefghijklmnopqr", length - 2) + differing + 'a');
    }
    BindingTypeBuilder builder = registry_.registerType<Lookalikes>("Lookalikes").untyped();
    for (std::uint32_t i = 0; i < names.size(); ++i) {
        builder.addField(names[i], "", i * 4, StaticTypeOf<std::int32_t>(), {K::Int32}, {}, 0,
                         MakeNativeFieldConverter<std::int32_t>());
    }
    for (int padding : {0, 40}) {
        BindingProperty input;
        for (std::size_t i = 0; i < names.size(); ++i) input.member(names[i]) = static_cast<int>(i) + 1;
        for (int i = 0; i < padding; ++i) input.member("pad" + std::to_string(i)) = -1;
        Lookalikes target;
        BindingResult result;
        assignStruct(result, target, input, registry_, "<value>");
        ASSERT_TRUE(result.ok()) << result.error();
        for (std::size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(target.values[i], static_cast<int>(i) + 1) << names[i] << " padding " << padding;
    }
}

TEST_F(AssignValueTest, ElementTypeRegisteredAfterTheFieldIsUnregistered) {
    registry_.registerType<Holder>("Holder").addField("items", &Holder::items);
    registry_.registerType<Late>("Late").addField("v", &Late::v);
    Holder target;
    BindingResult result;
    assignStruct(result, target, Record({{"items", ListOf({Record({{"v", Of(1)}})})}}), registry_, "<value>");
    EXPECT_EQ(result.error(),
              "Couldn't assign value to 'items' because the input is an unregistered structure or not a structure at "
              "all.");
}

}  // namespace
}  // namespace Norv
