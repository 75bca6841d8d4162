#include "plugin/debug_trace.h"

#include <string>

namespace Norv {

namespace {
DebugTraceSink traceSink = nullptr;
void* traceContext = nullptr;
}  // namespace

void SetDebugTraceSink(DebugTraceSink sink, void* context) {
    traceSink = sink;
    traceContext = context;
}

bool DebugTraceEnabled() {
    return traceSink != nullptr;
}

void DebugTrace(std::string_view format, std::initializer_list<std::string_view> arguments) {
    if (traceSink == nullptr) return;
    std::string line;
    auto argument = arguments.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's' && argument != arguments.end()) {
            line += *argument++;
            ++i;
        } else {
            line += format[i];
        }
    }
    traceSink(traceContext, line);
}

}  // namespace Norv
