#include "binding/to_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "binding/assign_value.h"
#include "binding/help/builtin_types.h"
#include "conversion_test_types.h"

namespace Norv {
namespace {

using namespace ConversionTest;
using Kind = BindingValueKind;

std::vector<std::string> MemberNames(const BindingProperty& value) {
    std::vector<std::string> names;
    for (const BindingMember member : value.members()) names.emplace_back(member.name);
    return names;
}

class ToValueTest : public ::testing::Test {
protected:
    ToValueTest() { RegisterConversionTypes(registry_); }

    BindingProperty Convert(const Everything& source) {
        BindingResult result;
        structToValue(result, &source, registry_.findType("Everything"));
        EXPECT_TRUE(result.ok()) << result.error();
        return std::move(result.value);
    }

    BindingRegistry registry_;
};

// The NUL-inside rows of the value assignment table keep a std::string's bytes.
TEST_F(ToValueTest, CStringsAreTexts) {
    BindingResult text;
    toValue(text, "text");
    EXPECT_EQ(text.value.getString(), "text");
}

TEST_F(ToValueTest, StructureMembersComeInByteOrderOfTheirNames) {
    const BindingProperty value = Convert(FilledEverything());
    const std::vector<std::string> names = MemberNames(value);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    // Every field that is not optional is there; of the optional ones only the note, not at zero.
    EXPECT_EQ(names.size(), 26u);
    EXPECT_EQ(value.get("optionalNote").getString(), "kept");
    // Scalars keep their sign and width.
    EXPECT_TRUE(value.get("flag").getBool());
    EXPECT_EQ(value.get("i8").getSigned(), -128);
    EXPECT_EQ(value.get("u8").getUnsigned(), 255u);
    EXPECT_EQ(value.get("i64").getSigned(), INT64_MIN);
    EXPECT_EQ(value.get("u64").getUnsigned(), UINT64_MAX);
    EXPECT_EQ(value.get("f32").getFloat(), static_cast<double>(0.1f));
    EXPECT_EQ(value.get("text").getString(), "h\xC3\xA9llo");
    EXPECT_EQ(value.get("blob").getBlob(), (BindingBlob{0, 255, 10}));
    EXPECT_EQ(value.get("object").get("deep").at(0).getString(), "inner");

    const BindingEnum shade = value.get("shade").getEnum();
    EXPECT_EQ(shade.value, -1);  // a 1-byte enumeration is sign-extended
    EXPECT_EQ(shade.type, &StaticType::Identity<Shade>());
    EXPECT_EQ(value.get("level").getEnum().value, 2);
    EXPECT_EQ(value.get("state").getEnum().type, &StaticType::Identity<BindingAsyncState>());

    EXPECT_EQ(value.get("origin").get("y").getSigned(), 1);
    EXPECT_EQ(value.get("numbers").at(1).getSigned(), -2);
    EXPECT_EQ(value.get("points").at(0).get("x").getSigned(), 1);
    EXPECT_EQ(value.get("shades").at(0).getEnum().value, 1);
    EXPECT_EQ(MemberNames(value.get("weights")), (std::vector<std::string>{"a", "b"}));
}

struct Empty {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Empty"};
};
enum class Tone : std::uint8_t { Low = 1, High = 200 };
enum class Pitch : std::uint16_t { Top = 60000 };
struct Tuned {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Tuned"};
    Tone tone = Tone::High;
    Pitch pitch = Pitch::Top;
    Shade shade = Shade::Dark;
    std::vector<Tone> tones{Tone::High};
};

}  // namespace
template <>
struct StaticTypeText<Tone> {
    static constexpr FixedText value{"enum Norv::ConversionTest::Tone"};
};
template <>
struct StaticTypeText<Pitch> {
    static constexpr FixedText value{"enum Norv::ConversionTest::Pitch"};
};
namespace {

// Enumerators above the signed range of a narrow unsigned enumeration read the
// same in a field as in a vector element, and assigning them back keeps them.
TEST_F(ToValueTest, NarrowUnsignedEnumerationsReadAsRegisteredAndRoundTrip) {
    registry_.registerType<Tone>("Tone").addEnumValue("Low", Tone::Low).addEnumValue("High", Tone::High);
    registry_.registerType<Pitch>("Pitch").addEnumValue("Top", Pitch::Top);
    registry_.registerType<Tuned>("Tuned")
        .addField("pitch", &Tuned::pitch)  // before tone, which a too wide store would spill into
        .addField("tone", &Tuned::tone)
        .addField("shade", &Tuned::shade)
        .addField("tones", &Tuned::tones);
    const BindingTypeDescriptor* descriptor = registry_.findType("Tuned");
    const Tuned source;
    BindingResult result;
    structToValue(result, &source, descriptor);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result.value.get("tone").getEnum().value, 200);
    EXPECT_EQ(result.value.get("tones").at(0).getEnum().value, 200);
    EXPECT_EQ(result.value.get("pitch").getEnum().value, 60000);
    EXPECT_EQ(result.value.get("shade").getEnum().value, -1);  // signed ones stay sign-extended
    BindingResult direct;                                      // by the descriptor alone, without a field's converter
    toValue(direct, &source.tone, {BindingTypeKind::Enum, BindingTypeKind::None, registry_.findType("Tone")});
    EXPECT_EQ(direct.value.getEnum().value, 200);

