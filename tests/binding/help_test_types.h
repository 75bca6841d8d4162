// Types the help tests describe: a structure and an enumeration to name in
// nested containers, and the shape of the host's resource event with the
// enumeration it holds, registered as the host types are.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/static_type.h"

namespace Norv::HelpTest {

enum class Color : std::int32_t { Red = 1, Green = 2 };
enum class ResourceEventType : std::int32_t { Create = 0, Update = 1, Delete = 2 };

}  // namespace Norv::HelpTest

namespace Norv {
template <>
struct StaticTypeText<HelpTest::Color> {
    static constexpr FixedText value{"enum Norv::HelpTest::Color"};
};
template <>
struct StaticTypeText<HelpTest::ResourceEventType> {
    static constexpr FixedText value{"enum Norv::HelpTest::ResourceEventType"};
};
}  // namespace Norv

namespace Norv::HelpTest {

struct Foo {
    static constexpr FixedText kStaticTypeText{"struct Norv::HelpTest::Foo"};
    std::int32_t x = 0;
};

struct Nested {
    static constexpr FixedText kStaticTypeText{"struct Norv::HelpTest::Nested"};
    std::vector<std::vector<Foo>> grid;
    std::unordered_map<std::string, std::vector<Color>> palettes;
};

struct ResourceEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::HelpTest::ResourceEvent"};
    std::string uri;
    ResourceEventType eventType = ResourceEventType::Create;
    BindingProperty data;
};

// Leaves first, so every field finds its element's descriptor.
inline void RegisterHelpTestTypes(BindingRegistry& registry) {
    registry.registerType<Color>("Color").addEnumValue("Red", Color::Red).addEnumValue("Green", Color::Green);
    registry.registerType<Foo>("Foo").addField("x", &Foo::x);
    registry.registerType<Nested>("Nested").addField("grid", &Nested::grid).addField("palettes", &Nested::palettes);
}

// Same names, members, tags and event as the host's own resource event.
inline void RegisterResourceEventTypes(BindingRegistry& registry) {
    registry.registerType<ResourceEventType>("PluginResourceEventType")
        .addTag("nclient")
        .addEnumValue("Create", ResourceEventType::Create)
        .addEnumValue("Update", ResourceEventType::Update)
        .addEnumValue("Delete", ResourceEventType::Delete);
    registry.registerType<ResourceEvent>("PluginResourceEvent")
        .addTag("nclient")
        .addField("uri", &ResourceEvent::uri)
        .addField("eventType", &ResourceEvent::eventType)
        .addField("data", &ResourceEvent::data);
    registry.registerEvent<ResourceEvent>("OnJsonApiEvent")
        .description("Fired when a resource is changed.")
        .addTag("nclient");
}

}  // namespace Norv::HelpTest
