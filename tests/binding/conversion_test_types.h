// Native types that use every field kind the conversions know, registered the
// way the runtime registers its own types. Shared by the conversion tests and
// the conversion fuzzer.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/builtin_types.h"
#include "binding/static_type.h"

namespace Norv::ConversionTest {

enum class Shade : std::int8_t { Dark = -1, None = 0, Light = 1 };
enum class Level : std::int64_t { Low = 0, High = 2 };

}  // namespace Norv::ConversionTest

namespace Norv {
template <>
struct StaticTypeText<ConversionTest::Shade> {
    static constexpr FixedText value{"enum Norv::ConversionTest::Shade"};
};
template <>
struct StaticTypeText<ConversionTest::Level> {
    static constexpr FixedText value{"enum Norv::ConversionTest::Level"};
};
}  // namespace Norv

namespace Norv::ConversionTest {

struct Point {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Point"};
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct Everything {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Everything"};
    bool flag = false;
    std::int8_t i8 = 0;
    std::uint8_t u8 = 0;
    std::int16_t i16 = 0;
    std::uint16_t u16 = 0;
    std::int32_t i32 = 0;
    std::uint32_t u32 = 0;
    std::int64_t i64 = 0;
    std::uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    BindingProperty object;
    BindingBlob blob;
    Shade shade = Shade::None;
    Level level = Level::Low;
    BindingAsyncState state = BindingAsyncState::None;
    Point origin;
    std::vector<std::int32_t> numbers;
    std::vector<bool> flags;
    std::vector<std::string> words;
    std::vector<Point> points;
    std::vector<Shade> shades;
    std::unordered_map<std::string, double> weights;
    std::unordered_map<std::string, Point> places;
    std::int32_t optionalCount = 0;   // optional: left out when 0
    std::string optionalNote;         // optional
    std::vector<Point> optionalPath;  // optional
};

// Every field away from its default, extremes where a field has them; the
// optional count stays 0, so that conversions leave it out.
inline Everything FilledEverything() {
    Everything source;
    source.flag = true;
    source.i8 = -128;
    source.u8 = 255;
    source.i16 = -32768;
    source.u16 = 65535;
    source.i32 = INT32_MIN;
    source.u32 = UINT32_MAX;
    source.i64 = INT64_MIN;
    source.u64 = UINT64_MAX;
    source.f32 = 0.1f;
    source.f64 = -1e300;
    source.text = "h\xC3\xA9llo";
    source.object.member("deep").append() = "inner";
    source.blob = {0, 255, 10};
    source.shade = Shade::Dark;
    source.level = Level::High;
    source.state = BindingAsyncState::Cancelling;
    source.origin = {-1, 1};
    source.numbers = {1, -2, 3};
    source.flags = {false, true};
    source.words = {"", "w"};
    source.points = {{1, 2}, {3, 4}};
    source.shades = {Shade::Light, Shade::None};
    source.weights = {{"b", 0.25}, {"a", -4.0}};
    source.places = {{"home", {7, 8}}};
    source.optionalNote = "kept";
    return source;
}

// A structure whose element and member type are registered after it, so
// that its fields find no descriptor. Not registered by default.
struct Late {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Late"};
    std::int32_t v = 0;
};
struct Holder {
    static constexpr FixedText kStaticTypeText{"struct Norv::ConversionTest::Holder"};
    std::int32_t first = 1;
    Late late;
    std::vector<Late> items;
};

// Registers Shade, Level, Point and Everything, leaves first; the builtin
// types come from the registry itself.
inline void RegisterConversionTypes(BindingRegistry& registry) {
    registry.registerBuiltins();
    registry.registerType<Shade>("Shade")
        .addEnumValue("Dark", Shade::Dark)
        .addEnumValue("None", Shade::None)
        .addEnumValue("Light", Shade::Light);
    registry.registerType<Level>("Level").addEnumValue("Low", Level::Low).addEnumValue("High", Level::High);
    registry.registerType<Point>("Point")
        .addField("x", &Point::x, "Abscissa", kBindingFieldRequired)
        .addField("y", &Point::y, "Ordinate");
    registry.registerType<Everything>("Everything")
        .addField("flag", &Everything::flag)
        .addField("i8", &Everything::i8)
        .addField("u8", &Everything::u8)
        .addField("i16", &Everything::i16)
        .addField("u16", &Everything::u16)
        .addField("i32", &Everything::i32)
        .addField("u32", &Everything::u32)
        .addField("i64", &Everything::i64)
        .addField("u64", &Everything::u64)
        .addField("f32", &Everything::f32)
        .addField("f64", &Everything::f64)
        .addField("text", &Everything::text)
        .addField("object", &Everything::object)
        .addField("blob", &Everything::blob)
        .addField("shade", &Everything::shade)
        .addField("level", &Everything::level)
        .addField("state", &Everything::state)
        .addField("origin", &Everything::origin)
        .addField("numbers", &Everything::numbers)
        .addField("flags", &Everything::flags)
        .addField("words", &Everything::words)
        .addField("points", &Everything::points)
        .addField("shades", &Everything::shades)
        .addField("weights", &Everything::weights)
        .addField("places", &Everything::places)
        .addField("optionalCount", &Everything::optionalCount, "", kBindingFieldOptional)
        .addField("optionalNote", &Everything::optionalNote, "", kBindingFieldOptional)
        .addField("optionalPath", &Everything::optionalPath, "", kBindingFieldOptional);
}

}  // namespace Norv::ConversionTest