    Tuned back;
    back.tone = Tone::Low;
    back.pitch = static_cast<Pitch>(0);
    back.shade = Shade::None;
    back.tones.clear();
    BindingResult assigned;
    assignStruct(assigned, &back, result.value, descriptor, "tuned");
    ASSERT_TRUE(assigned.ok()) << assigned.error();
    EXPECT_EQ(back.tone, Tone::High);
    EXPECT_EQ(back.pitch, Pitch::Top);
    EXPECT_EQ(back.shade, Shade::Dark);
    EXPECT_EQ(back.tones, std::vector<Tone>{Tone::High});
}

TEST_F(ToValueTest, AStructureOrEnumerationWithoutDescriptorFailsAndYieldsNoValue) {
    registry_.registerType<Holder>("Holder").addField("first", &Holder::first).addField("late", &Holder::late);
    registry_.registerType<Late>("Late").addField("v", &Late::v);
    const Holder holder;
    const Late late;
    const Shade shade = Shade::Light;
    const std::function<void(BindingResult&)> conversions[] = {
        [&](BindingResult& result) { structToValue(result, &holder, registry_.findType("Holder")); },
        [&](BindingResult& result) { toValue(result, late); },
        [&](BindingResult& result) { toValue(result, &shade, {BindingTypeKind::Enum}); },
    };
    for (std::size_t i = 0; i < std::size(conversions); ++i) {
        BindingResult result;
        conversions[i](result);
        EXPECT_EQ(result.error(), "Couldn't convert native value because it's an unregistered structure.") << i;
        EXPECT_EQ(MemberNames(result.value), std::vector<std::string>{"error"}) << i;
    }
}

TEST_F(ToValueTest, LookupByStaticTypeReportsUnregisteredTypesWithoutAMessage) {
    BindingProperty output;
    output = "untouched";
    EXPECT_FALSE(structToValue(output, Late{}, registry_));
    EXPECT_EQ(output.getString(), "untouched");

    registry_.registerType<Empty>("Empty");  // no fields: an empty Structure
    ASSERT_TRUE(structToValue(output, Empty{}, registry_));
    EXPECT_EQ(output.kind(), Kind::Structure);
    EXPECT_EQ(output.size(), 0u);

    registry_.registerType<Holder>("Holder").addField("late", &Holder::late);
    std::string error;
    output = "untouched";
    EXPECT_FALSE(structToValue(output, Holder{}, registry_, &error));
    EXPECT_EQ(error, "Couldn't convert native value because it's an unregistered structure.");
    EXPECT_EQ(output.getString(), "untouched");
}

// The help types' conversion is pinned by the demo module's full-help transcript.
TEST_F(ToValueTest, CallbackEventsCarryArbitraryParametersBothWays) {
    BindingCallbackEvent event;
    event.id = 3;
    event.parameters.resize(3);
    event.parameters[0] = "p";
    event.parameters[2].member("k") = true;
    BindingProperty output;
    ASSERT_TRUE(structToValue(output, event, registry_));
    EXPECT_TRUE(output.get("parameters").at(1).isEmpty());

    BindingCallbackEvent back;
    BindingResult result;
    assignStruct(result, back, output, registry_, "<value>");
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(back.id, 3u);
    ASSERT_EQ(back.parameters.size(), 3u);
    EXPECT_EQ(back.parameters[0].getString(), "p");
    EXPECT_TRUE(back.parameters[2].get("k").getBool());
}

}  // namespace
}  // namespace Norv
