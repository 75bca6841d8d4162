// What the remoting tests read back after a call: the response record as one
// line of text, and the heap blocks the plugin still holds.
#pragma once

#include <cstdint>
#include <string>

#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "remoting/response_record.h"
#include "tests/formats/value_text.h"

namespace Norv::Testing {

inline std::int64_t OutstandingBlocks() {
    const AllocationStatistics statistics = CurrentAllocationStatistics();
    return static_cast<std::int64_t>(statistics.Allocations() - statistics.Releases());
}

// "status error" or "status body" (a string body unquoted); releases the record.
inline std::string ResponseText(HostResponseRecord& response) {
    std::string text = std::to_string(response.status) + " ";
    if (response.hasError != 0) {
        text += response.error;
    } else {
        BindingProperty body;
        HostResult failure{};
        readHostValue(failure, body, response.body, "<body>");
        text += body.kind() == BindingValueKind::String ? std::string(body.getString()) : ValueText(body);
    }
    if (response.release != nullptr) response.release(&response);
    return text;
}

}  // namespace Norv::Testing
