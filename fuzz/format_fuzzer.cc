// Arbitrary format texts against a fixed mix of argument kinds, through Format
// and through FormatInto with small buffers sized exactly, so that a read or
// write past either end is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "diagnostics/format.h"
#include "remoting/remoting_error.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string format(reinterpret_cast<const char*>(data), size);
    const std::int32_t int32 = -12345;
    const std::uint64_t uint64 = 0xFEDCBA9876543210ULL;
    const double real = -1234.5678e-3;
    const char* text = "c-string";
    const char* nullText = nullptr;
    const std::string owned("owned\0hidden", 12);
    const std::optional<Norv::RemotingError> error = Norv::RemotingError(404, "Not found");

    const std::string full = Norv::Format(format.c_str(), int32, uint64, real, text, nullText, owned, error,
                                          std::optional<Norv::RemotingError>{});
    Check(full.size() <= 4095);

    for (const std::size_t capacity : {0, 1, 2, 7, 33}) {
        // Exactly the capacity, on the heap: one byte more is an overflow.
        std::unique_ptr<char[]> buffer(capacity == 0 ? nullptr : new char[capacity]);
        const std::size_t written = Norv::FormatInto(buffer.get(), capacity, format.c_str(), int32, uint64, real, text,
                                                     nullText, owned, error, std::optional<Norv::RemotingError>{});
        if (capacity == 0) {
            Check(written == 0);
            continue;
        }
        Check(written < capacity);
        Check(buffer[written] == '\0');
        // A smaller buffer gives a prefix of the same text.
        Check(full.compare(0, written, buffer.get(), written) == 0);
    }
    return 0;
}
