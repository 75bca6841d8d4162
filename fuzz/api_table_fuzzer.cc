// Builds the API table for a registry the input describes (types, members,
// enumerators, events, functions with routes, tags, text lists), walks it as
// a host would, empties the registry and walks it again: every chain must end
// where its count says, and the second walk must read exactly what the first
// did, from the table's own texts (ASan catches any pointer left into the
// registry). The input is a list of operations, one byte each, followed by
// their operands; texts are short runs of input bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_registry.h"
#include "plugin/api_table.h"
#include "remoting/function_dispatcher.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint32_t word() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value = value << 8 | byte();
        return value;
    }
    // Up to 15 bytes; NULs are kept out, as C texts could not carry them.
    std::string text() {
        std::string value;
        for (std::size_t length = byte() % 16; length > 0 && !empty(); --length) {
            const char c = static_cast<char>(byte());
            value.push_back(c == '\0' ? '_' : c);
        }
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Any kind number, the invalid ones included, and maybe a registered type.
Norv::BindingTypeIdentifier Identifier(Input& input, const std::vector<Norv::BindingTypeDescriptor*>& types) {
    Norv::BindingTypeIdentifier type;
    type.kind = static_cast<Norv::BindingTypeKind>(input.byte() % 22);
    type.elementKind = static_cast<Norv::BindingTypeKind>(input.byte() % 22);
    const std::uint8_t pick = input.byte();
    if (!types.empty() && pick % 2 == 0) type.descriptor = types[pick / 2 % types.size()];
    return type;
}

std::vector<std::string> Texts(Input& input) {
    std::vector<std::string> texts(input.byte() % 4);
    for (std::string& text : texts) text = input.text();
    return texts;
}

class NoInvoker : public Norv::FunctionInvoker {
public:
    void* invoke(Norv::CallResult&, std::span<Norv::BindingProperty>, std::uint32_t) override { return nullptr; }
    void write(Norv::CallResult&, const Norv::RemotingRequest*, void*, std::uint32_t) override {}
    void destroy(void*) noexcept override {}
};

void AddFunction(Input& input, Norv::BindingRegistry& registry,
                 const std::vector<Norv::BindingTypeDescriptor*>& types) {
    auto function = std::make_unique<Norv::RoutedFunctionDescriptor>();
    function->name = input.text();
    function->nameSpace = input.text();
    function->description = input.text();
    function->help = input.text();
    function->threadSafe = input.byte() % 2 == 0;
    function->async = input.byte() % 2 == 0;
    function->returns = Identifier(input, types);
    if (input.byte() % 2 == 0) function->describedReturns = Identifier(input, types);
    function->tags = Texts(input);
    for (std::size_t count = input.byte() % 5; count > 0; --count) {
        Norv::BindingParameterDescriptor& parameter = function->parameters.emplace_back();
        parameter.name = input.text();
        parameter.description = input.text();
        parameter.type = Identifier(input, types);
        if (input.byte() % 3 == 0) parameter.describedType = Identifier(input, types);
        parameter.optional = input.byte() % 2 == 0;
        parameter.location = input.byte() % 7;
    }
    function->callback = std::make_unique<NoInvoker>();
    Norv::FunctionRoute& route = function->route;
    route.function = function.get();
    route.urlTemplate = Norv::UrlTemplate(input.text());
    route.method = static_cast<std::int8_t>(input.byte());
    route.methodName = input.text();
    route.flag = input.byte();
    for (std::size_t count = input.byte() % 3; count > 0; --count) route.textLists.push_back(Texts(input));
    registry.registerFunction(std::move(function));
}

void Fail(const char* what) {
    std::fprintf(stderr, "api table: %s\n", what);
    std::abort();
}

template <class Record>
std::vector<const Record*> Walk(const Record* first, std::uint32_t count) {
    std::vector<const Record*> records;
    for (const Record* record = first; record != nullptr; record = record->next) {
        if (records.size() == count) Fail("a chain runs past its count");
        records.push_back(record);
    }
    if (records.size() != count) Fail("a chain ends before its count");
    if ((first == nullptr) != (count == 0)) Fail("an empty array is not a null pointer");
    return records;
}

void Read(std::string& seen, const char* text) {
    if (text == nullptr) Fail("a null text");
    seen.append(text).push_back('|');
}

void ReadTexts(std::string& seen, const char* const* texts, std::uint32_t count) {
    if ((texts == nullptr) != (count == 0)) Fail("an empty text array is not a null pointer");
    for (std::uint32_t i = 0; i < count; ++i) Read(seen, texts[i]);
}

void ReadCode(std::string& seen, std::uint32_t code) {
    if (code > 19) Fail("a type code above 19");
    seen.append(std::to_string(code)).push_back(',');
}

// Everything a host reads from the table, as one text.
std::string Walk(const PluginApiTable& table) {
    std::string seen;
    for (const PluginEventRecord* event : Walk(table.events, table.eventCount)) {
        for (const char* text : {event->name, event->nameSpace, event->typeName, event->description}) Read(seen, text);
        ReadTexts(seen, event->tags, event->tagCount);
    }
    for (const PluginTypeRecord* type : Walk(table.types, table.typeCount)) {
        for (const char* text : {type->name, type->nameSpace, type->description}) Read(seen, text);
        ReadTexts(seen, type->tags, type->tagCount);
        if (type->members != nullptr && type->enumerators != nullptr) Fail("members and enumerators both set");
        for (const PluginMemberRecord* member : Walk(type->members, type->enumerators ? 0 : type->count)) {
            for (const char* text : {member->name, member->description, member->typeName}) Read(seen, text);
            ReadCode(seen, member->typeCode);
            ReadCode(seen, member->elementTypeCode);
        }
        for (const PluginEnumeratorRecord* enumerator : Walk(type->enumerators, type->members ? 0 : type->count)) {
            Read(seen, enumerator->name);
            Read(seen, enumerator->description);
        }
    }
    for (const PluginFunctionRecord* function : Walk(table.functions, table.functionCount)) {
        for (const char* text : {function->name, function->nameSpace, function->returnTypeName, function->description,
                                 function->help, function->asyncTypeName, function->urlTemplate, function->methodName})
            Read(seen, text);
        if (function->handler == nullptr || function->handlerContext == nullptr) Fail("a function without a handler");
        if (function->method > 8) Fail("a method above 8");
        ReadCode(seen, function->returnTypeCode);
        ReadTexts(seen, function->tags, function->tagCount);
        for (const PluginArgumentRecord* argument : Walk(function->arguments, function->argumentCount)) {
            for (const char* text : {argument->name, argument->description, argument->typeName}) Read(seen, text);
            ReadCode(seen, argument->typeCode);
        }
        for (const PluginParameterLocation* location : Walk(function->locations, function->argumentCount))
            seen.append(std::to_string(location->location));
        for (const PluginTextListRecord* list : Walk(function->textLists, function->textListCount))
            ReadTexts(seen, list->texts, list->count);
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    Norv::FunctionDispatcher registry;
    if (input.byte() % 2 != 0) registry.clear();
    Norv::ApiTableRecords table;
    std::vector<Norv::BindingTypeDescriptor*> types;
    std::vector<Norv::BindingTypeBuilder> builders;
    std::vector<Norv::BindingEventBuilder> events;
    for (int operations = 0; !input.empty() && operations < 200; ++operations) {
        switch (input.byte() % 8) {
            case 0: {
                const std::string name = input.text();
                Norv::BindingTypeBuilder builder = registry.registerType(name, input.word(), nullptr, input.byte() % 2);
                builder.description(input.text()).nameSpace(input.text());
                if (!builder.inactive()) {
                    types.push_back(builder.descriptor());
                    builders.push_back(builder);
                }
                break;
            }
            case 1:
                if (!builders.empty()) {
                    Norv::BindingTypeBuilder& builder = builders[input.byte() % builders.size()];
                    const std::string name = input.text();
                    const std::string description = input.text();
                    const Norv::BindingTypeIdentifier type = Identifier(input, types);
                    const Norv::BindingTypeIdentifier described =
                        input.byte() % 3 == 0 ? Identifier(input, types) : Norv::BindingTypeIdentifier{};
                    builder.addField(name, description, input.word(), nullptr, type, described, input.byte() % 4,
                                     nullptr, input.byte() % 2 == 0);
                }
                break;
            case 2:
                if (!builders.empty()) {
                    Norv::BindingTypeBuilder& builder = builders[input.byte() % builders.size()];
                    const std::string name = input.text();
                    builder.addEnumValue(name, static_cast<std::int32_t>(input.word()), input.text());
                }
                break;
            case 3:
                if (!builders.empty()) builders[input.byte() % builders.size()].addTag(input.text());
                if (!events.empty()) events[input.byte() % events.size()].addTag(input.text());
                break;
            case 4: {
                const std::string name = input.text();
                const std::uint8_t pick = input.byte();
                const Norv::BindingTypeDescriptor* payload =
                    types.empty() || pick % 3 == 0 ? nullptr : types[pick % types.size()];
                Norv::BindingEventBuilder event = registry.registerEvent(name, payload);
                event.description(input.text());
                if (!event.existed()) events.push_back(event);
                break;
            }
            case 5:
                AddFunction(input, registry, types);
                break;
            case 6:
                // A build replaced by a later one.
                table.Build(registry, &registry);
                break;
            default:
                for (const std::string& tag : Texts(input)) {
                    if (!builders.empty()) builders.front().addTag(tag);
                }
                break;
        }
    }
    const PluginApiTable& words = table.Build(registry, &registry);
    const std::string first = Walk(words);
    // The registry's texts go away; the table's must not.
    registry.clear();
    registry.registerType(std::string(64, 'x'), 4, nullptr, false).description(std::string(64, 'y'));
    if (Walk(words) != first) Fail("the table changed when the registry did");
    return 0;
}
