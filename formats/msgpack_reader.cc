#include "formats/msgpack_reader.h"

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>
#include <utility>

#include "binding/binding_limits.h"
#include "binding/small_stack.h"
#include "diagnostics/format.h"
#include "formats/element_stack.h"
#include "formats/recent_names.h"

namespace Norv {
namespace {

constexpr const char* kMapKeyNotString = "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr const char* kInvalidData = "Invalid MessagePack data at position %1.";
constexpr const char* kRawBytesTruncated =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
constexpr const char* kStringTruncated = "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr const char* kArrayTruncated = "Invalid MessagePack data. Array of size %1 at position %2 is truncated.";
constexpr const char* kMapTruncated = "Invalid MessagePack data. Map of size %1 at position %2 is truncated.";
constexpr const char* kInteger8Truncated = "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
constexpr const char* kInteger16Truncated =
    "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
constexpr const char* kInteger32Truncated =
    "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
constexpr const char* kInteger64Truncated =
    "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
constexpr const char* kTooDeep = "Invalid MessagePack data at position %1. Nesting is too deep (more than %2 levels).";

// What a format byte becomes. `width` is the size of the field that follows
// the format byte (payload, length or count); 0 when the byte itself says all.
enum class Action : std::uint8_t {
    Invalid,
    Nil,
    False,
    True,
    PositiveFixint,
    NegativeFixint,
    Unsigned,
    Signed,
    Float32,
    Float64,
    String,
    Blob,
    Array,
    Map,
};

struct FormatClass {
    Action action = Action::Invalid;
    std::uint8_t width = 0;
};

constexpr std::array<FormatClass, 256> MakeFormatTable() {
    std::array<FormatClass, 256> table{};  // 0xC1, ext and fixext stay Invalid
    for (int byte = 0x00; byte <= 0x7F; ++byte) table[byte] = {Action::PositiveFixint, 0};
    for (int byte = 0x80; byte <= 0x8F; ++byte) table[byte] = {Action::Map, 0};
    for (int byte = 0x90; byte <= 0x9F; ++byte) table[byte] = {Action::Array, 0};
    for (int byte = 0xA0; byte <= 0xBF; ++byte) table[byte] = {Action::String, 0};
    for (int byte = 0xE0; byte <= 0xFF; ++byte) table[byte] = {Action::NegativeFixint, 0};
    table[0xC0] = {Action::Nil, 0};
    table[0xC2] = {Action::False, 0};
    table[0xC3] = {Action::True, 0};
    table[0xC4] = {Action::Blob, 1};
    table[0xC5] = {Action::Blob, 2};
    table[0xC6] = {Action::Blob, 4};
    table[0xCA] = {Action::Float32, 4};
    table[0xCB] = {Action::Float64, 8};
    table[0xCC] = {Action::Unsigned, 1};
    table[0xCD] = {Action::Unsigned, 2};
    table[0xCE] = {Action::Unsigned, 4};
    table[0xCF] = {Action::Unsigned, 8};
    table[0xD0] = {Action::Signed, 1};
    table[0xD1] = {Action::Signed, 2};
    table[0xD2] = {Action::Signed, 4};
    table[0xD3] = {Action::Signed, 8};
    table[0xD9] = {Action::String, 1};
    table[0xDA] = {Action::String, 2};
    table[0xDB] = {Action::String, 4};
    table[0xDC] = {Action::Array, 2};
    table[0xDD] = {Action::Array, 4};
    table[0xDE] = {Action::Map, 2};
    table[0xDF] = {Action::Map, 4};
    return table;
}

constexpr std::array<FormatClass, 256> kFormatTable = MakeFormatTable();

const char* TruncatedIntegerMessage(std::uint8_t width) {
    switch (width) {
        case 1:
            return kInteger8Truncated;
        case 2:
            return kInteger16Truncated;
        case 4:
            return kInteger32Truncated;
        default:
            return kInteger64Truncated;
    }
}

class MessagePackReader {
public:
    MessagePackReader(const std::uint8_t* data, std::size_t length, BindingResult& result)
        : data_(data), length_(length), result_(result) {}

    std::size_t position() const { return position_; }

