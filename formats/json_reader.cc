#include "formats/json_reader.h"

#include <rapidjson/reader.h>

#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "binding/binding_limits.h"
#include "binding/small_stack.h"
#include "diagnostics/format.h"
#include "formats/element_stack.h"
#include "formats/recent_names.h"

namespace Norv {
namespace {

constexpr const char* kSyntaxErrorFormat = "Error: %s at offset %u.";
// The English text of each RapidJSON error code, as callers have always seen them.
constexpr const char* kErrorTexts[] = {
    "No error.",
    "The document is empty.",
    "The document root must not follow by other values.",
    "Invalid value.",
    "Missing a name for object member.",
    "Missing a colon after a name of object member.",
    "Missing a comma or '}' after an object member.",
    "Missing a comma or ']' after an array element.",
    "Incorrect hex digit after \\u escape in string.",
    "The surrogate pair in string is invalid.",
    "Invalid escape character in string.",
    "Missing a closing quotation mark in string.",
    "Invalid encoding in string.",
    "Number too big to be stored in double.",
    "Miss fraction part in number.",
    "Miss exponent in number.",
    "Terminate parsing due to Handler error.",
    "Unspecific syntax error.",
};
constexpr const char* kUnknownErrorText = "Unknown error.";
constexpr const char* kTooDeepFormat = "Error: Nesting is too deep (more than %1 levels) at offset %2.";

// The reader recurses once per nesting level; the builder's depth limit stops
// it long before the C stack is at risk. Strings are decoded through the
// in-place stream below rather than the reader's own stack, whose first use
// does arithmetic on a null pointer in this RapidJSON. The text itself is
// never written, and values, errors and offsets are those of the default
// stream and flags.
constexpr unsigned kParseFlags = rapidjson::kParseDefaultFlags | rapidjson::kParseInsituFlag;

// Reads the text, which stays untouched, and decodes each string into a
// scratch buffer that every string starts again from. A decoded string is
// never longer than its source, so a buffer of the text's length is enough.
class DecodingStream {
public:
    using Ch = char;

    DecodingStream(const char* text, char* scratch) noexcept : begin_(text), source_(text), scratch_(scratch) {}

    Ch Peek() const noexcept { return *source_; }
    Ch Take() noexcept { return *source_++; }
    std::size_t Tell() const noexcept { return static_cast<std::size_t>(source_ - begin_); }

    Ch* PutBegin() noexcept {
        stringSource_ = source_;
        return output_ = scratch_;
    }
    void Put(Ch c) noexcept { *output_++ = c; }
    void Flush() noexcept {}
    std::size_t PutEnd(Ch* begin) noexcept { return static_cast<std::size_t>(output_ - begin); }

    // The string just read, `length` bytes decoded at `decoded`: its own
    // bytes in the text when it held no escape (every escape decodes
    // shorter), since reading back a copy just written a byte at a time
    // waits for those stores on every name compared or text hashed.
    const char* settled(const char* decoded, std::size_t length) const noexcept {
        // The reader has taken the closing quote.
        return static_cast<std::size_t>(source_ - 1 - stringSource_) == length ? stringSource_ : decoded;
    }

private:
    const char* begin_;
    const char* source_;
    const char* stringSource_ = nullptr;  // just past the opening quote of the string being read
    char* scratch_;
    char* output_ = nullptr;
};

// RapidJSON SAX handler: tokenizer events in, tree out. It never sees raw text.
class JsonValueBuilder {
public:
    // `mayHoldNul`: whether a string of the text can decode to one holding a
    // NUL; only the escape "\u0000" makes one, and most texts have none.
    JsonValueBuilder(BindingProperty& root, const DecodingStream& stream, bool mayHoldNul)
        : current_(&root), stream_(stream), mayHoldNul_(mayHoldNul) {}

    bool tooDeep() const { return tooDeep_; }

    bool Null() {
        target();
        return true;
    }
    bool Bool(bool value) { return set(value); }
    bool Int(int value) { return set(static_cast<std::int64_t>(value)); }
    bool Uint(unsigned value) { return set(static_cast<std::uint64_t>(value)); }
    bool Int64(std::int64_t value) { return set(value); }
    bool Uint64(std::uint64_t value) { return set(value); }
    bool Double(double value) { return set(value); }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return true; }  // not with our flags
    bool String(const char* text, rapidjson::SizeType length, bool) { return set(upToNul(text, length)); }

