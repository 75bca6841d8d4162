#include "tests/support/fake_host.h"

#include "formats/base64.h"
#include "remoting/request_method.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <deque>
#include <iterator>

namespace Norv::Testing {

namespace {

// Nesting and lengths a description shows before it cuts the value short:
// a transcript line stays readable whatever the plugin sends.
constexpr int kDescribedDepth = 32;
constexpr std::uint32_t kDescribedItems = 32;
constexpr std::size_t kDescribedText = 256;
constexpr const char* kAnswerContentType = "application/json";

std::string Hex(std::uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, value);
    return text;
}

std::string Pointer(const void* pointer) {
    return Hex(reinterpret_cast<std::uintptr_t>(pointer));
}

void AppendQuoted(std::string& out, std::string_view text, std::size_t limit) {
    out += '"';
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == limit) {
            out += "...";
            break;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
}

std::string Quoted(const std::string& text) {
    std::string out;
    AppendQuoted(out, text, kDescribedText);
    return out;
}

template <class Number>
void AppendNumber(std::string& out, Number number) {
    char buffer[40];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, number).ptr);
}

// Up to kDescribedItems items between `open` and `close`, each written by `each`.
template <class Each>
void AppendItems(std::string& out, std::uint32_t count, char open, char close, Each each) {
    out += open;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i != 0) out += ", ";
        if (i == kDescribedItems) {
            out += "...";
            break;
        }
        each(i);
    }
    out += close;
}

void AppendHostValue(std::string& out, const HostValue& value, int depth) {
    if (depth > kDescribedDepth) {
        out += "...";
        return;
    }
    switch (value.tag) {
        case HOST_VALUE_EMPTY:
            out += "empty";
            return;
        case HOST_VALUE_BOOL:
            out += value.payload.boolean ? "true" : "false";
            return;
        case HOST_VALUE_SIGNED:
            AppendNumber(out, static_cast<std::int64_t>(value.payload.signedNumber));
            return;
        case HOST_VALUE_UNSIGNED:
            AppendNumber(out, static_cast<std::uint64_t>(value.payload.unsignedNumber));
            return;
        case HOST_VALUE_FLOAT:
            AppendNumber(out, static_cast<double>(value.payload.floatNumber));
            return;
        case HOST_VALUE_STRING:
        case HOST_VALUE_OWNED_STRING: {
            const char* text = value.payload.string.text;
            AppendQuoted(out, text == nullptr ? std::string_view() : std::string_view(text), kDescribedText);
            return;
        }
        case HOST_VALUE_BLOB:
        case HOST_VALUE_OWNED_BLOB: {
            std::uint32_t count = value.payload.blob.bytes == nullptr ? 0 : value.payload.blob.count;
            out += "blob of " + std::to_string(count) + " bytes";
            return;
        }
        case HOST_VALUE_COLLECTION: {
            const HostValue* items = value.payload.collection.items;
            AppendItems(out, items == nullptr ? 0 : value.payload.collection.count, '[', ']',
                        [&](std::uint32_t i) { AppendHostValue(out, items[i], depth + 1); });
            return;
        }
        case HOST_VALUE_STRUCTURE: {
            const HostValueMember* members = value.payload.structure.members;
            AppendItems(out, members == nullptr ? 0 : value.payload.structure.count, '{', '}', [&](std::uint32_t i) {
                out += members[i].key == nullptr ? "(null)" : members[i].key;
                out += ": ";
                AppendHostValue(out, members[i].value, depth + 1);
            });
            return;
        }
        default:
            out += "tag " + std::to_string(value.tag);
            return;
    }
}

