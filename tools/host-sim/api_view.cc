#include "tools/host-sim/api_view.h"

#include "binding/binding_type_descriptor.h"
#include "binding/help/builtin_types.h"
#include "binding/host_value.h"
#include "remoting/request_method.h"
#include "remoting/route_table.h"
#include "tools/host-sim/call_load.h"

#include <charconv>
#include <cstdarg>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string_view>

namespace Norv::HostSim {

namespace {

constexpr const char* kHelpFunctionName = "Help";
// The Help function's parameter that names the format, when it has one.
constexpr const char* kHelpFormatArgument = "format";

void Print(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Print(std::FILE* out, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(out, format, arguments);
    va_end(arguments);
    std::fputc('\n', out);
}

// Records the host walks: a chain is followed no further than one past its
// count, so a loop or a missing terminator cannot run away.
template <class Record>
std::vector<const Record*> Walk(const Record* first, std::uint32_t count) {
    std::vector<const Record*> records;
    for (const Record* record = first; record != nullptr && records.size() <= count; record = record->next)
        records.push_back(record);
    return records;
}

template <class Record>
bool CheckChain(std::FILE* out, const char* what, const std::vector<const Record*>& records, std::uint32_t count) {
    if (records.size() == count) return true;
    // Sizes as unsigned: the Windows printf knows no %zu.
    const bool longer = records.size() > count;
    Print(out, "  ! the %s chain has %s%u records, its count says %u", what, longer ? "more than " : "",
          longer ? count : static_cast<unsigned>(records.size()), count);
    return false;
}

std::string Safe(const char* text) {
    return text == nullptr ? "(null)" : text;
}

std::string TypeText(std::uint32_t code, std::uint32_t elementCode, const char* typeName) {
    const std::string name = Safe(typeName);
    auto kind = [](std::uint32_t number) {
        const char* text = BindingTypeKindName(static_cast<BindingTypeKind>(number));
        return std::string(*text != '\0' ? text : "?");
    };
    const std::string element = name.empty() ? kind(elementCode) : name;
    switch (static_cast<BindingTypeKind>(code)) {
        case BindingTypeKind::Vector:
            return "vector<" + element + ">";
        case BindingTypeKind::Map:
            return "map<string, " + element + ">";
        case BindingTypeKind::Enum:
        case BindingTypeKind::Struct:
            return name.empty() ? kind(code) : kind(code) + " " + name;
        default:
            return kind(code);
    }
}

std::string TagsText(const char* const* tags, std::uint32_t count) {
    if (tags == nullptr || count == 0) return "none";
    std::string text;
    for (std::uint32_t i = 0; i < count; ++i) text += (i == 0 ? "" : ", ") + Safe(tags[i]);
    return text;
}

const char* LocationName(std::uint32_t location) {
    static const char* const kNames[] = {"anywhere", "query", "path", "host argument", "header", "body"};
    return location < std::size(kNames) ? kNames[location] : "unknown location";
}

std::string MethodLabel(std::uint32_t method, const char* methodName) {
    if (method == kMethodNamed) return Safe(methodName);
    if (method == kMethodNone) return "ANY";
    return std::string(MethodText(static_cast<std::int32_t>(method)));
}

void PrintDescription(std::FILE* out, const char* indent, const char* description) {
    if (description != nullptr && *description != '\0') Print(out, "%s%s", indent, description);
}

bool PrintFunctions(std::FILE* out, const PluginApiTable& table) {
    const auto functions = Walk(table.functions, table.functionCount);
    Print(out, "functions: %u", table.functionCount);
    bool ok = CheckChain(out, "function", functions, table.functionCount);
    for (const PluginFunctionRecord* function : functions) {
        Print(out, "  %s  %s %s -> %s", Safe(function->name).c_str(),
              MethodLabel(function->method, function->methodName).c_str(), Safe(function->urlTemplate).c_str(),
              TypeText(function->returnTypeCode, function->returnElementTypeCode, function->returnTypeName).c_str());
        PrintDescription(out, "    ", function->description);
        Print(out, "    tags %s%s%s%s", TagsText(function->tags, function->tagCount).c_str(),
              function->threadSafe != 0 ? ", thread-safe" : "",
              function->asyncTypeName != nullptr && *function->asyncTypeName != '\0' ? ", async " : "",
              function->asyncTypeName != nullptr ? function->asyncTypeName : "");
        const auto arguments = Walk(function->arguments, function->argumentCount);
        const auto locations = Walk(function->locations, function->argumentCount);
        ok = CheckChain(out, "argument", arguments, function->argumentCount) && ok;
        ok = CheckChain(out, "location", locations, function->argumentCount) && ok;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            const PluginArgumentRecord* argument = arguments[i];
            Print(out, "    %s: %s%s, %s", Safe(argument->name).c_str(),
                  TypeText(argument->typeCode, argument->elementTypeCode, argument->typeName).c_str(),
                  argument->optional != 0 ? ", optional" : "",
                  i < locations.size() ? LocationName(locations[i]->location) : "no location");
            PrintDescription(out, "      ", argument->description);
        }
        const auto lists = Walk(function->textLists, function->textListCount);
        ok = CheckChain(out, "text list", lists, function->textListCount) && ok;
        if (function->flag != 0 || !lists.empty()) {
            Print(out, "    flag %u, %u text lists", function->flag, static_cast<unsigned>(lists.size()));
            for (const PluginTextListRecord* list : lists)
                Print(out, "      [%s]", TagsText(list->texts, list->count).c_str());
        }
    }
    return ok;
}

bool PrintTypes(std::FILE* out, const PluginApiTable& table) {
    const auto types = Walk(table.types, table.typeCount);
    Print(out, "types: %u", table.typeCount);
    bool ok = CheckChain(out, "type", types, table.typeCount);
    for (const PluginTypeRecord* type : types) {
        const bool structure = type->members != nullptr;
        Print(out, "  %s  %s, size %u, %u %s, tags %s", Safe(type->name).c_str(), structure ? "struct" : "enum",
              type->size, type->count, structure ? "members" : "enumerators",
              TagsText(type->tags, type->tagCount).c_str());
        PrintDescription(out, "    ", type->description);
        if (type->members != nullptr && type->enumerators != nullptr) {
            Print(out, "  ! both members and enumerators are set");
            ok = false;
        }
        if (structure) {
            const auto members = Walk(type->members, type->count);
            ok = CheckChain(out, "member", members, type->count) && ok;
            for (const PluginMemberRecord* member : members) {
                Print(out, "    %s: %s, offset %u%s", Safe(member->name).c_str(),
                      TypeText(member->typeCode, member->elementTypeCode, member->typeName).c_str(), member->offset,
                      member->custom != 0 ? ", custom" : "");
                PrintDescription(out, "      ", member->description);
            }
        } else {
            const auto enumerators = Walk(type->enumerators, type->count);
            ok = CheckChain(out, "enumerator", enumerators, type->count) && ok;
            for (const PluginEnumeratorRecord* enumerator : enumerators) {
                Print(out, "    %s = %d", Safe(enumerator->name).c_str(), enumerator->value);
                PrintDescription(out, "      ", enumerator->description);
            }
        }
    }
    return ok;
}

bool PrintEvents(std::FILE* out, const PluginApiTable& table) {
    const auto events = Walk(table.events, table.eventCount);
    Print(out, "events: %u", table.eventCount);
    bool ok = CheckChain(out, "event", events, table.eventCount);
    for (const PluginEventRecord* event : events) {
        Print(out, "  %s  payload %s, tags %s", Safe(event->name).c_str(), Safe(event->typeName).c_str(),
              TagsText(event->tags, event->tagCount).c_str());
        PrintDescription(out, "    ", event->description);
    }
    return ok;
}

std::int32_t MethodNumber(const std::string& method) {
    for (std::int32_t number = kMethodDelete; number <= kMethodPut; ++number) {
        if (MethodText(number) == method) return number;
    }
    return kMethodNamed;
}

std::string BodyText(const HostResponseRecord& response) {
    if (response.readStream != nullptr) {
        std::string text;
        std::uint8_t buffer[4096];
        for (std::uint8_t more = 1; more != 0;) {
            std::uint32_t count = sizeof buffer;
            if (!response.readStream(response.stream, buffer, &count, &more)) return text + " (the stream failed)";
            text.append(reinterpret_cast<const char*>(buffer), count);
        }
        return text;
    }
    if (response.body.tag == HOST_VALUE_EMPTY) return "none";
    BindingProperty value;
    HostResult failure{};
    if (!readHostValue(failure, value, response.body, "<body>")) {
        std::string error = "unreadable: " + Safe(failure.error);
        resetHostResult(failure);
        return error;
    }
    return Testing::JsonText(value);
}

void PrintResponse(std::FILE* out, const HostResponseRecord& response) {
    Print(out, "  status       : %d", response.status);
    const bool typed = response.contentType != nullptr && *response.contentType != '\0';
    Print(out, "  content type : %s", typed ? response.contentType : "none");
    if (response.headers == nullptr || response.headerCount == 0) {
        Print(out, "  headers      : none");
    } else {
        for (std::uint32_t i = 0; i < response.headerCount; ++i) {
            Print(out, "  header       : %s: %s", Safe(response.headers[i].name).c_str(),
                  Safe(response.headers[i].value).c_str());
        }
    }
    Print(out, "  body         : %s", BodyText(response).c_str());
    Print(out, "  error        : %s", response.hasError != 0 ? Safe(response.error).c_str() : "none");
}

bool ReadWholeFile(const char* path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream contents;
    contents << file.rdbuf();
    text = contents.str();
    return true;
}

// The plugin's Help function, the builtin one first.
const PluginFunctionRecord* FindHelp(const PluginApiTable& table) {
    const PluginFunctionRecord* found = nullptr;
    for (const PluginFunctionRecord* function : Walk(table.functions, table.functionCount)) {
        if (Safe(function->name) != kHelpFunctionName) continue;
        for (std::uint32_t i = 0; function->tags != nullptr && i < function->tagCount; ++i) {
            if (Safe(function->tags[i]) == kBuiltinTag) return function;
        }
        if (found == nullptr) found = function;
    }
    return found;
}

// Where `function` takes its argument `name`, by its argument and location
// records; -1 when it has no such argument.
std::int64_t ArgumentLocation(const PluginFunctionRecord& function, std::string_view name) {
    const auto arguments = Walk(function.arguments, function.argumentCount);
    const auto locations = Walk(function.locations, function.argumentCount);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (Safe(arguments[i]->name) == name) return i < locations.size() ? locations[i]->location : 0;
    }
    return -1;
}

// Full help: one item a line as JSON. Epytext: each item's text as it stands
// under its name, so an author reads it as a documentation tool would.
void PrintHelp(std::FILE* out, const BindingProperty& help) {
    for (const char* section : {"functions", "types", "events"}) {
        const BindingProperty& items = help.get(section);
        Print(out, "== %s", section);
        if (items.kind() == BindingValueKind::Structure) {
            for (const BindingMember& item : items.members()) {
                Print(out, "-- %.*s", static_cast<int>(item.name.size()), item.name.data());
                const std::string_view text = item.value.getString();
                std::fwrite(text.data(), 1, text.size(), out);
                if (!text.empty() && text.back() != '\n') std::fputc('\n', out);
            }
        } else {
            for (const BindingProperty& item : items.elements()) Print(out, "%s", Testing::JsonText(item).c_str());
        }
    }
}

}  // namespace