    void run() {
        // The value the next format byte fills; null when an open container must say.
        BindingProperty* slot = &result_.value;
        while (result_.ok() && position_ < length_) {
            bool keyExpected = false;
            if (slot == nullptr && !nextSlot(slot, keyExpected)) return;
            const std::uint8_t byte = data_[position_++];
            const FormatClass format = kFormatTable[byte];
            if (keyExpected) {
                readKey(byte, format);
            } else {
                readValue(*std::exchange(slot, nullptr), byte, format);
            }
        }
        if (!result_.ok()) return;
        // Data that ends before a container has all its items is cut short, not
        // a smaller container; the innermost one that misses items is named.
        for (std::size_t i = frames_.size(); i-- > 0;) {
            const Frame& frame = frames_[i];
            if (frame.index == frame.count) continue;
            fail(Format(frame.map ? kMapTruncated : kArrayTruncated, frame.map ? frame.count / 2 : frame.count,
                        frame.start));
            return;
        }
        // Arrays still open take their elements, innermost first, since it is an element of the next.
        while (!frames_.empty()) {
            closeFrame(frames_.back());
            frames_.pop_back();
        }
    }

private:
    // An open container. Scalars need no frame: they are read straight into
    // the element or member chosen for them.
    struct Frame {
        BindingProperty* target = nullptr;
        std::uint64_t count = 0;       // elements, or keys plus values
        std::uint64_t index = 0;       // items begun
        std::string_view key;          // points into the input
        std::size_t firstElement = 0;  // of an array whose elements wait in elements_
        std::size_t start = 0;         // where the items begin
        bool map = false;
        bool elementsAside = false;
        bool countReserved = false;  // of an array allocated at its count when opened
        bool row = false;            // an element of an array, or inside one
    };

    // Chooses the value the next item fills, or says that a key comes next;
    // false when the outermost value is complete.
    bool nextSlot(BindingProperty*& slot, bool& keyExpected) {
        while (!frames_.empty()) {
            Frame& frame = frames_.back();
            if (frame.index == frame.count) {
                closeFrame(frame);
                frames_.pop_back();
                continue;
            }
            ++frame.index;
            if (frame.elementsAside) {
                slot = &elements_.push(frame.target->tree());
            } else if (!frame.map) {
                slot = &frame.target->element(static_cast<std::size_t>(frame.index - 1));
            } else if (frame.index % 2 == 0) {
                BindingProperty& map = *frame.target;
                // Only within the rows of a list are keys likely to repeat those read before at their place.
                const InternedString* entry =
                    frame.row ? recentNames_.find(*map.tree().arena, frame.key, frames_.size(), frame.index / 2 - 1)
                              : nullptr;
                slot = entry != nullptr ? &map.memberInterned(*entry) : &map.member(frame.key);
            } else {
                keyExpected = true;
            }
            return true;
        }
        return false;
    }

    void closeFrame(Frame& frame) {
        if (frame.elementsAside) elements_.moveInto(*frame.target, frame.firstElement);
        frame.elementsAside = false;
        if (frame.countReserved) countsReserved_ -= frame.count;
        frame.countReserved = false;
    }

    void fail(const std::string& message) { result_.setError(message); }

    // Big-endian unsigned integer of 1, 2, 4 or 8 bytes.
    bool readUnsigned(std::uint8_t width, std::uint64_t& value) {
        if (length_ - position_ < width) {
            fail(Format(TruncatedIntegerMessage(width), position_));
            return false;
        }
        value = 0;
        for (std::uint8_t i = 0; i < width; ++i) value = (value << 8) | data_[position_ + i];
        position_ += width;
        return true;
    }

    // The length from the field that follows the format byte, or from the byte itself.
    bool readLength(std::uint8_t byte, FormatClass format, std::uint8_t fixMask, std::uint64_t& length) {
        if (format.width == 0) {
            length = byte & fixMask;
            return true;
        }
        return readUnsigned(format.width, length);
    }

    bool readString(std::uint8_t byte, FormatClass format, std::string_view& text) {
        std::uint64_t size = 0;
        if (!readLength(byte, format, 0x1F, size)) return false;
        if (size > length_ - position_) {
            fail(Format(kStringTruncated, size, position_));
            return false;
        }
        text = {reinterpret_cast<const char*>(data_ + position_), static_cast<std::size_t>(size)};
        position_ += static_cast<std::size_t>(size);
        return true;
    }

