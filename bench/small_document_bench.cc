// The payloads the plugin reads most: a login session (about 250 bytes), a
// service answer with a nested list (about 2 KiB) and a function's arguments
// (about 600 bytes), against RapidJSON's Document::Parse, msgpack-c's unpack
// and libyaml's bare event loop; and the event path, a host value record
// converted to its native struct, against nlohmann's get<T>. Each case also
// reports the heap allocations one run makes, counted by the runtime's own
// allocation counters (RapidJSON, msgpack-c and libyaml allocate through
// malloc directly, which these do not see).
#define MSGPACK_NO_BOOST
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <msgpack.hpp>
#include <new>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/libyaml_events.h"
#include "bench/tree_steps.h"
#include "binding/assign_value.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_library.h"
#include "formats/yaml_reader.h"

// While `gCounting` is set, operator new and delete go through the runtime's
// counting allocator, as they do inside the shipping module; otherwise they are
// plain malloc and free, so the timed loops pay for no counting.
namespace {
bool gCounting = false;
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
    void* block = gCounting ? Norv::Memory::Allocate(size) : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}
[[gnu::noinline]] void* operator new[](std::size_t size) {
    return operator new(size);
}
[[gnu::noinline]] void operator delete(void* block) noexcept {
    if (gCounting) {
        Norv::Memory::Release(block);
    } else {
        std::free(block);
    }
}
[[gnu::noinline]] void operator delete[](void* block) noexcept {
    operator delete(block);
}
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace Bench {

using Norv::Bench::BuildTree;
using Norv::Bench::ListTreeSteps;
using Norv::Bench::TreeStep;

struct Session {
    static constexpr Norv::FixedText kStaticTypeText{"struct Bench::Session"};
    std::string sessionId;
    std::uint64_t userId = 0;
    std::string userName;
    std::string displayName;
    std::string email;
    bool loggedIn = false;
    std::int64_t expires = 0;
    std::vector<std::string> roles;
    std::string locale;
};

void from_json(const nlohmann::json& j, Session& v) {
    j.at("sessionId").get_to(v.sessionId);
    j.at("userId").get_to(v.userId);
    j.at("userName").get_to(v.userName);
    j.at("displayName").get_to(v.displayName);
    j.at("email").get_to(v.email);
    j.at("loggedIn").get_to(v.loggedIn);
    j.at("expires").get_to(v.expires);
    j.at("roles").get_to(v.roles);
    j.at("locale").get_to(v.locale);
}

nlohmann::json SessionDocument() {
    return {{"sessionId", "5f2b8c1e-9a47-4d3b-b6e0-2c7d1f8a9e34"},
            {"userId", 184467},
            {"userName", "alex.morgan"},
            {"displayName", "Alex Morgan"},
            {"email", "alex.morgan@example.com"},
            {"loggedIn", true},
            {"expires", 1767225600},
            {"roles", {"user", "editor", "reviewer"}},
            {"locale", "en-GB"}};
}

nlohmann::json ServiceAnswerDocument() {
    nlohmann::json items = nlohmann::json::array();
    for (int i = 0; i < 20; ++i) {
        items.push_back({{"id", 1000 + i},
                         {"name", "Item number " + std::to_string(i)},
                         {"price", 9.99 + i},
                         {"available", i % 3 != 0},
                         {"tags", {"tag" + std::to_string(i % 4), "stock"}}});
    }
    return {{"status", "ok"},
            {"requestId", "req-7d41c2a9"},
            {"items", items},
            {"page", {{"index", 1}, {"size", 20}, {"total", 57}}}};
}

nlohmann::json FunctionArgumentsDocument() {
    return {{"function", "sendMessage"},
            {"arguments",
             {{"channel", "team-announcements"},
              {"text",
               "The build of tonight is green again; the release notes are attached below for review. "
               "Please read them before the meeting."},
              {"priority", 2},
              {"silent", false},
              {"threadId", "th-20260412-0043"},
              {"replyTo", "msg-5f2b8c1e-9a47"},
              {"format", {{"markdown", true}, {"linkPreviews", false}, {"language", "en-GB"}}},
              {"retry", {{"count", 3}, {"delayMs", 250}, {"backoff", 1.5}}},
              {"mentions", {"alex.morgan", "sam.lee", "kim.ortiz"}},
              {"attachments",
               {{{"name", "release-notes.md"}, {"size", 18432}, {"type", "text/markdown"}},
                {{"name", "changes.txt"}, {"size", 2210}, {"type", "text/plain"}}}}}}};
}

struct Document {
    std::string json;
    std::vector<std::uint8_t> msgpack;
    std::string yaml;
};

// Block YAML of a flat mapping whose values are scalars or lists of scalars.
std::string ToYaml(const nlohmann::json& document) {
    std::string out;
    for (const auto& [key, value] : document.items()) {
        out += key + ":";
        if (value.is_array()) {
            out += '\n';
            for (const nlohmann::json& item : value) out += "  - " + item.dump() + '\n';
        } else {
            out += ' ' + value.dump() + '\n';
        }
    }
    return out;
}

const Document& Documents(int which) {
    static const Document documents[] = {
        {SessionDocument().dump(), nlohmann::json::to_msgpack(SessionDocument()), ToYaml(SessionDocument())},
        {ServiceAnswerDocument().dump(), nlohmann::json::to_msgpack(ServiceAnswerDocument()), {}},
        {FunctionArgumentsDocument().dump(), nlohmann::json::to_msgpack(FunctionArgumentsDocument()), {}},
    };
    return documents[which];
}

// The allocations one call of `parse` makes, reported as a counter.
template <class Parse>
void CountAllocations(benchmark::State& state, Parse parse) {
    gCounting = true;
    const std::uint64_t before = Norv::CurrentAllocationStatistics().Allocations();
    parse();
    state.counters["allocs"] = static_cast<double>(Norv::CurrentAllocationStatistics().Allocations() - before);
    gCounting = false;
}

template <class Parse>
void Run(benchmark::State& state, std::size_t bytes, Parse parse) {
    CountAllocations(state, parse);
    for (auto _ : state) parse();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["bytes"] = static_cast<double>(bytes);
}

void JsonNorv(benchmark::State& state, int which) {
    const std::string& text = Documents(which).json;
    Run(state, text.size(), [&] {
        Norv::BindingResult result = Norv::ParseJson(text);
        if (!result.ok()) throw std::runtime_error(std::string(result.error()));
        benchmark::DoNotOptimize(result.value.kind());
    });
}

void JsonRapidJsonDom(benchmark::State& state, int which) {
    const std::string& text = Documents(which).json;
    Run(state, text.size(), [&] {
        rapidjson::Document document;
        document.Parse(text.c_str());
        benchmark::DoNotOptimize(document.GetType());
    });
}

void MsgpackNorv(benchmark::State& state, int which) {
    const std::vector<std::uint8_t>& bytes = Documents(which).msgpack;
    Run(state, bytes.size(), [&] {
        std::size_t position = 0;
        Norv::BindingResult result = Norv::ParseMessagePack(bytes.data(), bytes.size(), position);
        if (!result.ok() || position != bytes.size()) throw std::runtime_error("unexpected MessagePack result");
        benchmark::DoNotOptimize(result.value.kind());
    });
}

void MsgpackMsgpackC(benchmark::State& state, int which) {
    const std::vector<std::uint8_t>& bytes = Documents(which).msgpack;
    Run(state, bytes.size(), [&] {
        msgpack::object_handle handle = msgpack::unpack(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        benchmark::DoNotOptimize(handle.get().type);
    });
}

void YamlNorv(benchmark::State& state, int which) {
    if (Norv::LoadYamlLibrary() == nullptr) return state.SkipWithError("libyaml is not present");
    const std::string& text = Documents(which).yaml;
    Run(state, text.size(), [&] {
        Norv::BindingResult result = Norv::ParseYaml(text);
        if (!result.ok()) throw std::runtime_error(std::string(result.error()));
        benchmark::DoNotOptimize(result.value.kind());
    });
}

void YamlLibyamlEvents(benchmark::State& state, int which) {
    if (Norv::LoadYamlLibrary() == nullptr) return state.SkipWithError("libyaml is not present");
    const std::string& text = Documents(which).yaml;
    Run(state, text.size(), [&] { benchmark::DoNotOptimize(Norv::Bench::ReadLibyamlEvents(text)); });
}

void TreeOnly(benchmark::State& state, int which) {
    static const nlohmann::json sources[] = {SessionDocument(), ServiceAnswerDocument(), FunctionArgumentsDocument()};
    const std::vector<TreeStep> steps = ListTreeSteps(sources[which]);
    Run(state, Documents(which).json.size(), [&] {
        Norv::BindingProperty root;
        BuildTree(steps, root);
        benchmark::DoNotOptimize(root.kind());
    });
}

// The event path: the host's record of the session read into a value, then
// converted to the native struct.
void EventNorv(benchmark::State& state) {
    static Norv::BindingRegistry registry;
    static const Norv::BindingTypeDescriptor* const type = [] {
        registry.registerType<Session>("Session")
            .addField("sessionId", &Session::sessionId)
            .addField("userId", &Session::userId)
            .addField("userName", &Session::userName)
            .addField("displayName", &Session::displayName)
            .addField("email", &Session::email)
            .addField("loggedIn", &Session::loggedIn)
            .addField("expires", &Session::expires)
            .addField("roles", &Session::roles)
            .addField("locale", &Session::locale);
        return registry.findType("Session");
    }();
    Norv::HostValue record{};
    Norv::writeHostValue(record, Norv::ParseJson(Documents(0).json).value);
    Run(state, Documents(0).json.size(), [&] {
        Norv::HostResult failure{};
        Norv::BindingResult value;
        if (!Norv::readHostValue(failure, value.value, record, "session")) throw std::runtime_error("unreadable");
        Session session;
        Norv::BindingResult result;
        Norv::assignStruct(result, &session, value.value, type, "session");
        if (!result.ok()) throw std::runtime_error(std::string(result.error()));
        benchmark::DoNotOptimize(session);
    });
    Norv::resetHostValue(record);
}

void EventNlohmann(benchmark::State& state) {
    const nlohmann::json source = SessionDocument();
    Run(state, Documents(0).json.size(), [&] {
        nlohmann::json value = source;
        Session session = value.get<Session>();
        benchmark::DoNotOptimize(session);
    });
}

#define NORV_SMALL_BENCH(Case, index)                                                           \
    BENCHMARK_CAPTURE(JsonNorv, index, index)->Name("BM_" #Case "Json/Norv");                   \
    BENCHMARK_CAPTURE(JsonRapidJsonDom, index, index)->Name("BM_" #Case "Json/RapidJsonDom");   \
    BENCHMARK_CAPTURE(MsgpackNorv, index, index)->Name("BM_" #Case "MessagePack/Norv");         \
    BENCHMARK_CAPTURE(MsgpackMsgpackC, index, index)->Name("BM_" #Case "MessagePack/MsgpackC"); \
    BENCHMARK_CAPTURE(TreeOnly, index, index)->Name("BM_" #Case "Json/TreeOnly");               \
    BENCHMARK_CAPTURE(TreeOnly, index, index)->Name("BM_" #Case "MessagePack/TreeOnly");

NORV_SMALL_BENCH(Session, 0)
NORV_SMALL_BENCH(ServiceAnswer, 1)
NORV_SMALL_BENCH(FunctionArguments, 2)
BENCHMARK_CAPTURE(YamlNorv, 0, 0)->Name("BM_SessionYaml/Norv");
BENCHMARK_CAPTURE(YamlLibyamlEvents, 0, 0)->Name("BM_SessionYaml/LibyamlEvents");
BENCHMARK(EventNorv)->Name("BM_SessionEvent/Norv");
BENCHMARK(EventNlohmann)->Name("BM_SessionEvent/Nlohmann");

}  // namespace Bench

BENCHMARK_MAIN();
