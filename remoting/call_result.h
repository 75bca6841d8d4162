// What one call of an exposed function produced, before it is handed to the
// host as a response record: a status, a body value or a body stream, a
// content type and headers, or the error that stopped the call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/binding_property.h"

namespace Norv {

// A body the host reads in pieces. Owned by the call result, and by the
// response record once it has been filled.
class ResponseStream {
public:
    virtual ~ResponseStream() = default;
    // `count` holds the buffer's capacity and receives the bytes delivered;
    // `more` stays 1 while more data may follow. False on failure.
    virtual bool read(std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more) = 0;
    // Handed to the host beside the stream; the host reads it as a size hint.
    virtual std::uint32_t sizeHint() const = 0;
};

class CallResult {
public:
    bool ok() const noexcept { return ok_; }
    const std::string& errorMessage() const noexcept { return errorMessage_; }

    // Clears ok and drops the body stream. Only the first failure is kept: it
    // stops the steps that would have recorded the later ones.
    void setError(std::string_view message);

    std::int32_t status = 0;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    BindingProperty body;
    std::unique_ptr<ResponseStream> bodyStream;
    // Copied into the response record for the host to interpret.
    std::uint8_t flag = 0;
    std::uint32_t kind = 0;

private:
    bool ok_ = true;
    std::string errorMessage_;
};

}  // namespace Norv