    void readKey(std::uint8_t byte, FormatClass format) {
        if (format.action != Action::String) {
            fail(Format(kMapKeyNotString, position_));
            return;
        }
        readString(byte, format, frames_.back().key);
    }

    void readValue(BindingProperty& target, std::uint8_t byte, FormatClass format) {
        std::uint64_t bits = 0;
        switch (format.action) {
            case Action::Invalid:
                fail(Format(kInvalidData, position_));
                return;
            case Action::Nil:
                target.reset();
                break;
            case Action::False:
                target = false;
                break;
            case Action::True:
                target = true;
                break;
            case Action::PositiveFixint:
                target = static_cast<std::int64_t>(byte);
                break;
            case Action::NegativeFixint:
                target = static_cast<std::int64_t>(static_cast<std::int8_t>(byte));
                break;
            case Action::Unsigned:
                if (!readUnsigned(format.width, bits)) return;
                target = bits;
                break;
            case Action::Signed: {
                if (!readUnsigned(format.width, bits)) return;
                const unsigned unused = 64 - 8 * format.width;
                // Sign-extend through an arithmetic shift of the two's-complement bits.
                target = static_cast<std::int64_t>(bits << unused) >> unused;
                break;
            }
            case Action::Float32:
                if (!readUnsigned(format.width, bits)) return;
                target = static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits)));
                break;
            case Action::Float64:
                if (!readUnsigned(format.width, bits)) return;
                target = std::bit_cast<double>(bits);
                break;
            case Action::String: {
                std::string_view text;
                if (!readString(byte, format, text)) return;
                target = text;
                break;
            }
            case Action::Blob: {
                if (!readUnsigned(format.width, bits)) return;
                if (bits > length_ - position_) {
                    fail(Format(kRawBytesTruncated, bits, position_));
                    return;
                }
                const std::size_t size = static_cast<std::size_t>(bits);
                target = std::span<const std::uint8_t>(data_ + position_, size);
                position_ += size;
                break;
            }
            case Action::Array:
            case Action::Map:
                openContainer(target, byte, format);
                return;
        }
    }

    void openContainer(BindingProperty& target, std::uint8_t byte, FormatClass format) {
        if (frames_.size() >= kMaxNestingDepth) {
            fail(Format(kTooDeep, position_, kMaxNestingDepth));
            return;
        }
        std::uint64_t count = 0;
        if (!readLength(byte, format, 0x0F, count)) return;
        const bool row = !frames_.empty() && (!frames_.back().map || frames_.back().row);
        Frame& frame = frames_.push_back({});
        frame.row = row;
        frame.target = &target;
        frame.map = format.action == Action::Map;
        frame.start = position_;
        if (frame.map) {
            target.makeStructure();
            frame.count = 2 * count;
        } else {
            target.makeCollection();
            frame.count = count;
            if (target.size() != 0) return;  // a repeated key's array: overwritten in place
            // Every element takes a byte at least. A new array whose count the
            // bytes left can hold, beside the counts of the arrays so opened
            // before it, is allocated at once and filled in place, so the room
            // counts reserve stays within the input. Otherwise its elements
            // wait aside and it is allocated once complete.
            if (countsReserved_ + count <= length_ - position_) {
                target.reserve(static_cast<std::size_t>(count));
                countsReserved_ += count;
                frame.countReserved = true;
            } else {
                frame.elementsAside = true;
                frame.firstElement = elements_.size();
            }
        }
    }

    const std::uint8_t* data_;
    std::size_t length_;
    std::size_t position_ = 0;
    BindingResult& result_;
    SmallStack<Frame, 16> frames_;
    ElementStack elements_;
    std::uint64_t countsReserved_ = 0;  // the counts of the open arrays allocated at their count
    RecentNames recentNames_;
};

}  // namespace

BindingResult ParseMessagePack(const void* data, std::size_t length, std::size_t& position) {
    BindingResult result;
    if (data == nullptr) length = 0;
    MessagePackReader reader(static_cast<const std::uint8_t*>(data), length, result);
    reader.run();
    position = reader.position();
    return result;
}

bool LooksLikeMessagePack(const void* data, std::size_t length) {
    if (data == nullptr || length == 0) return false;
    const std::uint8_t first = *static_cast<const std::uint8_t*>(data);
    return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

}  // namespace Norv