void AppendJson(std::string& out, const BindingProperty& value) {
    switch (value.kind()) {
        case BindingValueKind::Empty:
            out += "null";
            return;
        case BindingValueKind::Bool:
            out += value.getBool() ? "true" : "false";
            return;
        case BindingValueKind::Signed:
            AppendNumber(out, value.getSigned());
            return;
        case BindingValueKind::Unsigned:
            AppendNumber(out, value.getUnsigned());
            return;
        case BindingValueKind::Float:
            AppendNumber(out, value.getFloat());
            return;
        case BindingValueKind::Enum:
            AppendNumber(out, value.getEnum().value);
            return;
        case BindingValueKind::String:
            AppendQuoted(out, value.getString(), std::string_view::npos);
            return;
        case BindingValueKind::Blob: {
            const BindingBlob& bytes = value.getBlob();
            AppendQuoted(out, Base64Encode(bytes.data(), bytes.size()), std::string_view::npos);
            return;
        }
        case BindingValueKind::Collection: {
            out += '[';
            const char* separator = "";
            for (const BindingProperty& element : value.elements()) {
                out += separator;
                AppendJson(out, element);
                separator = ",";
            }
            out += ']';
            return;
        }
        case BindingValueKind::Structure: {
            out += '{';
            const char* separator = "";
            for (const BindingMember& member : value.members()) {
                out += separator;
                AppendQuoted(out, member.name, std::string_view::npos);
                out += ':';
                AppendJson(out, member.value);
                separator = ",";
            }
            out += '}';
            return;
        }
    }
}

std::string MethodName(const HostRequestRecord& request) {
    if (request.method == kMethodNamed) return request.methodName == nullptr ? "(unnamed)" : request.methodName;
    std::string_view name = MethodText(request.method);
    return name.empty() ? "method " + std::to_string(request.method) : std::string(name);
}

std::string DescribeArguments(const HostRequestRecord& request) {
    if (request.arguments == nullptr || request.argumentCount == 0) return {};
    std::string out;
    AppendItems(out, request.argumentCount, '(', ')', [&](std::uint32_t i) {
        const HostArgumentEntry& entry = request.arguments[i];
        if (entry.name != nullptr) out.append(entry.name).append(": ");
        AppendHostValue(out, entry.value, 0);
    });
    return out;
}

// A value as records in the host's own memory: texts and blobs are borrowed
// from storage kept here, arrays are the host's. Nothing is the plugin's to free.
class HostTree {
public:
    explicit HostTree(const BindingProperty& value) { Build(root_, value); }
    const HostValue& Root() const { return root_; }

private:
    void Build(HostValue& target, const BindingProperty& value) {
        target = HostValue{};
        switch (value.kind()) {
            case BindingValueKind::Empty:
                return;
            case BindingValueKind::Bool:
                target.tag = HOST_VALUE_BOOL;
                target.payload.boolean = value.getBool() ? 1 : 0;
                return;
            case BindingValueKind::Signed:
                target.tag = HOST_VALUE_SIGNED;
                target.payload.signedNumber = value.getSigned();
                return;
            case BindingValueKind::Enum:
                target.tag = HOST_VALUE_SIGNED;
                target.payload.signedNumber = value.getEnum().value;
                return;
            case BindingValueKind::Unsigned:
                target.tag = HOST_VALUE_UNSIGNED;
                target.payload.unsignedNumber = value.getUnsigned();
                return;
            case BindingValueKind::Float:
                target.tag = HOST_VALUE_FLOAT;
                target.payload.floatNumber = value.getFloat();
                return;
            case BindingValueKind::String: {
                const std::string& text = texts_.emplace_back(value.getString());
                target.tag = HOST_VALUE_STRING;
                target.payload.string.text = text.c_str();
                target.payload.string.length = static_cast<std::uint32_t>(text.size());
                return;
            }
            case BindingValueKind::Blob: {
                const BindingBlob& bytes = blobs_.emplace_back(value.getBlob());
                target.tag = HOST_VALUE_BLOB;
                target.payload.blob.bytes = bytes.data();
                target.payload.blob.count = static_cast<std::uint32_t>(bytes.size());
                return;
            }
            case BindingValueKind::Collection: {
                std::vector<HostValue>& items = elements_.emplace_back(value.size());
                std::size_t i = 0;
                for (const BindingProperty& element : value.elements()) Build(items[i++], element);
                target.tag = HOST_VALUE_COLLECTION;
                target.payload.collection.items = items.data();
                target.payload.collection.count = static_cast<std::uint32_t>(items.size());
                return;
            }
            case BindingValueKind::Structure: {
                std::vector<HostValueMember>& members = members_.emplace_back(value.size());
                std::size_t i = 0;
                for (const BindingMember& member : value.members()) {
                    HostValueMember& entry = members[i++];
                    entry.key = texts_.emplace_back(member.name).c_str();
                    entry.ownsKey = 0;
                    Build(entry.value, member.value);
                }
                target.tag = HOST_VALUE_STRUCTURE;
                target.payload.structure.members = members.data();
                target.payload.structure.count = static_cast<std::uint32_t>(members.size());
                return;
            }
        }
    }