ApiSession::ApiSession(const Options& options) : options_(options), host_(options.hostHandle) {
    host_.AnswerRequests();
}

ApiSession::~ApiSession() {
    Unload();
    module_.Close();
}

int ApiSession::Start() {
    if (options_.entry != nullptr) {
        module_.UseEntry(options_.entry);
    } else {
        const std::string path =
            options_.modulePath.empty() ? Testing::PluginModulePathBesideExecutable() : options_.modulePath;
        if (!module_.Open(path)) {
            std::fprintf(stderr, "host-sim: %s\n", module_.Error().c_str());
            return kExitNotLoaded;
        }
    }
    const HostVersion& version = options_.hostVersion;
    plugin_ = module_.Load(version.major, version.minor, version.patch);
    if (plugin_.object == nullptr || !plugin_.hasCallbacks) {
        std::fprintf(stderr, "host-sim: the plugin refused to load\n");
        return kExitNotLoaded;
    }
    if (plugin_.callbacks.init == nullptr || !plugin_.callbacks.init(plugin_.record.context, host_.Interface())) {
        std::fprintf(stderr, "host-sim: the plugin's init failed\n");
        return kExitInitFailed;
    }
    initialized_ = true;
    return kExitOk;
}

void ApiSession::Unload() {
    if (initialized_ && plugin_.callbacks.unload != nullptr) plugin_.callbacks.unload(plugin_.record.context);
    initialized_ = false;
}

