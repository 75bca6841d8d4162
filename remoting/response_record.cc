#include "remoting/response_record.h"

#include <cstring>
#include <new>
#include <string>

#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "diagnostics/host_call_guard.h"

namespace Norv {
namespace {

// The content type of a record whose result has none; never freed.
constexpr char kNoContentType[] = "";

constexpr std::int32_t kStatusUnwritableBody = 400;

char* OwnedText(std::string_view text) {
    auto* copy = static_cast<char*>(Memory::Allocate(text.size() + 1));
    if (copy == nullptr) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void Release(const void* block) {
    Memory::Release(const_cast<void*>(block));
}

void ReleaseFields(HostResponseRecord& response) {
    resetHostValue(response.body);
    Release(response.error);
    if (response.contentType != kNoContentType) Release(response.contentType);
    if (response.headers != nullptr) {
        for (std::uint32_t i = 0; i < response.headerCount; ++i) {
            Release(response.headers[i].name);
            Release(response.headers[i].value);
        }
        Release(response.headers);
    }
    std::memset(static_cast<void*>(&response), 0, sizeof(HostResponseRecord));
}

// Every pair as it stands and in order: a repeated name (Set-Cookie, Link,
// Vary) is a header of its own, not a value to overwrite.
void CopyHeaders(HostResponseRecord& response, const CallResult& result) {
    const auto& headers = result.headers;
    if (headers.empty()) return;
    auto* pairs = static_cast<HostHeaderEntry*>(Memory::Allocate(headers.size() * sizeof(HostHeaderEntry)));
    if (pairs == nullptr) throw std::bad_alloc();
    std::memset(static_cast<void*>(pairs), 0, headers.size() * sizeof(HostHeaderEntry));
    // Counted as it grows, so a release after a failed copy frees what was made.
    response.headers = pairs;
    for (const auto& [name, value] : headers) {
        HostHeaderEntry& pair = pairs[response.headerCount++];
        pair.name = OwnedText(name);
        pair.value = OwnedText(value);
    }
}

}  // namespace

void NORV_CALL ReleaseResponse(HostResponseRecord* response) {
    GuardHostCall("ReleaseResponse", [&] {
        if (response != nullptr) ReleaseFields(*response);
    });
}

void PrepareResponse(HostResponseRecord& response) {
    // Only what this release function filled is ours to free; anything else in
    // the record came from the host and is merely cleared.
    if (response.release == &ReleaseResponse) {
        ReleaseFields(response);
    } else {
        std::memset(static_cast<void*>(&response), 0, sizeof(HostResponseRecord));
    }
    response.release = &ReleaseResponse;
}

void RecordResponseError(HostResponseRecord& response, std::string_view message) {
    resetHostValue(response.body);
    char* copy = OwnedText(message);
    Release(response.error);
    response.error = copy;
    response.hasError = 1;
    response.release = &ReleaseResponse;
}

void FillResponse(HostResponseRecord& response, CallResult& result, const BindingRegistry* registry) {
    response.release = &ReleaseResponse;
    if (!result.ok()) {
        RecordResponseError(response, result.errorMessage());
        response.status = result.status;
    } else {
        resetHostValue(response.body);
        try {
            writeHostValue(response.body, result.body, registry);
            response.status = result.status;
        } catch (const std::bad_alloc&) {
            resetHostValue(response.body);
            response.status = kStatusUnwritableBody;
        }
    }
    response.flag = result.flag;
    response.kind = result.kind >= 1 && result.kind <= 3 ? result.kind : 0;
    response.contentType = result.contentType.empty() ? kNoContentType : OwnedText(result.contentType);
    CopyHeaders(response, result);
    if (result.bodyStream) {
        response.readStream = &ReadResponseStream;
        response.releaseStream = &ReleaseResponseStream;
        response.streamSizeHint = result.bodyStream->sizeHint();
        response.reserved = 0;
        response.stream = result.bodyStream.release();
    }
}

std::uint8_t NORV_CALL ReadResponseStream(void* stream, std::uint8_t* buffer, std::uint32_t* count,
                                          std::uint8_t* more) {
    return GuardHostCall("ReadResponseStream", std::uint8_t{0}, [&]() -> std::uint8_t {
        if (stream == nullptr || buffer == nullptr || count == nullptr || more == nullptr) return 0;
        const std::uint32_t capacity = *count;
        if (!static_cast<ResponseStream*>(stream)->read(buffer, count, more)) return 0;
        return *count <= capacity ? 1 : 0;
    });
}

void NORV_CALL ReleaseResponseStream(void* stream) {
    GuardHostCall("ReleaseResponseStream", [&] { delete static_cast<ResponseStream*>(stream); });
}

}  // namespace Norv
