// A transport that plays the host for the remoting tests: it records every
// request and every slot it is asked to use, in order, and answers each
// request with the next scripted answer (a body value, an error text, or a
// stream read in scripted pieces). Its release functions count their calls.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "remoting/remoting_call.h"
#include "tests/formats/value_text.h"

namespace Norv::RemotingTest {

// One read of a scripted stream: the bytes, the count reported (the bytes'
// size unless set), the more-data byte left behind and the success byte.
struct StreamPiece {
    std::string bytes;
    std::uint8_t more = 1;
    bool ok = true;
    std::uint32_t reported = UINT32_MAX;
};

struct FakeStream {
    std::vector<StreamPiece> pieces;
    std::size_t reads = 0;
    int releases = 0;
    std::vector<std::string>* trace = nullptr;

    static std::uint8_t NORV_CALL Read(void* self, std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more) {
        auto* stream = static_cast<FakeStream*>(self);
        if (stream->trace) stream->trace->push_back("read " + std::to_string(*count));
        if (stream->reads >= stream->pieces.size()) return 0;
        const StreamPiece& piece = stream->pieces[stream->reads++];
        const std::size_t copied = std::min<std::size_t>(piece.bytes.size(), *count);
        std::memcpy(buffer, piece.bytes.data(), copied);
        *count = piece.reported != UINT32_MAX ? piece.reported : static_cast<std::uint32_t>(copied);
        *more = piece.more;
        return piece.ok ? 1 : 0;
    }
    static void NORV_CALL Release(void* self) {
        auto* stream = static_cast<FakeStream*>(self);
        ++stream->releases;
        if (stream->trace) stream->trace->push_back("release stream");
    }
};

// What the host answers to one request.
struct Answer {
    bool sent = true;
    const char* error = nullptr;
    std::int32_t status = 200;
    BindingProperty body{};
    std::uint32_t bodyTag = UINT32_MAX;  // a tag to force on the written body
    FakeStream* stream = nullptr;
    std::uint32_t sizeHint = 0;
    std::uint8_t hasError = UINT8_MAX;  // a presence byte to force, apart from the error text
};

class FakeTransport : public RemotingTransport {
public:
    static inline int recordReleases = 0;

    bool send(HostResponseRecord& response, const HostRequestRecord& request) override {
        trace.push_back("send " + std::to_string(request.method) + " " + request.path);
        // "method path callerContext name=value...", an unnamed entry as "=value".
        std::string& seen = requests.emplace_back(std::to_string(request.method) + " " + request.path + " " +
                                                  std::to_string(request.callerContext));
        for (std::uint32_t i = 0; i < request.argumentCount; ++i) {
            BindingProperty value;
            HostResult failure{};
            readHostValue(failure, value, request.arguments[i].value, "argument");
            resetHostResult(failure);
            seen += " " + std::string(request.arguments[i].name ? request.arguments[i].name : "") + "=" +
                    Testing::ValueText(value);
        }
        if (answers.empty()) return false;
        Answer answer = std::move(answers.front());
        answers.pop_front();
        if (!answer.sent) return false;
        response.status = answer.status;
        if (answer.error) response.error = Memory::DuplicateString(answer.error);
        response.hasError = answer.hasError != UINT8_MAX ? answer.hasError : (answer.error ? 1 : 0);
        writeHostValue(response.body, answer.body);
        if (answer.bodyTag != UINT32_MAX) response.body.tag = answer.bodyTag;
        if (answer.stream) {
            answer.stream->trace = &trace;
            response.readStream = &FakeStream::Read;
            response.releaseStream = &FakeStream::Release;
            response.stream = answer.stream;
            response.streamSizeHint = answer.sizeHint;
        }
        response.release = &ReleaseRecord;
        return true;
    }
    void beginWait(const char* label, std::uint32_t flags) override {
        trace.push_back(std::string("BeginWait ") + label + " " + std::to_string(flags));
    }
    bool yieldToHost() override {
        trace.push_back("YieldToHost");
        return true;
    }
    void endWait() override { trace.push_back("EndWait"); }
    std::uint32_t callerContext() const override { return 0x5eed; }
    const BindingRegistry* registry() const override { return registry_; }

    void useRegistry(const BindingRegistry* registry) { registry_ = registry; }

    std::deque<Answer> answers;
    std::vector<std::string> requests;
    std::vector<std::string> trace;

private:
    static void NORV_CALL ReleaseRecord(HostResponseRecord* response) {
        ++recordReleases;
        resetHostValue(response->body);
        Memory::Release(const_cast<char*>(response->error));
        std::memset(static_cast<void*>(response), 0, sizeof(HostResponseRecord));
    }

    const BindingRegistry* registry_ = nullptr;
};

}  // namespace Norv::RemotingTest
