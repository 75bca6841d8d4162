// Fuzz bytes drive a small builder of BindingProperty trees, which are then
// assigned to a registered structure using every field kind, converted back,
// assigned again, and sent through a host value record. No crash, leak or
// undefined behaviour; a tree that converted once must convert again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "binding/assign_value.h"
#include "binding/host_value.h"
#include "binding/to_value.h"
#include "tests/binding/conversion_test_types.h"

namespace {

using namespace Norv;
using namespace Norv::ConversionTest;

// Member names the structure knows, so that fuzzing reaches every field.
constexpr std::string_view kNames[] = {
    "flag",         "i8",    "u8",    "i16",    "u16",    "i32",     "u32",    "i64",           "u64",
    "f32",          "f64",   "text",  "object", "blob",   "shade",   "level",  "state",         "origin",
    "numbers",      "flags", "words", "points", "shades", "weights", "places", "optionalCount", "optionalNote",
    "optionalPath", "x",     "y",     "home",   "",
};

// Texts that the parse rules treat specially.
constexpr std::string_view kTexts[] = {
    "",
    "0",
    "1",
    "true",
    "false",
    "0x10",
    "010",
    " 12",
    "12 ",
    "-1",
    " -1",
    "-0",
    "1e400",
    "1e-400",
    "inf",
    "nan",
    "0x1p-1074",
    "Dark",
    "Light",
    "Succeeded",
    "High",
    "YWJj",
    "YW Jj",
    "-9223372036854775808",
    "18446744073709551616",
    "4294967300",
    "3.5",
    "Running",
};

const StaticTypeInfo* const kEnumTypes[] = {&StaticType::Identity<Shade>(), &StaticType::Identity<Level>(),
                                            &StaticType::Identity<BindingAsyncState>(), nullptr};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    template <class T>
    T word() {
        std::uint8_t bytes[sizeof(T)] = {};
        for (std::uint8_t& b : bytes) b = byte();
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    std::string_view bytes(std::size_t count) {
        count = std::min(count, size_ - position_);
        std::string_view view(reinterpret_cast<const char*>(data_ + position_), count);
        position_ += count;
        return view;
    }
    bool done() const { return position_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

void Build(Reader& in, BindingProperty& out, int depth) {
    const std::uint8_t op = in.byte();
    switch (op % 12) {
        case 0:
            out.reset();
            return;
        case 1:
            out = (in.byte() & 1) != 0;
            return;
        case 2:
            out = in.word<std::int64_t>();
            return;
        case 3:
            out = in.word<std::uint64_t>();
            return;
        case 4:
            out = in.word<double>();
            return;
        case 5:
            out = kTexts[in.byte() % std::size(kTexts)];
            return;
        case 6:
            out = in.bytes(in.byte() % 16);
            return;
        case 7: {
            BindingBlob blob;
            for (char c : in.bytes(in.byte() % 8)) blob.push_back(static_cast<std::uint8_t>(c));
            out = std::move(blob);
            return;
        }
        case 8: {
            const std::int32_t value = static_cast<std::int8_t>(in.byte());
            out = BindingEnum{value, kEnumTypes[in.byte() % std::size(kEnumTypes)]};
            return;
        }
        case 9:
            out = static_cast<std::int64_t>(static_cast<std::int8_t>(in.byte()));
            return;
        case 10: {
            out.makeCollection();
            const int count = depth < 6 ? in.byte() % 6 : 0;
            for (int i = 0; i < count && !in.done(); ++i) Build(in, out.append(), depth + 1);
            return;
        }
        default: {
            out.makeStructure();
            const int count = depth < 6 ? in.byte() % 12 : 0;
            for (int i = 0; i < count && !in.done(); ++i) {
                const std::string_view name = kNames[in.byte() % std::size(kNames)];
                Build(in, out.member(name), depth + 1);
            }
            return;
        }
    }
}

const BindingRegistry& Registry() {
    static BindingRegistry* const registry = [] {
        auto* created = new BindingRegistry();
        RegisterConversionTypes(*created);
        return created;
    }();
    return *registry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const BindingRegistry& registry = Registry();
    Reader in(data, size);
    BindingProperty input;
    Build(in, input, 0);

    Everything target;
    BindingResult assigned;
    assignStruct(assigned, target, input, registry, "<value>");
    if (!assigned.ok() && assigned.error().empty()) std::abort();

    BindingProperty produced;
    std::string error;
    if (!structToValue(produced, target, registry, &error)) std::abort();

    // What was produced from a native value converts back without complaint.
    if (assigned.ok()) {
        Everything again;
        BindingResult reassigned;
        assignStruct(reassigned, again, produced, registry, "<value>");
        if (!reassigned.ok()) std::abort();
    }

    HostValue record;
    std::memset(&record, 0, sizeof record);
    writeHostValue(record, input, &registry);
    HostResult failure;
    std::memset(&failure, 0, sizeof failure);
    BindingProperty back;
    if (!readHostValue(failure, back, record, "<value>")) std::abort();
    resetHostValue(record);
    resetHostResult(failure);
    return 0;
}
