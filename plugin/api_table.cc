#include "plugin/api_table.h"

namespace Norv {
namespace {

constexpr const char* kEmptyText = "";

// Links each record to the next and returns the array, null when empty.
template <class Record>
const Record* Chain(std::vector<Record>& records) {
    for (std::size_t i = 0; i < records.size(); ++i)
        records[i].next = i + 1 < records.size() ? &records[i + 1] : nullptr;
    return records.empty() ? nullptr : records.data();
}

std::uint32_t Count(std::size_t size) {
    return static_cast<std::uint32_t>(size);
}

bool NamesRegisteredType(BindingTypeKind kind) {
    return kind == BindingTypeKind::Vector || kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct ||
           kind == BindingTypeKind::Map;
}

}  // namespace

std::uint32_t ApiTypeCode(BindingTypeKind kind) {
    const auto code = static_cast<std::uint32_t>(kind);
    return code <= static_cast<std::uint32_t>(BindingTypeKind::Map) ? code : 0;
}

const PluginApiTable& ApiTableRecords::Build(const FunctionDispatcher& dispatcher, void* plugin) {
    words_ = {};
    texts_.clear();
    textArrays_.clear();
    events_.clear();
    types_.clear();
    members_.clear();
    enumerators_.clear();
    functions_.clear();
    arguments_.clear();
    locations_.clear();
    textLists_.clear();
    contexts_.clear();
    BuildEvents(dispatcher);
    BuildTypes(dispatcher);
    BuildFunctions(dispatcher, plugin);
    return words_;
}

const char* ApiTableRecords::Text(std::string_view text) {
    if (text.empty()) return kEmptyText;
    return texts_.emplace_back(text).c_str();
}

const char* const* ApiTableRecords::Texts(const std::vector<std::string>& texts) {
    if (texts.empty()) return nullptr;
    std::vector<const char*>& array = textArrays_.emplace_back();
    array.reserve(texts.size());
    for (const std::string& text : texts) array.push_back(Text(text));
    return array.data();
}

ApiTableRecords::TypeCodes ApiTableRecords::Codes(const BindingTypeIdentifier& type,
                                                  const BindingTypeIdentifier& described) {
    const BindingTypeIdentifier& shown = described.kind != BindingTypeKind::None ? described : type;
    TypeCodes codes;
    codes.code = ApiTypeCode(shown.kind);
    if (IsBindingContainerKind(shown.kind)) codes.elementCode = ApiTypeCode(shown.elementKind);
    codes.name =
        NamesRegisteredType(shown.kind) && shown.descriptor != nullptr ? Text(shown.descriptor->name) : kEmptyText;
    return codes;
}

template <class Record, class Source>
Record ApiTableRecords::Described(const Source& source) {
    const TypeCodes codes = Codes(source.type, source.describedType);
    Record record{};
    record.name = Text(source.name);
    record.description = Text(source.description);
    record.typeCode = codes.code;
    record.elementTypeCode = codes.elementCode;
    record.typeName = codes.name;
    return record;
}

void ApiTableRecords::BuildEvents(const BindingRegistry& registry) {
    const std::vector<const BindingEventDescriptor*> events = registry.events();
    events_.reserve(events.size());
    for (const BindingEventDescriptor* event : events) {
        PluginEventRecord& record = events_.emplace_back();
        record.name = Text(event->name);
        record.nameSpace = Text(event->nameSpace);
        record.typeName = event->type != nullptr ? Text(event->type->name) : kEmptyText;
        record.description = Text(event->description);
        record.tags = Texts(event->tags);
        record.tagCount = Count(event->tags.size());
    }
    words_.events = Chain(events_);
    words_.eventCount = Count(events_.size());
}

void ApiTableRecords::BuildTypes(const BindingRegistry& registry) {
    const std::vector<const BindingTypeDescriptor*> types = registry.types();
    types_.reserve(types.size());
    for (const BindingTypeDescriptor* type : types) {
        PluginTypeRecord& record = types_.emplace_back();
        record.name = Text(type->name);
        record.nameSpace = Text(type->nameSpace);
        record.size = type->size;
        record.description = Text(type->description);
        record.tags = Texts(type->tags);
        record.tagCount = Count(type->tags.size());
        if (!type->fields.empty()) {
            std::vector<PluginMemberRecord>& members = members_.emplace_back();
            members.reserve(type->fields.size());
            for (const BindingFieldDescriptor& field : type->fields) {
                PluginMemberRecord& member = members.emplace_back(Described<PluginMemberRecord>(field));
                member.offset = field.offset;
                member.custom = field.custom ? 1 : 0;
            }
            record.members = Chain(members);
            record.count = Count(members.size());
        } else {
            // Kept in name order by the descriptor.
            std::vector<PluginEnumeratorRecord>& enumerators = enumerators_.emplace_back();
            enumerators.reserve(type->values.size());
            for (const BindingEnumValue& value : type->values) {
                PluginEnumeratorRecord& enumerator = enumerators.emplace_back();
                enumerator.name = Text(value.name);
                enumerator.description = Text(value.description);
                enumerator.value = value.value;
            }
            record.enumerators = Chain(enumerators);
            record.count = Count(enumerators.size());
        }
    }
    words_.types = Chain(types_);
    words_.typeCount = Count(types_.size());
}

void ApiTableRecords::BuildFunctions(const FunctionDispatcher& dispatcher, void* plugin) {
    // Every record comes from its own route: functions may share a name (one
    // per method or template), so nothing is looked up by name.
    const std::vector<const FunctionRoute*> routes = dispatcher.routes();
    functions_.reserve(routes.size());
    for (const FunctionRoute* entry : routes) {
        const FunctionRoute& route = *entry;
        const BindingFunctionDescriptor* function = route.function;
        PluginFunctionRecord& record = functions_.emplace_back();
        record.handlerContext = &contexts_.emplace_back(FunctionHandlerContext{plugin, &route});
        record.name = Text(function->name);
        record.nameSpace = Text(function->nameSpace);

        std::vector<PluginArgumentRecord>& arguments = arguments_.emplace_back();
        std::vector<PluginParameterLocation>& locations = locations_.emplace_back();
        arguments.reserve(function->parameters.size());
        locations.reserve(function->parameters.size());
        for (const BindingParameterDescriptor& parameter : function->parameters) {
            PluginArgumentRecord& argument = arguments.emplace_back(Described<PluginArgumentRecord>(parameter));
            argument.optional = parameter.optional ? 1 : 0;
            locations.push_back(PluginParameterLocation{nullptr, parameter.location});
        }
        record.arguments = Chain(arguments);
        record.argumentCount = Count(arguments.size());
        record.locations = Chain(locations);

        const TypeCodes returns = Codes(function->returns, function->describedReturns);
        record.returnTypeCode = returns.code;
        record.returnElementTypeCode = returns.elementCode;
        record.returnTypeName = returns.name;
        record.description = Text(function->description);
        record.help = Text(function->help);
        record.threadSafe = function->threadSafe ? 1 : 0;
        record.asyncTypeName = function->async && function->returns.descriptor != nullptr
                                   ? Text(function->returns.descriptor->name)
                                   : kEmptyText;
        record.tags = Texts(function->tags);
        record.tagCount = Count(function->tags.size());
        record.handler = &HandleFunctionRequest;

        record.urlTemplate = Text(route.urlTemplate.text());
        const std::int32_t method = HostMethod(route.method);
        record.method = static_cast<std::uint32_t>(method);
        record.methodName = method == kMethodNamed ? Text(route.methodName) : kEmptyText;
        record.flag = route.flag;
        std::vector<PluginTextListRecord>& lists = textLists_.emplace_back();
        lists.reserve(route.textLists.size());
        for (const std::vector<std::string>& list : route.textLists)
            lists.push_back(PluginTextListRecord{nullptr, Texts(list), Count(list.size())});
        record.textLists = Chain(lists);
        record.textListCount = Count(lists.size());
    }
    words_.functions = Chain(functions_);
    words_.functionCount = Count(functions_.size());
}

}  // namespace Norv
