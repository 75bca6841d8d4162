// The log target that replaces the console once the host has initialised the
// plugin: every record that passes its filter goes to the host's WriteLog
// slot, as its level and its bare message.
#pragma once

#include "diagnostics/log_target.h"

#include <norv_plugin.h>

namespace Norv {

inline constexpr const char* kPluginLogTargetName = "PluginLogTarget";

class PluginLogTarget final : public LogTarget {
public:
    explicit PluginLogTarget(HostFunctionTable* host) : host_(host) {}

    const char* Name() const override { return kPluginLogTargetName; }
    bool Write(const LogRecord& record) override;
    void Flush() override {}

private:
    HostFunctionTable* host_;
};

}  // namespace Norv