    HostValue root_{};
    std::deque<std::string> texts_;
    std::deque<BindingBlob> blobs_;
    std::deque<std::vector<HostValue>> elements_;
    std::deque<std::vector<HostValueMember>> members_;
};

constexpr std::uint32_t kAnswerMagic = 0x48535741;  // "AWSH"
constexpr std::uint32_t kReadsWithoutYieldBound = 16;

}  // namespace

// One response handed out. The release function receives nothing but the
// record, so the host finds its block from the content-type text it handed
// out: that text is the block's first member. The stream object is the block too.
struct FakeHost::AnswerBlock {
    char contentType[24];
    std::uint32_t magic;
    FakeHost* owner;
    std::uint32_t number;
    bool responseLive;
    bool streamLive;
    std::uint32_t streamChunk;
    std::size_t streamPosition;
    std::string* streamText;
    bool streamOnYield;
    std::uint32_t yieldsAtLastData;
    std::uint32_t readsWithoutYield;
    std::string* error;
    HostTree* body;
};

const char* HostSlotName(int slot) {
    static constexpr const char* kNames[] = {
        "SendRequest", "HostSlot1", "HostSlot2", "SubscribeEvent",  "UnsubscribeEvent", "HostSlot5",     "YieldToHost",
        "BeginWait",   "EndWait",   "WriteLog",  "ReleaseResponse", "ReadStream",       "ReleaseStream", "Event"};
    return slot >= 0 && slot < static_cast<int>(std::size(kNames)) ? kNames[slot] : "?";
}

std::string DescribeHostCall(const HostCall& call) {
    std::string line = HostSlotName(call.slot);
    switch (call.slot) {
        case 0:
            if (call.path.empty() && call.method == 0) {
                line += "(response " + Pointer(call.response) + ", request " + Pointer(call.request) + ")";
            } else {
                line += " " + (call.method == kMethodNamed ? call.text : std::string(MethodText(call.method))) + " " +
                        call.path;
                if (!call.arguments.empty()) line += " " + call.arguments;
            }
            break;
        case 1:
        case 2:
        case 5: {
            line += "(";
            for (std::size_t i = 0; i < call.words.size(); ++i) line += (i == 0 ? "" : ", ") + Hex(call.words[i]);
            if (call.slot == 5) line += ", " + std::to_string(call.value);
            line += ")";
            break;
        }
        case 3:
            line += "(" + Quoted(call.text) + ", handle " + std::to_string(call.hostHandle) + ", flags " +
                    std::to_string(call.flags) + ")";
            break;
        case 4:
            line += "(" + Quoted(call.text) + ", handle " + std::to_string(call.hostHandle) + ")";
            break;
        case 7:
            line += "(" + Quoted(call.text) + ", flags " + std::to_string(call.flags) + ")";
            break;
        case 9:
            line += "(level " + std::to_string(call.level) + ", " + Quoted(call.text) + ")";
            break;
        case kReleaseResponseSlot:
        case kReleaseStreamSlot:
            line += "(answer " + std::to_string(call.answerNumber) + ")" + (call.text.empty() ? "" : " " + call.text);
            break;
        case kDeliverEventSlot:
            line +=
                "(" + Quoted(call.text) + ", " + call.arguments + ")" + (call.answer.empty() ? "" : " " + call.answer);
            break;
        case kReadStreamSlot:
            line += "(answer " + std::to_string(call.answerNumber) + ", capacity " + std::to_string(call.capacity) +
                    ") -> " +
                    (call.text.empty() ? std::to_string(call.delivered) + " bytes, more " + std::to_string(call.more)
                                       : call.text);
            break;
        default:
            line += "()";
            break;
    }
    return line;
}