    bool StartObject() { return open(false); }
    bool Key(const char* name, rapidjson::SizeType length, bool) {
        Container& innermost = containers_.back();
        BindingProperty& object = *innermost.value;
        const std::string_view text = upToNul(name, length);
        // Only within the rows of a list are keys likely to repeat those read before at their place.
        const InternedString* entry =
            innermost.row ? recentNames_.find(*object.tree().arena, text, containers_.size(), innermost.keys++)
                          : nullptr;
        current_ = entry != nullptr ? &object.memberInterned(*entry) : &object.member(text);
        return true;
    }
    bool EndObject(rapidjson::SizeType) { return close(); }
    bool StartArray() { return open(true); }
    bool EndArray(rapidjson::SizeType) { return close(); }

private:
    struct Container {
        BindingProperty* value;
        std::size_t firstElement;  // in elements_, for a Collection
        std::size_t keys;          // read so far, for a Structure
        bool collection;
        bool row;  // an element of a Collection, or inside one
    };

    // A string as read, taken from the text where it can be; texts and names
    // end at their first NUL (a "\u0000" escape included).
    std::string_view upToNul(const char* decoded, rapidjson::SizeType length) const {
        const char* text = stream_.settled(decoded, length);
        if (!mayHoldNul_) return {text, length};
        const void* nul = std::memchr(text, '\0', length);
        return {text, nul == nullptr ? length : static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
    }

    // Inside an array every value is a new element; inside an object the key
    // has already chosen the member.
    BindingProperty& target() {
        if (!containers_.empty() && containers_.back().collection) {
            current_ = &elements_.push(containers_.back().value->tree());
        }
        return *current_;
    }

    template <class T>
    bool set(T value) {
        target() = value;
        return true;
    }

    bool open(bool collection) {
        if (containers_.size() >= kMaxNestingDepth) {
            tooDeep_ = true;
            return false;
        }
        const bool row = !containers_.empty() && (containers_.back().collection || containers_.back().row);
        BindingProperty& value = target();
        if (collection) {
            value.makeCollection();
        } else {
            value.makeStructure();
        }
        containers_.push_back({&value, elements_.size(), 0, collection, row});
        return true;
    }

    bool close() {
        const Container& closed = containers_.back();
        if (closed.collection) elements_.moveInto(*closed.value, closed.firstElement);
        containers_.pop_back();
        return true;
    }

    BindingProperty* current_;
    const DecodingStream& stream_;
    SmallStack<Container, 16> containers_;
    ElementStack elements_;
    RecentNames recentNames_;
    bool mayHoldNul_;
    bool tooDeep_ = false;
};

// `input` ends at the text's terminating NUL or past an earlier one; the
// reader stops at the first either way.
BindingResult ParseText(std::string_view input) {
    BindingResult result;
    // A small document's strings decode on the stack.
    char localScratch[4096];
    std::unique_ptr<char[]> heapScratch;
    char* scratch = localScratch;
    if (input.size() >= sizeof(localScratch)) {
        heapScratch.reset(new char[input.size() + 1]);
        scratch = heapScratch.get();
    }
    DecodingStream stream(input.data(), scratch);
    JsonValueBuilder builder(result.value, stream, input.find("\\u0000") != std::string_view::npos);
    rapidjson::Reader reader;
    const rapidjson::ParseResult parsed = reader.Parse<kParseFlags>(stream, builder);
    if (!parsed) {
        const rapidjson::ParseErrorCode code = parsed.Code();
        std::size_t offset = parsed.Offset();
        switch (code) {
            case rapidjson::kParseErrorDocumentEmpty:
                result.value.reset();
                return result;
            case rapidjson::kParseErrorObjectMissColon:
            case rapidjson::kParseErrorObjectMissCommaOrCurlyBracket:
            case rapidjson::kParseErrorArrayMissCommaOrSquareBracket:
                // These are reported one past the character found in place of the
                // expected one, as callers have always seen them.
                ++offset;
                break;
            case rapidjson::kParseErrorTermination:
                if (builder.tooDeep()) {
                    // The reader stops just past the bracket opening the level too many.
                    result.setError(Format(kTooDeepFormat, kMaxNestingDepth, offset - 1));
                    return result;
                }
                break;
            default:
                break;
        }
        const std::size_t index = static_cast<std::size_t>(code);
        const char* text = index < std::size(kErrorTexts) ? kErrorTexts[index] : kUnknownErrorText;
        result.setError(Format(kSyntaxErrorFormat, text, offset));
    }
    return result;
}

}  // namespace

BindingResult ParseJson(const char* text) {
    return ParseText(text == nullptr ? "" : text);
}

BindingResult ParseJson(const std::string& text) {
    // The size is known, so the text is not measured again.
    return ParseText(text);
}

bool LooksLikeJson(const char* text) {
    if (text == nullptr) return false;
    while (*text == ' ') ++text;
    return *text == '{' || *text == '[';
}

}  // namespace Norv
