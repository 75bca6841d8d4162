#include "remoting/remoting_call.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "diagnostics/format.h"
#include "formats/json_reader.h"

namespace Norv {
namespace {

namespace Message = RemotingMessage;

constexpr std::uint32_t kStreamChunk = 4096;
// A size hint is the host's word: it is trusted this far and no further.
constexpr std::uint32_t kMaxStreamReservation = 1u << 20;

// The argument entries of one request and the host value records they own,
// released when the call returns. A Structure gives one named entry per
// member, any other value one unnamed entry.
class ArgumentEntries {
public:
    ArgumentEntries() = default;
    ArgumentEntries(const ArgumentEntries&) = delete;
    ArgumentEntries& operator=(const ArgumentEntries&) = delete;
    ~ArgumentEntries() {
        for (HostArgumentEntry& entry : entries_) resetHostValue(entry.value);
    }

    void fill(const BindingProperty& parameters, const BindingRegistry* registry) {
        if (parameters.kind() != BindingValueKind::Structure) {
            entries_.resize(1, HostArgumentEntry{});
            writeHostValue(entries_[0].value, parameters, registry);
            return;
        }
        // Every name is in place before any pointer to it is taken.
        names_.reserve(parameters.size());
        for (const BindingMember member : parameters.members()) names_.emplace_back(member.name);
        entries_.resize(names_.size(), HostArgumentEntry{});
        std::size_t i = 0;
        for (const BindingMember member : parameters.members()) {
            entries_[i].name = names_[i].c_str();
            writeHostValue(entries_[i].value, member.value, registry);
            ++i;
        }
    }

    const HostArgumentEntry* data() const { return entries_.empty() ? nullptr : entries_.data(); }
    std::uint32_t count() const { return static_cast<std::uint32_t>(entries_.size()); }

private:
    std::vector<std::string> names_;
    std::vector<HostArgumentEntry> entries_;
};

// Hands the response record back to whoever filled it, once, however the call
// ends; a stream nobody read is released first.
class ResponseHolder {
public:
    ResponseHolder() { std::memset(static_cast<void*>(&record), 0, sizeof(record)); }
    ResponseHolder(const ResponseHolder&) = delete;
    ResponseHolder& operator=(const ResponseHolder&) = delete;
    ~ResponseHolder() {
        if (!streamTaken && record.releaseStream != nullptr) record.releaseStream(record.stream);
        if (record.release != nullptr) record.release(&record);
    }

    HostResponseRecord record;
    bool streamTaken = false;
};

// Releases a stream once when reading it ends, however it ends.
class StreamRelease {
public:
    explicit StreamRelease(const HostResponseRecord& response) : response_(response) {}
    StreamRelease(const StreamRelease&) = delete;
    StreamRelease& operator=(const StreamRelease&) = delete;
    ~StreamRelease() {
        if (response_.releaseStream != nullptr) response_.releaseStream(response_.stream);
    }

private:
    const HostResponseRecord& response_;
};

// The reader's failure record, whose message is released however the call ends.
struct FailureHolder {
    FailureHolder() { std::memset(static_cast<void*>(&result), 0, sizeof(result)); }
    FailureHolder(const FailureHolder&) = delete;
    FailureHolder& operator=(const FailureHolder&) = delete;
    ~FailureHolder() { resetHostResult(result); }

    HostResult result;
};

std::optional<RemotingError> Send(RemotingTransport& transport, std::int32_t method, std::string_view path,
                                  const BindingResult& parameters, BindingProperty* answer) {
    const std::string_view methodText = MethodText(method);
    if (!parameters.ok()) {
        const RemotingError cause(400, std::string(parameters.error()));
        return RemotingError(400, Format(Message::kParametersNotConverted, methodText, path, cause));
    }
    ArgumentEntries entries;
    entries.fill(parameters.value, transport.registry());

    const std::string pathText(path);
    HostRequestRecord request{};
    request.method = HostMethod(method);
    request.path = pathText.c_str();
    request.arguments = entries.data();
    request.argumentCount = entries.count();
    request.callerContext = transport.callerContext();

    ResponseHolder response;
    if (!transport.send(response.record, request)) return RemotingError(0, Format(Message::kNotSent, methodText, path));
    // The error text alone marks a failure: a status without one is success.
    if (const char* hostError = response.record.error) {
        return RemotingError(response.record.status, Format(Message::kErrorResponse, methodText, path, hostError));
    }
    if (answer == nullptr) return std::nullopt;

    if (response.record.readStream != nullptr) {
        response.streamTaken = true;
        BindingResult body = ReadStreamedBody(transport, response.record);
        if (!body.ok()) return RemotingError(0, Format(Message::kStreamNotRead, methodText, path, body.error()));
        *answer = std::move(body.value);
        return std::nullopt;
    }
    FailureHolder failure;
    if (readHostValue(failure.result, *answer, response.record.body, Message::kResultName)) return std::nullopt;
    return RemotingDetail::ConversionError(method, path, failure.result.error ? failure.result.error : "");
}

}  // namespace

namespace RemotingDetail {

BindingResult NoParameters() {
    BindingResult none;
    none.value.makeStructure();
    return none;
}

RemotingError ConversionError(std::int32_t method, std::string_view path, std::string_view message) {
    return RemotingError(0, Format(Message::kResponseNotConverted, MethodText(method), path, message));
}

RemotingError ExceptionError(std::int32_t method, std::string_view path) noexcept {
    try {
        std::string what = "unknown exception";
        try {
            throw;
        } catch (const std::exception& exception) {
            what = exception.what();
        } catch (...) {
        }
        return RemotingError(0, Format(Message::kCallException, MethodText(method), path, what));
    } catch (...) {
        return RemotingError(0, Message::kCallExceptionUnformatted);
    }
}

std::optional<RemotingError> Call(RemotingTransport& transport, std::int32_t method, std::string_view path,
                                  const BindingResult& parameters, BindingProperty* answer) {
    try {
        return Send(transport, method, path, parameters, answer);
    } catch (...) {
        return ExceptionError(method, path);
    }
}

}  // namespace RemotingDetail

std::optional<RemotingError> RemotingCall(RemotingTransport& transport, std::int32_t method, std::string_view path) {
    return RemotingDetail::Call(transport, method, path, RemotingDetail::NoParameters(), nullptr);
}

BindingResult ReadStreamedBody(RemotingTransport& transport, const HostResponseRecord& response) {
    const StreamRelease release(response);
    try {
        if (response.readStream == nullptr) return BindingResult::Failure(Message::kStreamReadError);
        std::string text;
        const std::uint32_t sizeHint = response.streamSizeHint;
        if (sizeHint > 15) text.reserve(std::min(sizeHint, kMaxStreamReservation));
        std::uint8_t buffer[kStreamChunk];
        std::uint8_t more = 1;
        do {
            std::uint32_t count = kStreamChunk;
            if (response.readStream(response.stream, buffer, &count, &more) == 0 || count > kStreamChunk) {
                return BindingResult::Failure(Message::kStreamReadError);
            }
            text.append(reinterpret_cast<const char*>(buffer), count);
            if (count < kStreamChunk) {
                if (more == 0) break;
                if (!WaitYield(transport)) return BindingResult::Failure(Message::kStreamReadError);
            }
        } while (more != 0);
        return ParseJson(text);
    } catch (const std::exception& exception) {
        return BindingResult::Failure(exception.what());
    }
}

bool WaitYield(RemotingTransport& transport) {
    transport.beginWait(Message::kWaitYieldLabel, 0);
    const bool hosted = transport.yieldToHost();
    transport.endWait();
    return hosted;
}

}  // namespace Norv
