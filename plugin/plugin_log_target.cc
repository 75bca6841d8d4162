#include "plugin/plugin_log_target.h"

namespace Norv {

bool PluginLogTarget::Write(const LogRecord& record) {
    if (host_ != nullptr && host_->WriteLog != nullptr) {
        host_->WriteLog(host_, record.level, record.message == nullptr ? "" : record.message);
    }
    return true;
}

}  // namespace Norv
