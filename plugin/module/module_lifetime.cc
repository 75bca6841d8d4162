// The only work done when the module is loaded and unloaded: the tracing
// providers are registered (when the system's tracing library is loaded
// already; the entry finishes the start otherwise) and unregistered. (The log
// group table is constant data and needs no code.)
#include "diagnostics/event_tracing.h"

// The C++ runtime's hook that frees its emergency exception pool.
namespace __gnu_cxx {
void __freeres();
}

namespace {

struct ModuleLifetime {
    ModuleLifetime() { Norv::StartTracing(); }
    ~ModuleLifetime() {
        Norv::StopTracing();
        // The module carries its own copy of the C++ runtime, whose exception
        // pool would otherwise stay allocated after every unload.
        __gnu_cxx::__freeres();
    }
    ModuleLifetime(const ModuleLifetime&) = delete;
    ModuleLifetime& operator=(const ModuleLifetime&) = delete;
};

ModuleLifetime g_moduleLifetime;

}  // namespace
