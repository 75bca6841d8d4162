// Debug traces of event handling ("Handling event %s" and the like). They go
// to a sink that writes nothing unless a test or a tool installs one, and never
// through the log: once the plugin log target is installed every logged line
// reaches the host.
#pragma once

#include <initializer_list>
#include <string_view>

namespace Norv {

using DebugTraceSink = void (*)(void* context, std::string_view line);

// A null sink drops every trace. Not thread-safe: set it before events flow.
void SetDebugTraceSink(DebugTraceSink sink, void* context);
bool DebugTraceEnabled();

// Replaces each "%s" of the format by the next argument; renders nothing when
// no sink is installed.
void DebugTrace(std::string_view format, std::initializer_list<std::string_view> arguments);

}  // namespace Norv