std::string DescribeHostValue(const HostValue& value) {
    std::string out;
    AppendHostValue(out, value, 0);
    return out;
}

std::string JsonText(const BindingProperty& value) {
    std::string out;
    AppendJson(out, value);
    return out;
}

FakeHost::FakeHost(std::uint32_t hostHandle) : binding_{}, interface_{&binding_.functions, hostHandle} {
    binding_.owner = this;
    HostFunctionTable& table = binding_.functions;
    table.SendRequest = [](HostFunctionTable* self, HostResponseRecord* response,
                           const HostRequestRecord* request) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 0;
        call.response = response;
        call.request = request;
        std::uint32_t result = 0;
        if (host.requestHandler_) {
            result = host.requestHandler_(response, request);
        } else if (host.answering_ && request != nullptr) {
            call.method = request->method;
            call.path = request->path == nullptr ? "" : request->path;
            call.arguments = DescribeArguments(*request);
            if (request->method == kMethodNamed) call.text = MethodName(*request);
            if (response == nullptr) {
                call.answer = "nothing: no response record";
            } else {
                host.FillAnswer(call, *response);
                result = 1;
            }
        }
        host.Record(std::move(call));
        return result;
    };
    table.HostSlot1 = [](HostFunctionTable* self, std::uintptr_t first, std::uintptr_t second) -> std::uintptr_t {
        HostCall call;
        call.slot = 1;
        call.words = {first, second};
        Owner(self).Record(std::move(call));
        return 0;
    };
    table.HostSlot2 = [](HostFunctionTable* self, std::uintptr_t word) -> std::uintptr_t {
        HostCall call;
        call.slot = 2;
        call.words = {word};
        Owner(self).Record(std::move(call));
        return 0;
    };
    table.SubscribeEvent = [](HostFunctionTable* self, const char* eventName, std::uint32_t hostHandle,
                              HostEventCallback callback, void* context, std::uint32_t flags) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 3;
        call.text = eventName == nullptr ? "" : eventName;
        call.hostHandle = hostHandle;
        call.callback = callback;
        call.context = context;
        call.flags = flags;
        host.subscriptions_.push_back({call.text, hostHandle, callback, context, flags});
        ++host.ledger_.subscribes;
        host.Record(std::move(call));
        return host.subscribeResult_;
    };
    table.UnsubscribeEvent = [](HostFunctionTable* self, const char* eventName,
                                std::uint32_t hostHandle) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 4;
        call.text = eventName == nullptr ? "" : eventName;
        call.hostHandle = hostHandle;
        auto live = std::find_if(
            host.subscriptions_.begin(), host.subscriptions_.end(), [&](const HostSubscription& subscription) {
                return subscription.eventName == call.text && subscription.hostHandle == hostHandle;
            });
        std::uint32_t removed = live == host.subscriptions_.end() ? 0 : 1;
        if (removed) {
            host.subscriptions_.erase(live);
            ++host.ledger_.unsubscribes;
        } else {
            ++host.ledger_.unmatchedUnsubscribes;
        }
        host.Record(std::move(call));
        return removed;
    };
    table.HostSlot5 = [](HostFunctionTable* self, std::uintptr_t first, std::uintptr_t second, std::uintptr_t third,
                         double value, std::uintptr_t fourth) -> std::uintptr_t {
        HostCall call;
        call.slot = 5;
        call.words = {first, second, third, fourth};
        call.value = value;
        Owner(self).Record(std::move(call));
        return 0;
    };
    table.YieldToHost = [](HostFunctionTable* self) {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 6;
        ++host.ledger_.yields;
        host.Record(std::move(call));
        if (host.yieldHook_) {
            // The hook may deliver events that yield again: it runs from a copy.
            std::function<void()> hook = host.yieldHook_;
            hook();
        }
    };
    table.BeginWait = [](HostFunctionTable* self, const char* label, std::uint32_t flags) {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 7;
        call.text = label == nullptr ? "" : label;
        call.flags = flags;
        ++host.ledger_.waitsBegun;
        host.Record(std::move(call));
    };
    table.EndWait = [](HostFunctionTable* self) {
        FakeHost& host = Owner(self);
        HostCall call;
        call.slot = 8;
        ++host.ledger_.waitsEnded;
        host.Record(std::move(call));
    };
    table.WriteLog = [](HostFunctionTable* self, std::int32_t level, const char* message) {
        HostCall call;
        call.slot = 9;
        call.level = level;
        call.text = message == nullptr ? "" : message;
        Owner(self).Record(std::move(call));
    };
}

