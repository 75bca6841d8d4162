// A plugin of the family that exposes a few functions, so that the host
// simulator can list, call and describe a plugin's API. Built from the same
// runtime as the shipping plugin and never shipped.
#include "binding/binding_type_builder.h"
#include "binding/help/api_help.h"
#include "binding/help/help_types.h"
#include "plugin/host_plugin.h"
#include "plugin/plugin_entry.h"
#include "plugin/plugin_export.h"
#include "remoting/function_registration.h"

#include <cstdint>
#include <string>

namespace Norv::Demo {

struct Point {
    static constexpr FixedText kStaticTypeText{"struct Norv::Demo::Point"};
    std::int32_t x = 0;
    std::int32_t y = 0;
};

class DemoPlugin final : public HostPlugin {
public:
    void RegisterBindings() override {
        BindingRegistry& registry = Registry();
        registry.registerType<Point>("Point")
            .description("A point on the plane.")
            .addField("x", &Point::x, "Abscissa")
            .addField("y", &Point::y, "Ordinate");

        FunctionDeclaration add{"Add", "/demo/v1/add/{a}", kMethodGet, {{"a", kLocationPath}, {"b", kLocationQuery}}};
        add.description = "Adds b to a.";
        RegisterFunction(registry, add, [](std::int32_t a, std::int32_t b) { return a + b; });

        FunctionDeclaration mirror{"Mirror", "/demo/v1/mirror", kMethodPost, {{"point", kLocationBody}}};
        mirror.description = "Swaps a point's coordinates.";
        RegisterFunction(registry, mirror, [](const Point& point) { return Point{point.y, point.x}; });

        FunctionDeclaration greet{"Greet",
                                  "/demo/v1/greet/{name}",
                                  kMethodGet,
                                  {{"name", kLocationPath}, {"greeting", kLocationHeader, true}}};
        greet.description = "Greets someone, in the words of the header \"greeting\" when there is one.";
        RegisterFunction(registry, greet, [](const std::string& name, const std::string& greeting) {
            return (greeting.empty() ? std::string("Hello") : greeting) + ", " + name + "!";
        });

        FunctionDeclaration help{"Help", "/demo/v1/help", kMethodGet, {{"format", kLocationQuery, true}}};
        help.description = "Describes this plugin's functions, types and events.";
        RegisterFunction(registry, help, [&registry](BindingHelpFormat format) {
            return BuildApiHelp(registry, format == BindingHelpFormat::Epytext ? format : BindingHelpFormat::Full)
                .value;
        });
    }
};

HostPlugin* CreateDemoPlugin() {
    return new DemoPlugin;
}

}  // namespace Norv::Demo

extern "C" NORV_EXPORT void* load_vek_norv_messaging_service(PluginLoadRecord* record) {
    return Norv::LoadPlugin(record, &Norv::Demo::CreateDemoPlugin, "norv-demo");
}
