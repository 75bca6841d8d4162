#include "tests/support/host_answers.h"

#include "binding/host_value.h"
#include "remoting/request_method.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace Norv::Testing {

namespace {

std::atomic<std::uint64_t> releases{0};
std::atomic<std::uint64_t> streamReleases{0};

struct ChunkStream {
    std::vector<std::string> chunks;
    std::size_t next = 0;
};

std::uint8_t NORV_CALL ReadChunk(void* stream, std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more) {
    auto* chunks = static_cast<ChunkStream*>(stream);
    if (chunks->next >= chunks->chunks.size()) {
        *count = 0;
        *more = 0;
        return 1;
    }
    const std::string& chunk = chunks->chunks[chunks->next++];
    const std::size_t size = std::min<std::size_t>(chunk.size(), *count);
    std::memcpy(buffer, chunk.data(), size);
    *count = static_cast<std::uint32_t>(size);
    *more = chunks->next < chunks->chunks.size() ? 1 : 0;
    return 1;
}

void NORV_CALL ReleaseChunks(void* stream) {
    ++streamReleases;
    delete static_cast<ChunkStream*>(stream);
}

void NORV_CALL ReleaseHostResponse(HostResponseRecord* response) {
    ++releases;
    resetHostValue(response->body);
    std::free(const_cast<char*>(response->error));
    std::memset(static_cast<void*>(response), 0, sizeof *response);
}

}  // namespace

HostAnswer HostAnswer::Ok(BindingProperty body, std::int32_t status) {
    HostAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

HostAnswer HostAnswer::Status(std::int32_t status) {
    return Ok({}, status);
}

HostAnswer HostAnswer::Error(std::int32_t status, std::string text) {
    HostAnswer answer;
    answer.status = status;
    answer.failed = true;
    answer.error = std::move(text);
    return answer;
}

HostAnswer HostAnswer::Streamed(std::vector<std::string> chunks) {
    HostAnswer answer;
    answer.chunks = std::move(chunks);
    return answer;
}

void FillHostResponse(HostResponseRecord& response, const HostAnswer& answer) {
    writeHostValue(response.body, answer.body);
    response.status = answer.status;
    if (answer.failed) {
        char* error = static_cast<char*>(std::malloc(answer.error.size() + 1));
        std::memcpy(error, answer.error.c_str(), answer.error.size() + 1);
        response.error = error;
        response.hasError = 1;
    }
    response.release = &ReleaseHostResponse;
    if (!answer.chunks.empty()) {
        response.readStream = &ReadChunk;
        response.releaseStream = &ReleaseChunks;
        response.stream = new ChunkStream{answer.chunks, 0};
    }
}

std::uint64_t HostResponseReleases() {
    return releases.load();
}

std::uint64_t HostStreamReleases() {
    return streamReleases.load();
}

std::string DescribeRequest(const HostRequestRecord& request) {
    std::string text(MethodText(request.method));
    text += ' ';
    text += request.path == nullptr ? "(null)" : request.path;
    for (std::uint32_t i = 0; i < request.argumentCount && request.arguments != nullptr; ++i) {
        const HostArgumentEntry& entry = request.arguments[i];
        BindingProperty value;
        HostResult failure{};
        if (!readHostValue(failure, value, entry.value, "<argument>")) resetHostResult(failure);
        text += ' ';
        if (entry.name != nullptr) text += std::string(entry.name) + "=";
        text += value.toString();
    }
    return text;
}

void DeliverHostEvent(HostEventCallback callback, void* context, const char* eventName,
                      const BindingProperty& payload) {
    HostEventRecord record{};
    record.eventName = eventName;
    writeHostValue(record.payload, payload);
    record.context = context;
    callback(&record);
    resetHostValue(record.payload);
}

BindingProperty ResourceEventPayload(const std::string& uri, const char* eventType, const BindingProperty& data) {
    BindingProperty payload;
    payload.member("uri") = uri;
    payload.member("eventType") = std::string(eventType);
    payload.member("data") = data;
    return payload;
}

}  // namespace Norv::Testing