FakeHost::~FakeHost() {
    for (std::unique_ptr<AnswerBlock>& block : answerBlocks_) {
        delete block->streamText;
        delete block->error;
        delete block->body;
    }
}

void FakeHost::SetAnswer(AnswerEntry answer) {
    answering_ = true;
    for (AnswerEntry& existing : answers_) {
        if (existing.method == answer.method && existing.path == answer.path) {
            existing = std::move(answer);
            return;
        }
    }
    answers_.push_back(std::move(answer));
}

const AnswerEntry* FakeHost::FindAnswer(std::int32_t method, const std::string& path) const {
    for (const AnswerEntry& answer : answers_) {
        if (answer.method == method && answer.path == path) return &answer;
    }
    return nullptr;
}

FakeHost::AnswerBlock& FakeHost::TakeAnswerBlock() {
    for (std::unique_ptr<AnswerBlock>& block : answerBlocks_) {
        if (!block->responseLive && !block->streamLive) return *block;
    }
    auto block = std::make_unique<AnswerBlock>();
    std::memset(block.get(), 0, sizeof(AnswerBlock));
    block->magic = kAnswerMagic;
    block->owner = this;
    std::snprintf(block->contentType, sizeof block->contentType, "%s", kAnswerContentType);
    answerBlocks_.push_back(std::move(block));
    return *answerBlocks_.back();
}

void FakeHost::FillAnswer(HostCall& call, HostResponseRecord& response) {
    const AnswerEntry* found = FindAnswer(call.method, call.path);
    AnswerEntry unanswered;
    if (found == nullptr) {
        unanswered.status = kUnansweredStatus;
        unanswered.error = kUnansweredError;
        found = &unanswered;
    }
    const AnswerEntry& answer = *found;

    AnswerBlock& block = TakeAnswerBlock();
    block.number = ++ledger_.answers;
    block.responseLive = true;
    call.answerNumber = block.number;
    std::memset(&response, 0, sizeof response);
    response.status = answer.status;
    response.contentType = block.contentType;
    response.release = &FakeHost::ReleaseResponse;
    call.answer = std::to_string(answer.status);
    if (answer.error) {
        block.error = new std::string(*answer.error);
        response.error = block.error->c_str();
        response.hasError = 1;
        call.answer += ", error " + Quoted(*answer.error);
    }
    if (answer.streamChunk != 0) {
        block.streamText = new std::string(answer.streamText ? *answer.streamText : JsonText(answer.body));
        block.streamChunk = answer.streamChunk;
        block.streamPosition = 0;
        block.streamOnYield = answer.streamOnYield;
        block.yieldsAtLastData = ledger_.yields;
        block.readsWithoutYield = 0;
        block.streamLive = true;
        ++ledger_.streams;
        response.readStream = &FakeHost::ReadStream;
        response.releaseStream = &FakeHost::ReleaseStream;
        response.stream = &block;
        response.streamSizeHint = static_cast<std::uint32_t>(block.streamText->size());
        call.answer += ", streamed " + std::to_string(block.streamText->size()) + " bytes in reads of at most " +
                       std::to_string(block.streamChunk);
    } else if (!answer.body.isEmpty()) {
        block.body = new HostTree(answer.body);
        response.body = block.body->Root();
        call.answer += ", body " + DescribeHostValue(response.body);
    }
    call.answer += " (answer " + std::to_string(block.number) + ")";
}