const PluginFunctionRecord* FindFunction(const PluginApiTable& table, const ApiCall& call) {
    const std::int32_t method = MethodNumber(call.method);
    const auto functions = Walk(table.functions, table.functionCount);
    std::vector<Route> routes(functions.size());
    RouteTable routeTable;
    for (std::size_t i = 0; i < functions.size(); ++i) {
        routes[i].urlTemplate = UrlTemplate(Safe(functions[i]->urlTemplate));
        routes[i].method = HostMethod(static_cast<std::int32_t>(functions[i]->method));
        routes[i].methodName = Safe(functions[i]->methodName);
        routeTable.add(routes[i]);
    }
    RoutingRequest request;
    request.method = method;
    request.methodName = method == kMethodNamed ? call.method : std::string();
    request.path = call.path;
    if (!routeTable.match(request)) return nullptr;
    return functions[static_cast<std::size_t>(request.route - routes.data())];
}

ApiRequest::ApiRequest(const ApiCall& call, const PluginFunctionRecord& function) : arguments_(call.arguments.size()) {
    for (std::size_t i = 0; i < call.arguments.size(); ++i) {
        arguments_[i].name = call.arguments[i].first.c_str();
        arguments_[i].value.tag = HOST_VALUE_STRING;
        arguments_[i].value.payload.string.text = call.arguments[i].second.c_str();
        arguments_[i].value.payload.string.length = static_cast<std::uint32_t>(call.arguments[i].second.size());
    }
    record_.method = MethodNumber(call.method);
    record_.methodName = record_.method == kMethodNamed ? call.method.c_str() : nullptr;
    record_.path = call.path.c_str();
    record_.arguments = arguments_.empty() ? nullptr : arguments_.data();
    record_.argumentCount = static_cast<std::uint32_t>(arguments_.size());
    record_.handlerContext = function.handlerContext;
    if (!call.body.empty()) {
        record_.body = call.body.data();
        record_.bodyLength = static_cast<std::uint32_t>(call.body.size());
        record_.contentType = call.contentType.c_str();
    }
}

