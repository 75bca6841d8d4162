// Keeps exceptions from unwinding into the host: every function the host calls
// runs its body through GuardHostCall.
#pragma once

namespace Norv {

// Logs the exception being handled at level 2 in the group "DBG" as
// "Exception in <where>: <what>". Call only from a catch block; never throws.
void ReportHostCallException(const char* where) noexcept;

// Runs the body; on any exception reports it and returns the failure value.
template <class Result, class Body>
Result GuardHostCall(const char* where, Result failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        ReportHostCallException(where);
        return failure;
    }
}

template <class Body>
void GuardHostCall(const char* where, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        ReportHostCallException(where);
    }
}

}  // namespace Norv
