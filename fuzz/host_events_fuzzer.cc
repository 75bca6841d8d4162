// Plays a host against a plugin with a script of operations read from the
// input: subscriptions, watches (whose handlers may change the tables or shut
// the plugin down while they run), and event records whose payloads are host
// value trees with fuzzed tags and counts. Checks that no subscription count
// goes below zero and that the host's subscriptions balance after unload.
#include "binding/host_value.h"
#include "plugin/host_plugin.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Norv::BindingProperty;

const char* const kPaths[] = {"/vek-login/v1/session",
                              "/vek-login/v1/session/x",
                              "/a/*/c",
                              "/a/b/c",
                              "a/b/c",
                              "/vek-platform-config/v1/n/a/b/c",
                              "/*",
                              "/x"};
constexpr std::size_t kPathCount = sizeof kPaths / sizeof kPaths[0];

struct Host {
    HostFunctionTable table{};
    std::map<std::string, int> subscribed;
    std::map<std::string, std::pair<HostEventCallback, void*>> callbacks;
};

Host& HostOf(HostFunctionTable* table) {
    return *reinterpret_cast<Host*>(table);
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool done() const { return position_ >= size_; }
    std::uint8_t byte() { return done() ? 0 : data_[position_++]; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// A host-built payload: tags and counts from the input, arrays that hold at
// most what they claim, null pointers with non-zero counts included.
struct PayloadBuilder {
    std::vector<std::vector<HostValue>> values;
    std::vector<std::vector<HostValueMember>> members;
    // Owned one by one: a short text lives inside its string object.
    std::vector<std::unique_ptr<std::string>> texts;

    HostValue Build(Reader& in, int depth) {
        HostValue value{};
        std::uint8_t tag = in.byte();
        value.tag = tag % 12;
        switch (value.tag) {
            case HOST_VALUE_STRING:
            case HOST_VALUE_BLOB: {
                auto text = std::make_unique<std::string>(in.byte() % 8, 'k');
                value.payload.string.text = in.byte() % 5 == 0 ? nullptr : text->c_str();
                value.payload.string.length = static_cast<std::uint32_t>(text->size());
                texts.push_back(std::move(text));
                break;
            }
            case HOST_VALUE_COLLECTION: {
                std::uint8_t count = depth > 4 ? 0 : in.byte() % 4;
                std::vector<HostValue> items;
                for (int i = 0; i < count; ++i) items.push_back(Build(in, depth + 1));
                // Moving keeps the elements where they are when the outer list grows.
                values.push_back(std::move(items));
                value.payload.collection.items = in.byte() % 5 == 0 ? nullptr : values.back().data();
                value.payload.collection.count = count;
                break;
            }
            case HOST_VALUE_STRUCTURE: {
                std::uint8_t count = depth > 4 ? 0 : in.byte() % 4;
                std::vector<HostValueMember> built;
                for (int i = 0; i < count; ++i) {
                    HostValueMember member{};
                    static const char* const kKeys[] = {"uri", "eventType", "data", "state", "idToken", nullptr};
                    member.key = kKeys[in.byte() % 6];
                    member.value = Build(in, depth + 1);
                    built.push_back(member);
                }
                members.push_back(std::move(built));
                value.payload.structure.members = in.byte() % 5 == 0 ? nullptr : members.back().data();
                value.payload.structure.count = count;
                break;
            }
            case HOST_VALUE_OWNED_STRING:
            case HOST_VALUE_OWNED_BLOB:
                // Owned records are the plugin's to release; a host never hands it one.
                value.tag = HOST_VALUE_EMPTY;
                break;
            default:
                value.payload.unsignedNumber = in.byte();
                break;
        }
        return value;
    }
};

class FuzzPlugin : public Norv::HostPlugin {
public:
    using HostPlugin::subscriptionCounts_;
};

void CheckCounts(FuzzPlugin& plugin) {
    for (const auto& entry : plugin.subscriptionCounts_) {
        if (entry.second < 0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader in(data, size);
    Host host;
    host.table.SubscribeEvent = [](HostFunctionTable* self, const char* name, std::uint32_t, HostEventCallback callback,
                                   void* context, std::uint32_t) -> std::uint32_t {
        HostOf(self).subscribed[name]++;
        HostOf(self).callbacks[name] = {callback, context};
        return 1;
    };
    host.table.UnsubscribeEvent = [](HostFunctionTable* self, const char* name, std::uint32_t) -> std::uint32_t {
        HostOf(self).subscribed[name]--;
        return 1;
    };
    HostInterface interface { &host.table, 7 };
    PluginLoadRecord record{};
    record.major = 18;
    auto* plugin = new FuzzPlugin;
    plugin->Handshake(record, "fuzz");
    PluginCallbacks callbacks = plugin->Callbacks();
    callbacks.init(plugin, &interface);
    bool unloaded = false;

    while (!in.done() && !unloaded) {
        std::uint8_t op = in.byte();
        const std::string path = kPaths[in.byte() % kPathCount];
        switch (op % 6) {
            case 0:
                plugin->Subscribe(path);
                break;
            case 1:
                plugin->Unsubscribe(path);
                break;
            case 2: {
                std::uint8_t nested = in.byte();
                const std::string other = kPaths[nested % kPathCount];
                plugin->WatchResource<BindingProperty>(
                    path, [plugin, other, nested, &unloaded, &callbacks](const Norv::ResourceEvent<BindingProperty>&) {
                        switch (nested % 5) {
                            case 0:
                                plugin->UnwatchResource(other);
                                break;
                            case 1:
                                plugin->WatchResource<BindingProperty>(other, [](const auto&) {});
                                break;
                            case 2:
                                plugin->Unsubscribe(other);
                                break;
                            case 3:
                                if (!unloaded) {
                                    unloaded = true;
                                    callbacks.unload(plugin);
                                }
                                break;
                            default:
                                break;
                        }
                    });
                break;
            }
            case 3:
                plugin->UnwatchResource(path);
                break;
            default: {
                if (host.callbacks.empty()) break;
                auto target = host.callbacks.begin();
                std::advance(target, in.byte() % host.callbacks.size());
                PayloadBuilder builder;
                HostEventRecord event{};
                event.eventName = target->first.c_str();
                event.context = target->second.second;
                if (op % 6 == 4) {
                    event.payload = builder.Build(in, 0);
                } else {
                    BindingProperty payload;
                    payload.member("uri") = path;
                    payload.member("eventType") = static_cast<std::int32_t>(in.byte() % 4);
                    Norv::writeHostValue(event.payload, payload);
                }
                target->second.first(&event);
                if (op % 6 != 4) Norv::resetHostValue(event.payload);
                break;
            }
        }
        if (!unloaded) CheckCounts(*plugin);
    }
    if (!unloaded) callbacks.unload(plugin);
    for (const auto& entry : host.subscribed) {
        if (entry.second != 0) __builtin_trap();
    }
    return 0;
}