std::string AnswerText(const HostResponseRecord& response) {
    return "status " + std::to_string(response.status) + ", body " + BodyText(response) + ", error " +
           (response.hasError != 0 ? Safe(response.error) : "none");
}

bool PrintApiTable(std::FILE* out, const PluginApiTable& table) {
    Print(out, "[api] %u functions, %u types, %u events", table.functionCount, table.typeCount, table.eventCount);
    bool ok = PrintFunctions(out, table);
    ok = PrintTypes(out, table) && ok;
    ok = PrintEvents(out, table) && ok;
    Print(out, "[api check] %s", ok ? "every chain ends where its count says" : "chains and counts differ");
    return ok;
}

int ListApi(const Options& options, std::FILE* out) {
    ApiSession session(options);
    if (int started = session.Start(); started != kExitOk) return started;
    return PrintApiTable(out, session.Table()) ? kExitOk : kExitUnbalanced;
}

int CallFunction(const Options& options, const ApiCall& call, std::FILE* out) {
    ApiSession session(options);
    if (int started = session.Start(); started != kExitOk) return started;
    const PluginFunctionRecord* function = FindFunction(session.Table(), call);
    Print(out, "[call] %s %s", call.method.c_str(), call.path.c_str());
    if (function == nullptr || function->handler == nullptr) {
        Print(out, "  ! no function of the plugin takes %s %s", call.method.c_str(), call.path.c_str());
        return kExitNoFunction;
    }
    Print(out, "  function     : %s (%s)", Safe(function->name).c_str(), Safe(function->urlTemplate).c_str());
    const ApiRequest request(call, *function);
    HostResponseRecord response{};
    function->handler(&response, request.Record());
    PrintResponse(out, response);
    if (response.release == nullptr) {
        Print(out, "  ! the plugin left no release function in the response");
        return kExitUnbalanced;
    }
    response.release(&response);
    return kExitOk;
}

