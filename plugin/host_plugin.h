// The plugin object the host drives: the handshake that answers the load
// record, the three callbacks, and the host's operations forwarded to the
// function table the host hands over at init.
#pragma once

#include "binding/binding_registry.h"
#include "diagnostics/log_target.h"
#include "plugin/api_table.h"
#include "plugin/plugin_api_version.h"
#include "plugin/plugin_core.h"
#include "plugin/plugin_names.h"
#include "remoting/function_dispatcher.h"

#include <norv_plugin.h>

#include <memory>

namespace Norv {

// Exit code of the process when a host's plugin API version is refused.
inline constexpr int kIncompatibleHostExitCode = 3;

class HostPlugin : public PluginCore {
public:
    HostPlugin();
    ~HostPlugin() override;

    // Host slots 0 to 8: forwarded unchanged while a host is connected;
    // before init, after unload, or for a slot the host left empty they do
    // nothing and return 0.
    std::uint32_t SendRequest(HostResponseRecord* response, const HostRequestRecord* request) override;
    std::uintptr_t HostSlot1(std::uintptr_t first, std::uintptr_t second) override;
    std::uintptr_t HostSlot2(std::uintptr_t word) override;
    std::uint32_t SubscribeEvent(const std::string& eventName, std::uint32_t hostHandle, HostEventCallback callback,
                                 void* context, std::uint32_t flags) override;
    std::uint32_t UnsubscribeEvent(const std::string& eventName, std::uint32_t hostHandle) override;
    std::uintptr_t HostSlot5(std::uintptr_t first, std::uintptr_t second, std::uintptr_t third, double value,
                             std::uintptr_t fourth) override;
    void YieldToHost() override;
    void BeginWait(const std::string& label, std::uint32_t flags) override;
    void EndWait() override;
    bool CanSendRequest() const override;

    // Runs after the host-defined types are registered and before the API
    // table is built; the place for a plugin's own functions and types.
    virtual void RegisterBindings();
    // The last step of init; its result is init's.
    virtual bool Initialize();

    // Checks the host's version (an incompatible host is reported and the
    // process stops here), names the plugin, registers what it offers and
    // writes the answer into the load record.
    void Handshake(PluginLoadRecord& record, const char* shortName);

    const PluginApiVersion& HostVersion() const { return hostVersion_; }
    const PluginNames& Names() const { return names_; }
    HostInterface* Host() const { return host_; }
    const PluginCallbacks& Callbacks() const { return callbacks_; }
    const PluginApiTable& ApiTable() const { return apiTable_; }
    BindingRegistry& Registry() const { return *dispatcher_; }
    FunctionDispatcher& Dispatcher() const { return *dispatcher_; }

protected:
    // The init callback's work, on the plugin given as context.
    bool Init(HostInterface* host);
    void InstallPluginLogTarget();
    // The host's function table from init until unload, else null.
    HostFunctionTable* Table() const;

private:
    // The three callbacks of the load record; each catches everything.
    static bool NORV_CALL InitCallback(void* context, HostInterface* host);
    static void NORV_CALL UnloadCallback(void* context);
    static void NORV_CALL MemoryStatisticsCallback(void* context, std::uint32_t* words);

    // Held from construction until every other member is gone.
    struct LogManagerReference {
        LogManagerReference();
        ~LogManagerReference();
    } logManagerReference_;

    PluginApiVersion hostVersion_;
    std::unique_ptr<LogTarget> logTarget_;
    PluginNames names_;
    // The dispatcher of the plugin's functions, which is also the registry the
    // host-defined types go into and the API table is built from. Starts with
    // the builtin types.
    std::unique_ptr<FunctionDispatcher> dispatcher_;
    HostInterface* host_ = nullptr;
    // Set by unload: nothing reaches the host afterwards, even from a handler
    // that was still running when the host let go of the plugin.
    bool released_ = false;
    // Waits begun with the host and not yet ended.
    std::uint32_t openWaits_ = 0;
    PluginCallbacks callbacks_;
    PluginApiTable apiTable_{};
    // Owns the records and texts apiTable_ points at.
    ApiTableRecords apiRecords_;
};

}  // namespace Norv
