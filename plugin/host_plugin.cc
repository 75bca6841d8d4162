#include "plugin/host_plugin.h"

#include "diagnostics/allocation_statistics.h"
#include "diagnostics/assertion_report.h"
#include "diagnostics/format.h"
#include "diagnostics/log_api.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "platform/platform.h"
#include "plugin/host_call_guard.h"
#include "plugin/host_types.h"
#include "plugin/plugin_log_target.h"

#include <cstdio>

namespace Norv {

HostPlugin::LogManagerReference::LogManagerReference() {
    LogManager::Acquire();
}

HostPlugin::LogManagerReference::~LogManagerReference() {
    LogManager::Release();
}

HostPlugin::HostPlugin()
    : dispatcher_(std::make_unique<FunctionDispatcher>()),
      callbacks_{&InitCallback, &UnloadCallback, &MemoryStatisticsCallback} {}

HostPlugin::~HostPlugin() = default;

std::uint32_t HostPlugin::SendRequest(HostResponseRecord* response, const HostRequestRecord* request) {
    HostFunctionTable* table = Table();
    return table != nullptr && table->SendRequest != nullptr ? table->SendRequest(table, response, request) : 0;
}

std::uintptr_t HostPlugin::HostSlot1(std::uintptr_t first, std::uintptr_t second) {
    HostFunctionTable* table = Table();
    return table != nullptr && table->HostSlot1 != nullptr ? table->HostSlot1(table, first, second) : 0;
}

std::uintptr_t HostPlugin::HostSlot2(std::uintptr_t word) {
    HostFunctionTable* table = Table();
    return table != nullptr && table->HostSlot2 != nullptr ? table->HostSlot2(table, word) : 0;
}

std::uint32_t HostPlugin::SubscribeEvent(const std::string& eventName, std::uint32_t hostHandle,
                                         HostEventCallback callback, void* context, std::uint32_t flags) {
    HostFunctionTable* table = Table();
    if (table == nullptr || table->SubscribeEvent == nullptr) return 0;
    return table->SubscribeEvent(table, eventName.c_str(), hostHandle, callback, context, flags);
}

std::uint32_t HostPlugin::UnsubscribeEvent(const std::string& eventName, std::uint32_t hostHandle) {
    HostFunctionTable* table = Table();
    if (table == nullptr || table->UnsubscribeEvent == nullptr) return 0;
    return table->UnsubscribeEvent(table, eventName.c_str(), hostHandle);
}

std::uintptr_t HostPlugin::HostSlot5(std::uintptr_t first, std::uintptr_t second, std::uintptr_t third, double value,
                                     std::uintptr_t fourth) {
    HostFunctionTable* table = Table();
    if (table == nullptr || table->HostSlot5 == nullptr) return 0;
    return table->HostSlot5(table, first, second, third, value, fourth);
}

void HostPlugin::YieldToHost() {
    HostFunctionTable* table = Table();
    if (table != nullptr && table->YieldToHost != nullptr) table->YieldToHost(table);
}

void HostPlugin::BeginWait(const std::string& label, std::uint32_t flags) {
    HostFunctionTable* table = Table();
    if (table == nullptr || table->BeginWait == nullptr) return;
    table->BeginWait(table, label.c_str(), flags);
    ++openWaits_;
}

bool HostPlugin::CanSendRequest() const {
    HostFunctionTable* table = Table();
    return table != nullptr && table->SendRequest != nullptr;
}

void HostPlugin::EndWait() {
    // A wait the host saw begin is ended even when the host unloaded the
    // plugin inside it: the host is still in the call that began it.
    HostFunctionTable* table = openWaits_ > 0 ? host_->functions : Table();
    if (openWaits_ > 0) --openWaits_;
    if (table != nullptr && table->EndWait != nullptr) table->EndWait(table);
}

void HostPlugin::RegisterBindings() {}

bool HostPlugin::Initialize() {
    return true;
}

void HostPlugin::Handshake(PluginLoadRecord& record, const char* shortName) {
    PluginApiVersion host{record.major, record.minor, record.patch, {}, {}};
    PluginApiVersion plugin = CurrentPluginApiVersion();
    if (!IsCompatibleHostVersion(host, plugin)) {
        std::string description = Format("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                                         shortName, plugin, host);
        ReportAssertionFailure("ALE-EECF0606", description.c_str(), "", 0, "");
        // The process ends without the C runtime's exit handlers: write out
        // what the report left in buffers (standard error is buffered when
        // Windows redirects it).
        std::fflush(nullptr);
        Platform::TerminateProcess(kIncompatibleHostExitCode);
    }
    hostVersion_ = std::move(host);
    names_ = MakePluginNames(shortName, kBackendPluginType);
    Client::RegisterHostTypes(*dispatcher_);
    registry_ = dispatcher_.get();
    RegisterBindings();
    apiTable_ = apiRecords_.Build(*dispatcher_, this);

    record.major = plugin.major;
    record.minor = plugin.minor;
    record.patch = plugin.patch;
    record.callbacks = &callbacks_;
    record.context = this;
    record.shortName = names_.shortName.c_str();
    record.apiTable = &apiTable_;
}

bool HostPlugin::Init(HostInterface* host) {
    if (host == nullptr) return false;
    host_ = host;
    InstallPluginLogTarget();
    std::string userAgent = Format("NorvClient/%1 (%2)", hostVersion_, names_.shortName);
    Start(host->hostHandle, std::move(userAgent));
    return Initialize();
}

void HostPlugin::InstallPluginLogTarget() {
    const LogApi& log = GetLogApi();
    if (log.FindTarget(kPluginLogTargetName) != nullptr) return;
    for (LogTargetInterface* builtin : {log.StdOutTarget(), log.StdErrTarget(), log.DebuggerTarget()}) {
        if (builtin != nullptr) log.DetachTarget(builtin);
    }
    log.SetMinimumLevel(kLogLevelOkay);
    log.SetMutedGroups(kLogGroupXtr);
    logTarget_ = std::make_unique<PluginLogTarget>(host_->functions);
    LogTargetSettings settings;
    settings.level = log.GetMinimumLevel();
    settings.include = 0;
    settings.exclude = 0;
    settings.format = "#D| #L| #G| #M";
    logTarget_->Configure(settings);
}

HostFunctionTable* HostPlugin::Table() const {
    return host_ == nullptr || released_ ? nullptr : host_->functions;
}

bool HostPlugin::InitCallback(void* context, HostInterface* host) {
    return GuardHostCall("init", false, [&] {
        auto* plugin = static_cast<HostPlugin*>(context);
        if (plugin == nullptr) return false;
        HostCallScope scope(*plugin);
        return plugin->Init(host);
    });
}

void HostPlugin::UnloadCallback(void* context) {
    auto* plugin = static_cast<HostPlugin*>(context);
    if (plugin == nullptr || plugin->released_) return;
    GuardHostCall("unload", [&] { plugin->Shutdown(); });
    plugin->released_ = true;
    // The host's table may be gone once unload returns.
    plugin->logTarget_.reset();
    // Destroyed even when the shutdown failed: the host lets go of it either
    // way. An unload from inside a handler's wait waits for that handler.
    GuardHostCall("unload", [&] { DestroyWhenIdle(plugin); });
}

void HostPlugin::MemoryStatisticsCallback(void*, std::uint32_t* words) {
    if (words == nullptr) return;
    AllocationStatistics statistics = CurrentAllocationStatistics();
    for (std::size_t i = 0; i < statistics.counters.size(); ++i) {
        words[2 * i] = static_cast<std::uint32_t>(statistics.counters[i]);
        words[2 * i + 1] = static_cast<std::uint32_t>(statistics.counters[i] >> 32);
    }
}

}  // namespace Norv
