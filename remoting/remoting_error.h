// The error of one call into the host: a status code and a message. An empty
// std::optional<RemotingError> means the call succeeded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace Norv {

class RemotingError {
public:
    // The message is held either as an owned text or as a pointer to a static
    // NUL-terminated text, which may be null.
    RemotingError(std::int32_t code, std::string message) : code_(code), message_(std::move(message)) {}
    RemotingError(std::int32_t code, const char* staticMessage) : code_(code), message_(staticMessage) {}

    std::int32_t code() const { return code_; }

    // Null only for a static message that is null.
    const char* message() const {
        if (const std::string* owned = std::get_if<std::string>(&message_)) return owned->c_str();
        return std::get<const char*>(message_);
    }

private:
    std::int32_t code_;
    std::variant<std::string, const char*> message_;
};

// "message (code)", or the empty text when the message is null.
std::string FormatTextForm(const RemotingError& error);

// "Success" when empty, else the error's text form.
std::string FormatTextForm(const std::optional<RemotingError>& error);

}  // namespace Norv
