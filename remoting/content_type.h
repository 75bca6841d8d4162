// Content types and the two ways of recognising one: for a whole request body,
// and for one value given as text (with optional sniffing of the text itself).
// Recognition compares the beginning of the given type with a known name,
// ignoring case, so parameters such as a charset do not matter.
#pragma once

#include <cstdint>
#include <string_view>

namespace Norv {

inline constexpr std::string_view kContentTypeJson = "application/json";
inline constexpr std::string_view kContentTypeJsonApi = "application/vnd.api+json";
inline constexpr std::string_view kContentTypeYaml = "application/x-yaml";
inline constexpr std::string_view kContentTypeTextYaml = "text/x-yaml";
inline constexpr std::string_view kContentTypeMessagePack = "application/x-msgpack";
inline constexpr std::string_view kContentTypeMessagePackExt = "application/x-msgpack-ext";
inline constexpr std::string_view kContentTypeOctetStream = "application/octet-stream";

// What a body holds, as BodyContentType answers.
enum BodyContent : std::int32_t {
    kBodyUnrecognised = 0,
    kBodyJson = 1,
    kBodyYaml = 2,
    kBodyMessagePack = 3,
};

// Body recognition: MessagePack (either msgpack type), JSON (plain or JSON:API),
// YAML ("application/x-yaml" only), else unrecognised.
std::int32_t BodyContentType(std::string_view contentType);

// What one text value is to become.
enum class ValueContent : std::uint8_t { String, Json, Yaml, MessagePack, Blob };

// Value recognition. `sniff` lets the text itself decide, and only when
// `contentType` is empty: a MessagePack map or array header byte, '{' or '['
// after leading spaces for JSON, "---" after leading spaces for YAML. Unlike
// body recognition it knows "text/x-yaml" but neither "application/x-yaml" nor
// JSON:API, which stay strings.
ValueContent ValueContentType(std::string_view contentType, std::string_view text, bool sniff);

}  // namespace Norv
