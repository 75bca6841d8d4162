#include "remoting/content_type.h"

namespace Norv {
namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(std::string_view contentType, std::string_view known) {
    if (contentType.size() < known.size()) return false;
    for (std::size_t i = 0; i < known.size(); ++i) {
        if (AsciiLower(contentType[i]) != known[i]) return false;
    }
    return true;
}

std::string_view AfterSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

bool LooksLikeMessagePack(std::string_view text) {
    if (text.empty()) return false;
    const auto first = static_cast<unsigned char>(text.front());
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace

std::int32_t BodyContentType(std::string_view contentType) {
    if (StartsWith(contentType, kContentTypeMessagePack)) return kBodyMessagePack;
    if (StartsWith(contentType, kContentTypeJson) || StartsWith(contentType, kContentTypeJsonApi)) return kBodyJson;
    if (StartsWith(contentType, kContentTypeYaml)) return kBodyYaml;
    return kBodyUnrecognised;
}

ValueContent ValueContentType(std::string_view contentType, std::string_view text, bool sniff) {
    sniff = sniff && contentType.empty();
    const std::string_view trimmed = sniff ? AfterSpaces(text) : std::string_view();
    if (StartsWith(contentType, kContentTypeMessagePack) || (sniff && LooksLikeMessagePack(text))) {
        return ValueContent::MessagePack;
    }
    if (StartsWith(contentType, kContentTypeJson) ||
        (sniff && !trimmed.empty() && (trimmed.front() == '{' || trimmed.front() == '['))) {
        return ValueContent::Json;
    }
    if (StartsWith(contentType, kContentTypeTextYaml) || (sniff && trimmed.starts_with("---"))) {
        return ValueContent::Yaml;
    }
    if (StartsWith(contentType, kContentTypeOctetStream)) return ValueContent::Blob;
    return ValueContent::String;
}

}  // namespace Norv