void NORV_CALL FakeHost::ReleaseResponse(HostResponseRecord* response) {
    // A record already released is all zero: releasing it again does nothing.
    if (response == nullptr || response->contentType == nullptr) return;
    auto* block = reinterpret_cast<AnswerBlock*>(const_cast<char*>(response->contentType));
    if (block->magic != kAnswerMagic) return;
    FakeHost& host = *block->owner;
    HostCall call;
    call.slot = kReleaseResponseSlot;
    call.answerNumber = block->number;
    if (!block->responseLive) {
        ++host.ledger_.repeatedReleases;
        call.text = "already released";
    } else {
        ++host.ledger_.releases;
        block->responseLive = false;
        delete block->error;
        delete block->body;
        block->error = nullptr;
        block->body = nullptr;
    }
    std::memset(response, 0, sizeof *response);
    host.Record(std::move(call));
}

std::uint8_t NORV_CALL FakeHost::ReadStream(void* stream, std::uint8_t* buffer, std::uint32_t* count,
                                            std::uint8_t* more) {
    if (stream == nullptr || count == nullptr || more == nullptr) return 0;
    auto* block = static_cast<AnswerBlock*>(stream);
    if (block->magic != kAnswerMagic) return 0;
    FakeHost& host = *block->owner;
    HostCall call;
    call.slot = kReadStreamSlot;
    call.answerNumber = block->number;
    call.capacity = *count;
    if (!block->streamLive || block->streamText == nullptr) {
        call.text = "failed: the stream was released";
        host.Record(std::move(call));
        return 0;
    }
    std::size_t left = block->streamText->size() - block->streamPosition;
    if (block->streamOnYield && block->streamPosition != 0 && host.ledger_.yields == block->yieldsAtLastData) {
        // The host has not run since it last produced: nothing new yet. A
        // reader that never yields would spin here, so the host gives up.
        left = 0;
        if (++block->readsWithoutYield > kReadsWithoutYieldBound) {
            ++host.ledger_.spinningReads;
            call.text = "failed: read again and again without yielding";
            host.Record(std::move(call));
            return 0;
        }
    } else {
        block->yieldsAtLastData = host.ledger_.yields;
        block->readsWithoutYield = 0;
    }
    std::uint32_t delivered = static_cast<std::uint32_t>(std::min<std::size_t>({*count, block->streamChunk, left}));
    if (delivered != 0 && buffer == nullptr) {
        call.text = "failed: no buffer";
        host.Record(std::move(call));
        return 0;
    }
    if (delivered != 0) std::memcpy(buffer, block->streamText->data() + block->streamPosition, delivered);
    block->streamPosition += delivered;
    *count = delivered;
    *more = block->streamPosition < block->streamText->size() ? 1 : 0;
    ++host.ledger_.streamReads;
    call.delivered = delivered;
    call.more = *more;
    host.Record(std::move(call));
    return 1;
}

void NORV_CALL FakeHost::ReleaseStream(void* stream) {
    if (stream == nullptr) return;
    auto* block = static_cast<AnswerBlock*>(stream);
    if (block->magic != kAnswerMagic) return;
    FakeHost& host = *block->owner;
    HostCall call;
    call.slot = kReleaseStreamSlot;
    call.answerNumber = block->number;
    if (!block->streamLive) {
        ++host.ledger_.repeatedStreamReleases;
        call.text = "already released";
    } else {
        ++host.ledger_.streamReleases;
        block->streamLive = false;
        delete block->streamText;
        block->streamText = nullptr;
    }
    host.Record(std::move(call));
}

std::size_t FakeHost::DeliverEvent(const std::string& eventName, const BindingProperty& payload) {
    HostTree tree(payload);
    std::vector<HostSubscription> targets;
    for (const HostSubscription& subscription : subscriptions_) {
        if (subscription.eventName == eventName) targets.push_back(subscription);
    }
    std::size_t delivered = 0;
    if (targets.empty()) {
        HostCall call;
        call.slot = kDeliverEventSlot;
        call.text = eventName;
        call.arguments = DescribeHostValue(tree.Root());
        call.answer = "not delivered: nothing subscribed to it";
        Record(std::move(call));
    }
    for (const HostSubscription& target : targets) {
        // A handler may have removed a later subscription (or unloaded the plugin): skip what is gone.
        bool live = std::any_of(subscriptions_.begin(), subscriptions_.end(), [&](const HostSubscription& s) {
            return s.eventName == target.eventName && s.hostHandle == target.hostHandle &&
                   s.callback == target.callback && s.context == target.context;
        });
        if (!live || target.callback == nullptr) continue;
        HostEventRecord record{};
        record.eventName = eventName.c_str();
        record.payload = tree.Root();
        record.context = target.context;
        ++ledger_.events;
        ++delivered;
        HostCall call;
        call.slot = kDeliverEventSlot;
        call.text = eventName;
        call.arguments = DescribeHostValue(record.payload);
        call.context = target.context;
        call.callback = target.callback;
        Record(std::move(call));
        target.callback(&record);
    }
    return delivered;
}

