// The table the host reads to learn what a plugin offers: its exposed
// functions with the handler and context each is called through, its types and
// its events, as the chained packed records of norv_plugin.h. The table owns
// every record and a copy of every text it publishes, but a function's context
// points at the function the registry owns: the table holds only while the
// registry is unchanged, and removing a function leaves its context dangling.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_registry.h"
#include "remoting/function_dispatcher.h"

#include <norv_plugin.h>

namespace Norv {

// A type or element type code as the host reads it: the kind, 0 outside 1..19.
std::uint32_t ApiTypeCode(BindingTypeKind kind);

class ApiTableRecords {
public:
    ApiTableRecords() = default;
    ApiTableRecords(const ApiTableRecords&) = delete;
    ApiTableRecords& operator=(const ApiTableRecords&) = delete;

    // Describes everything `dispatcher` holds, replacing an earlier build.
    // Each routed function gets a handler context of `plugin` and its own
    // route. Returns the six words.
    const PluginApiTable& Build(const FunctionDispatcher& dispatcher, void* plugin);

    const PluginApiTable& Words() const { return words_; }

private:
    // Where a type code's companions come from: the identifier the host is
    // shown (the described one when its kind is set).
    struct TypeCodes {
        std::uint32_t code = 0;
        std::uint32_t elementCode = 0;
        const char* name = nullptr;
    };

    const char* Text(std::string_view text);
    // A tag array (null when empty) and its count.
    const char* const* Texts(const std::vector<std::string>& texts);
    TypeCodes Codes(const BindingTypeIdentifier& type, const BindingTypeIdentifier& described);
    // A member or argument record's name, description and type, from a field
    // or parameter.
    template <class Record, class Source>
    Record Described(const Source& source);

    void BuildEvents(const BindingRegistry& registry);
    void BuildTypes(const BindingRegistry& registry);
    void BuildFunctions(const FunctionDispatcher& dispatcher, void* plugin);

    PluginApiTable words_{};
    // Deques: elements never move once placed, so pointers into them stay.
    std::deque<std::string> texts_;
    std::deque<std::vector<const char*>> textArrays_;
    std::vector<PluginEventRecord> events_;
    std::vector<PluginTypeRecord> types_;
    std::deque<std::vector<PluginMemberRecord>> members_;
    std::deque<std::vector<PluginEnumeratorRecord>> enumerators_;
    std::vector<PluginFunctionRecord> functions_;
    std::deque<std::vector<PluginArgumentRecord>> arguments_;
    std::deque<std::vector<PluginParameterLocation>> locations_;
    std::deque<std::vector<PluginTextListRecord>> textLists_;
    std::deque<FunctionHandlerContext> contexts_;
};

}  // namespace Norv