int DescribeApi(const Options& options, const std::string& format, std::FILE* out) {
    ApiSession session(options);
    if (int started = session.Start(); started != kExitOk) return started;
    Print(out, "[describe %s]", format.c_str());
    const PluginFunctionRecord* help = FindHelp(session.Table());
    if (help == nullptr || help->handler == nullptr) {
        Print(out, "  ! the plugin exposes no %s function", kHelpFunctionName);
        return kExitNoFunction;
    }
    // Help is called as the host calls it: its own method and template, which
    // must need no path parameter.
    const std::string path = Safe(help->urlTemplate);
    if (path.find('{') != std::string::npos) {
        Print(out, "  ! %s takes path parameters (%s)", kHelpFunctionName, path.c_str());
        return kExitNoFunction;
    }
    const std::string formatName = format == "epytext" ? "Epytext" : "Full";
    HostArgumentEntry argument{};
    argument.name = kHelpFormatArgument;
    argument.value.tag = HOST_VALUE_STRING;
    argument.value.payload.string.text = formatName.c_str();
    argument.value.payload.string.length = static_cast<std::uint32_t>(formatName.size());
    const HostHeaderEntry header{kHelpFormatArgument, formatName.c_str()};
    std::string target = path;
    HostRequestRecord request{};
    request.method = help->method == kMethodNone ? kMethodGet : static_cast<std::int32_t>(help->method);
    request.methodName = help->methodName;
    request.handlerContext = help->handlerContext;
    // The format goes where Help's record says it may come from.
    switch (ArgumentLocation(*help, kHelpFormatArgument)) {
        case PLUGIN_LOCATION_ANYWHERE:
        case PLUGIN_LOCATION_QUERY:
            target.append(target.find('?') == std::string::npos ? "?" : "&")
                .append(kHelpFormatArgument)
                .append("=")
                .append(formatName);
            break;
        case PLUGIN_LOCATION_HOST_ARGUMENT:
            request.arguments = &argument;
            request.argumentCount = 1;
            break;
        case PLUGIN_LOCATION_HEADER:
            request.headers = &header;
            request.headerCount = 1;
            break;
        default:
            break;
    }
    request.path = target.c_str();
    HostResponseRecord response{};
    help->handler(&response, &request);
    int status = kExitOk;
    BindingProperty value;
    HostResult failure{};
    if (response.hasError != 0) {
        Print(out, "  ! %s answered %d: %s", kHelpFunctionName, response.status, Safe(response.error).c_str());
        status = kExitUnbalanced;
    } else if (response.readStream != nullptr || !readHostValue(failure, value, response.body, "<help>")) {
        Print(out, "  ! the help is not a value: %s", BodyText(response).c_str());
        resetHostResult(failure);
        status = kExitUnbalanced;
    } else {
        PrintHelp(out, value);
    }
    if (response.release == nullptr) {
        Print(out, "  ! the plugin left no release function in the response");
        return kExitUnbalanced;
    }
    response.release(&response);
    return status;
}

int RunApiCommand(const Options& options, int count, char** arguments, std::FILE* out) {
    const std::string_view option = arguments[0];
    auto fail = [](const char* message, const char* argument) {
        std::fprintf(stderr, "host-sim: %s%s\n(try --help)\n", message, argument);
        return kExitNotLoaded;
    };
    if (option == "--api") {
        if (count > 1) return fail("unexpected argument after --api: ", arguments[1]);
        return ListApi(options, out);
    }
    if (option == "--describe") {
        const std::string format = count > 1 ? arguments[1] : "full";
        if (format != "full" && format != "epytext") return fail("not a help format (full or epytext): ", arguments[1]);
        if (count > 2) return fail("unexpected argument after --describe: ", arguments[2]);
        return DescribeApi(options, format, out);
    }
    if (count < 3) return fail("--call needs a method and a path", "");
    ApiCall call;
    call.method = arguments[1];
    call.path = arguments[2];
    const char* bodyFile = nullptr;
    LoadOptions load;
    bool underLoad = false;
    for (int i = 3; i < count; ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--threads" || argument == "--calls") {
            if (i + 1 >= count) return fail("missing value after ", arguments[i]);
            const std::string_view text = arguments[++i];
            std::uint32_t& value = argument == "--threads" ? load.threads : load.calls;
            auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (error != std::errc() || end != text.data() + text.size() || value == 0)
                return fail("not a valid value: ", arguments[i]);
            underLoad = true;
            continue;
        }
        if (argument == "--body" || argument == "--content-type") {
            if (i + 1 >= count) return fail("missing value after ", arguments[i]);
            if (argument == "--body") {
                bodyFile = arguments[++i];
            } else {
                call.contentType = arguments[++i];
            }
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (equals == std::string_view::npos || equals == 0) return fail("not a name=value argument: ", arguments[i]);
        call.arguments.emplace_back(std::string(argument.substr(0, equals)), std::string(argument.substr(equals + 1)));
    }
    if (bodyFile != nullptr) {
        if (!ReadWholeFile(bodyFile, call.body)) return fail("cannot read the body file ", bodyFile);
        if (call.contentType.empty()) return fail("--body needs --content-type", "");
    }
    return underLoad ? CallUnderLoad(options, call, load, out) : CallFunction(options, call, out);
}

}  // namespace Norv::HostSim
