#include "remoting/remoting_error.h"

#include "diagnostics/format.h"

namespace Norv {

std::string FormatTextForm(const RemotingError& error) {
    const char* message = error.message();
    if (message == nullptr) return {};
    return Format("%1 (%2)", message, error.code());
}

std::string FormatTextForm(const std::optional<RemotingError>& error) {
    if (!error) return "Success";
    return FormatTextForm(*error);
}

}  // namespace Norv
