// A plugin of the family that exposes a few functions, so that the host
// simulator can list, call and describe a plugin's API. Built from the same
// runtime as the shipping plugin and never shipped.
#include "binding/binding_type_builder.h"
#include "binding/help/api_help.h"
#include "binding/help/help_types.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "plugin/host_plugin.h"
#include "plugin/plugin_entry.h"
#include "plugin/plugin_export.h"
#include "remoting/function_registration.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace Norv::Demo {

inline constexpr const char* kSumOutOfRange = "The sum of a and b is out of range for int32.";

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
        RegisterFunction(registry, add, [](std::int32_t a, std::int32_t b) {
            // Both come from the request: a sum beyond int32 must be an error, not a wrapped number.
            const std::int64_t sum = std::int64_t{a} + b;
            if (sum < std::numeric_limits<std::int32_t>::min() || sum > std::numeric_limits<std::int32_t>::max())
                throw std::out_of_range(kSumOutOfRange);
            return static_cast<std::int32_t>(sum);
        });

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

        // A function that waits for the host: called on any thread, it registers
        // a service-proxy request that the host answers later with an event.
        FunctionDeclaration ask{"Ask", "/demo/v1/ask/{key}", kMethodPost, {{"key", kLocationPath}}};
        ask.description = "Waits for the service-proxy answer under key and logs it when it comes.";
        RegisterFunction(registry, ask, [this](const std::string& key) {
            Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: waiting for %s", key.c_str());
            AddPendingRequest(key, [](const Client::PluginServiceProxyResponse& answer) {
                Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: %s answered \"%s\"", answer.uuid.c_str(),
                    answer.payload.c_str());
            });
            return key;
        });

        FunctionDeclaration help{"Help", "/demo/v1/help", kMethodGet, {{"format", kLocationQuery, true}}};
        help.description = "Describes this plugin's functions, types and events.";
        RegisterFunction(registry, help, [&registry](BindingHelpFormat format) {
            return BuildApiHelp(registry, format == BindingHelpFormat::Epytext ? format : BindingHelpFormat::Full)
                .value;
        });
    }

    // Waits for service-proxy answers and async messages, so that a host can
    // show each way they meet: the answer to "demo-1" asks for "demo-2", whose
    // answer may already be there; "chat.send" waits for a method answer;
    // "chat.message" has an async handler, other async keys have none.
    bool Initialize() override {
        using Client::PluginServiceProxyResponse;
        AddPendingRequest("demo-1", [this](const PluginServiceProxyResponse& answer) {
            Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: demo-1 answered \"%s\"; now waiting for demo-2",
                answer.payload.c_str());
            AddPendingRequest("demo-2", [](const PluginServiceProxyResponse& later) {
                Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: demo-2 answered \"%s\"", later.payload.c_str());
            });
        });
        AddPendingRequest("chat.send", [](const PluginServiceProxyResponse& answer) {
            Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: chat.send answered with status \"%s\"",
                answer.status.c_str());
        });
        SetAsyncHandler("chat.message", [](const PluginServiceProxyResponse& message) {
            Log(kLogLevelAlways, kLogGroupDbg, "norv-demo: chat.message says \"%s\"", message.payload.c_str());
        });
        return true;
    }
};

HostPlugin* CreateDemoPlugin() {
    return new DemoPlugin;
}

}  // namespace Norv::Demo

extern "C" NORV_EXPORT void* load_vek_norv_messaging_service(PluginLoadRecord* record) {
    return Norv::LoadPlugin(record, &Norv::Demo::CreateDemoPlugin, "norv-demo");
}
