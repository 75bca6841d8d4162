// The only work done when the module is loaded and unloaded: the tracing
// providers are registered and unregistered. (The log group table is constant
// data and needs no code.)
#include "diagnostics/event_tracing.h"

namespace {

struct ModuleLifetime {
    ModuleLifetime() { Norv::StartTracing(); }
    ~ModuleLifetime() { Norv::StopTracing(); }
    ModuleLifetime(const ModuleLifetime&) = delete;
    ModuleLifetime& operator=(const ModuleLifetime&) = delete;
};

ModuleLifetime g_moduleLifetime;

}  // namespace
