// Fuzz bytes play the host of a typed call: they script whether the request is
// taken, the response record it fills (error text, status, a body value tree
// with null pointers, false counts, unknown tags and deep nesting) and a
// streamed body read in pieces (short, empty, over-long counts, failures).
// Every call must end in a value or a RemotingError, call the record's release
// function exactly once and the stream's release function exactly once, keep
// BeginWait and EndWait paired, and never read past what the host handed out
// (ASan). The same bytes then fill and release a response record of the
// plugin's own, which must leave the allocation counters where they were.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "remoting/remoting_call.h"
#include "remoting/response_record.h"
#include "tests/binding/conversion_test_types.h"

namespace {

using namespace Norv;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ >= size_; }
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint64_t word() {
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i) value = value << 8 | byte();
        return value;
    }
    std::string text() {
        const std::size_t length = byte() % 24;
        std::string out;
        for (std::size_t i = 0; i < length && !empty(); ++i) out += static_cast<char>(byte());
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Everything a scripted record points to; it lives until the fuzz input ends.
struct HostMemory {
    std::deque<std::string> texts;
    std::deque<std::vector<HostValue>> arrays;
    std::deque<std::vector<HostValueMember>> members;

    const char* keep(std::string text) { return texts.emplace_back(std::move(text)).c_str(); }
};

HostValue Zero() {
    HostValue value;
    std::memset(&value, 0, sizeof value);
    return value;
}

HostValue BuildValue(Input& in, HostMemory& memory, int depth) {
    HostValue value = Zero();
    if (in.empty() || depth > 40) return value;
    const std::uint8_t op = in.byte();
    switch (op % 13) {
        case 0:
            return value;
        case 1:
            value.tag = HOST_VALUE_BOOL;
            value.payload.boolean = in.byte();
            return value;
        case 2:
        case 3:
        case 4:
            value.tag = op % 13;
            value.payload.unsignedNumber = in.word();
            return value;
        case 5:
        case 6: {
            value.tag = op % 13;
            const bool null = in.byte() % 4 == 0;
            value.payload.string.text = null ? nullptr : memory.keep(in.text());
            value.payload.string.length = in.byte();
            return value;
        }
        case 7:
        case 8: {
            value.tag = op % 13 == 7 ? HOST_VALUE_BLOB : HOST_VALUE_OWNED_BLOB;
            const std::string& bytes = memory.texts.emplace_back(in.text());
            const bool null = in.byte() % 4 == 0;
            value.payload.blob.bytes = null ? nullptr : reinterpret_cast<const std::uint8_t*>(bytes.data());
            value.payload.blob.count = null ? in.byte() : static_cast<std::uint32_t>(bytes.size());
            return value;
        }
        case 9: {
            value.tag = HOST_VALUE_COLLECTION;
            const std::uint32_t count = in.byte() % 5;
            if (count == 0) {
                value.payload.collection.count = in.byte() * 0x01010101u;  // null array, false count
                return value;
            }
            std::vector<HostValue>& items = memory.arrays.emplace_back();
            for (std::uint32_t i = 0; i < count; ++i) items.push_back(BuildValue(in, memory, depth + 1));
            value.payload.collection.items = items.data();
            value.payload.collection.count = count;
            return value;
        }
        case 10: {
            value.tag = HOST_VALUE_STRUCTURE;
            const std::uint32_t count = in.byte() % 5;
            if (count == 0) {
                value.payload.structure.count = in.byte() * 0x01010101u;
                return value;
            }
            std::vector<HostValueMember>& members = memory.members.emplace_back();
            for (std::uint32_t i = 0; i < count; ++i) {
                HostValueMember member;
                std::memset(&member, 0, sizeof member);
                member.key = in.byte() % 8 == 0 ? nullptr : memory.keep(in.text());
                member.value = BuildValue(in, memory, depth + 1);
                members.push_back(member);
            }
            value.payload.structure.members = members.data();
            value.payload.structure.count = count;
            return value;
        }
        case 11:
            value.tag = 11 + in.byte();
            return value;
        default: {
            // A chain of single-element collections, built without recursion.
            const std::size_t levels = 1 + in.byte() * 16u;
            std::vector<HostValue>& chain = memory.arrays.emplace_back(levels + 1, Zero());
            for (std::size_t i = 0; i < levels; ++i) {
                chain[i].tag = HOST_VALUE_COLLECTION;
                chain[i].payload.collection.items = &chain[i + 1];
                chain[i].payload.collection.count = 1;
            }
            return chain[0];
        }
    }
}

struct Piece {
    std::string bytes;
    std::uint32_t reported;
    std::uint8_t more;
    bool ok;
};

struct ScriptedStream {
    std::vector<Piece> pieces;
    std::size_t next = 0;
    int releases = 0;

    static std::uint8_t NORV_CALL Read(void* self, std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more) {
        auto* stream = static_cast<ScriptedStream*>(self);
        if (stream->releases != 0) __builtin_trap();  // read after release
        if (stream->next >= stream->pieces.size()) return 0;
        const Piece& piece = stream->pieces[stream->next++];
        const std::size_t copied = std::min<std::size_t>(piece.bytes.size(), *count);
        std::memcpy(buffer, piece.bytes.data(), copied);
        *count = piece.reported;
        *more = piece.more;
        return piece.ok ? 1 : 0;
    }
    static void NORV_CALL Release(void* self) { ++static_cast<ScriptedStream*>(self)->releases; }
};

int gRecordReleases = 0;

void NORV_CALL ReleaseRecord(HostResponseRecord*) {
    ++gRecordReleases;
}

class ScriptedHost : public RemotingTransport {
public:
    ScriptedHost(Input& in, HostMemory& memory, const BindingRegistry& registry)
        : in_(in), memory_(memory), registry_(registry) {}

    bool send(HostResponseRecord& response, const HostRequestRecord& request) override {
        ++sends;
        if (request.argumentCount != 0 && request.arguments == nullptr) __builtin_trap();
        const std::uint8_t script = in_.byte();
        if (script & 1) return false;
        if (script & 2) response.error = memory_.keep(in_.text());
        response.status = static_cast<std::int32_t>(in_.word());
        response.body = BuildValue(in_, memory_, 0);
        if (script & 4) {
            hasStream = true;
            const std::size_t count = in_.byte() % 8;
            for (std::size_t i = 0; i < count; ++i) {
                Piece piece;
                const std::uint8_t shape = in_.byte();
                piece.bytes = (shape & 1) ? std::string(4096, static_cast<char>(in_.byte())) : in_.text();
                switch (shape >> 1 & 3) {
                    case 0:
                        piece.reported = static_cast<std::uint32_t>(piece.bytes.size());
                        break;
                    case 1:
                        piece.reported = static_cast<std::uint32_t>(piece.bytes.size()) + 1;
                        break;
                    case 2:
                        piece.reported = 4097;
                        break;
                    default:
                        piece.reported = 0xFFFFFFFFu;
                }
                piece.more = shape >> 3 & 1;
                piece.ok = (shape >> 4 & 7) != 0;
                stream.pieces.push_back(std::move(piece));
            }
            response.readStream = &ScriptedStream::Read;
            response.releaseStream = &ScriptedStream::Release;
            response.stream = &stream;
            response.streamSizeHint = static_cast<std::uint32_t>(in_.word());
        }
        if (!(script & 8)) {
            hasRelease = true;
            response.release = &ReleaseRecord;
        }
        return true;
    }
    void beginWait(const char*, std::uint32_t) override {
        if (waiting) __builtin_trap();
        waiting = true;
    }
    bool yieldToHost() override {
        if (!waiting) __builtin_trap();
        return true;
    }
    void endWait() override {
        if (!waiting) __builtin_trap();
        waiting = false;
    }
    std::uint32_t callerContext() const override { return 7; }
    const BindingRegistry* registry() const override { return &registry_; }

    int sends = 0;
    bool hasStream = false;
    bool hasRelease = false;
    bool waiting = false;
    ScriptedStream stream;

private:
    Input& in_;
    HostMemory& memory_;
    const BindingRegistry& registry_;
};

const BindingRegistry& Registry() {
    static BindingRegistry* registry = [] {
        auto* made = new BindingRegistry();
        ConversionTest::RegisterConversionTypes(*made);
        return made;
    }();
    return *registry;
}

void Call(Input& in, HostMemory& memory) {
    ScriptedHost host(in, memory, Registry());
    gRecordReleases = 0;
    const std::uint8_t form = in.byte() % 4;
    const char* path = "/fuzz/path";
    bool failed = false;
    if (form == 0) {
        failed = RemotingCall(host, kMethodDelete, path).has_value();
    } else if (form == 1) {
        auto result = RemotingCallFor<BindingProperty>(host, kMethodGet, path);
        failed = !result.ok();
    } else if (form == 2) {
        auto result = RemotingCallFor<ConversionTest::Everything>(host, kMethodGet, path);
        failed = !result.ok();
        if (failed && result.error().message() == nullptr) __builtin_trap();
    } else {
        // Parameters of any shape, read from a record as the event callback would.
        const HostValue record = BuildValue(in, memory, 0);
        HostResult failure;
        std::memset(&failure, 0, sizeof failure);
        BindingProperty parameters;
        readHostValue(failure, parameters, record, "parameters");
        resetHostResult(failure);
        failed = RemotingCall(host, kMethodPost, path, parameters).has_value();
    }
    (void)failed;
    if (host.sends != 1) __builtin_trap();
    if (gRecordReleases != (host.hasRelease ? 1 : 0)) __builtin_trap();
    if (host.hasStream && host.stream.releases != 1) __builtin_trap();
    if (host.waiting) __builtin_trap();
}

class FuzzStream : public ResponseStream {
public:
    bool read(std::uint8_t*, std::uint32_t* count, std::uint8_t* more) override {
        *count = 0;
        *more = 0;
        return true;
    }
    std::uint32_t sizeHint() const override { return 1; }
};

void Fill(Input& in, HostMemory& memory) {
    const AllocationStatistics before = CurrentAllocationStatistics();
    {
        CallResult result;
        HostResult failure;
        std::memset(&failure, 0, sizeof failure);
        readHostValue(failure, result.body, BuildValue(in, memory, 0), "<result>");
        resetHostResult(failure);
        result.status = static_cast<std::int32_t>(in.word());
        result.flag = in.byte();
        result.kind = in.byte();
        result.contentType = in.text();
        const std::size_t headers = in.byte() % 6;
        for (std::size_t i = 0; i < headers; ++i) result.headers.emplace_back(in.text(), in.text());
        if (in.byte() & 1) result.bodyStream = std::make_unique<FuzzStream>();
        if (in.byte() & 1) result.setError(in.text());
        HostResponseRecord response;
        std::memset(&response, 0, sizeof response);
        PrepareResponse(response);
        if (in.byte() & 1) RecordResponseError(response, in.text());
        FillResponse(response, result, &Registry());
        if (response.releaseStream != nullptr) response.releaseStream(response.stream);
        // The first release zeroes the record, its release function included.
        const HostResponseReleaseFunction release = response.release;
        release(&response);
        release(&response);
    }
    const AllocationStatistics after = CurrentAllocationStatistics();
    if (after.Allocations() - before.Allocations() != after.Releases() - before.Releases()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    HostMemory memory;
    Call(in, memory);
    Fill(in, memory);
    return 0;
}