std::vector<std::string> FakeHost::Requests() const {
    std::vector<std::string> requests;
    for (const HostCall& call : calls_) {
        if (call.slot != 0 || call.path.empty()) continue;
        std::string request = std::string(MethodText(call.method)) + " " + call.path;
        if (!call.arguments.empty()) request += " " + call.arguments;
        requests.push_back(std::move(request));
    }
    return requests;
}

AnswerEntry Answer(std::int32_t method, std::string path, std::int32_t status, std::optional<std::string> error,
                   BindingProperty body) {
    AnswerEntry answer;
    answer.method = method;
    answer.path = std::move(path);
    answer.status = status;
    answer.error = std::move(error);
    answer.body = std::move(body);
    return answer;
}

BindingProperty ResourceEventPayload(const std::string& uri, const char* eventType, const BindingProperty& data) {
    BindingProperty payload;
    payload.member("uri") = uri;
    payload.member("eventType") = std::string(eventType);
    payload.member("data") = data;
    return payload;
}

std::uint32_t FakeHost::LiveResponses() const {
    std::uint32_t live = 0;
    for (const std::unique_ptr<AnswerBlock>& block : answerBlocks_) live += block->responseLive ? 1 : 0;
    return live;
}

std::uint32_t FakeHost::LiveStreams() const {
    std::uint32_t live = 0;
    for (const std::unique_ptr<AnswerBlock>& block : answerBlocks_) live += block->streamLive ? 1 : 0;
    return live;
}

std::vector<std::string> FakeHost::Imbalances() const {
    std::vector<std::string> faults;
    for (const HostSubscription& subscription : subscriptions_) {
        faults.push_back("subscription never removed: " + subscription.eventName + " (handle " +
                         std::to_string(subscription.hostHandle) + ")");
    }
    if (std::uint32_t live = LiveResponses()) faults.push_back(std::to_string(live) + " response(s) never released");
    if (std::uint32_t live = LiveStreams()) faults.push_back(std::to_string(live) + " stream(s) never released");
    if (ledger_.repeatedReleases != 0) {
        faults.push_back(std::to_string(ledger_.repeatedReleases) + " release(s) of a response already released");
    }
    if (ledger_.repeatedStreamReleases != 0) {
        faults.push_back(std::to_string(ledger_.repeatedStreamReleases) + " release(s) of a stream already released");
    }
    if (ledger_.unmatchedUnsubscribes != 0) {
        faults.push_back(std::to_string(ledger_.unmatchedUnsubscribes) + " unsubscribe(s) without a subscription");
    }
    if (ledger_.spinningReads != 0) faults.push_back("a stream was read again and again without a yield between");
    if (ledger_.waitsBegun != ledger_.waitsEnded) {
        faults.push_back("BeginWait called " + std::to_string(ledger_.waitsBegun) + " time(s), EndWait " +
                         std::to_string(ledger_.waitsEnded));
    }
    return faults;
}

std::vector<HostCall> FakeHost::CallsTo(int slot) const {
    std::vector<HostCall> selected;
    for (const HostCall& call : calls_) {
        if (call.slot == slot) selected.push_back(call);
    }
    return selected;
}

FakeHost& FakeHost::Owner(HostFunctionTable* table) {
    return *reinterpret_cast<Binding*>(table)->owner;
}

void FakeHost::Record(HostCall call) {
    std::lock_guard<std::mutex> guard(recordLock_);
    calls_.push_back(std::move(call));
    if (observer_) observer_(calls_.back());
}

}  // namespace Norv::Testing
