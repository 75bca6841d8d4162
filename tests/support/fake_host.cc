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
#include <utility>

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

// A text the plugin passed, where null reads as empty.
std::string Text(const char* text) {
    return text == nullptr ? "" : text;
}

void AppendQuoted(std::string& out, std::string_view text, std::size_t limit) {
    static constexpr std::string_view kEscaped = "\"\\\n\r\t";
    static constexpr const char* kEscapes[] = {"\\\"", "\\\\", "\\n", "\\r", "\\t"};
    out += '"';
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        char c = text[i];
        if (std::size_t escape = kEscaped.find(c); escape != std::string_view::npos) {
            out += kEscapes[escape];
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    if (text.size() > limit) out += "...";
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

// The items between `open` and `close`, each written by `each`: a description
// shows the first kDescribedItems, JSON text all of them, without spaces.
template <class Each>
void AppendItems(std::string& out, std::uint32_t count, char open, char close, bool json, Each each) {
    out += open;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i != 0) out += json ? "," : ", ";
        if (!json && i == kDescribedItems) {
            out += "...";
            break;
        }
        each(i);
    }
    out += close;
}

// A host value as a transcript line shows it or, with `json`, as the JSON text
// the host streams. JSON is written only from a HostTree's own records, whole.
void AppendHostValue(std::string& out, const HostValue& value, int depth, bool json) {
    if (!json && depth > kDescribedDepth) {
        out += "...";
        return;
    }
    switch (value.tag) {
        case HOST_VALUE_EMPTY:
            out += json ? "null" : "empty";
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
            std::string_view view = json ? std::string_view(text, value.payload.string.length)
                                         : std::string_view(text == nullptr ? "" : text);
            AppendQuoted(out, view, json ? std::string_view::npos : kDescribedText);
            return;
        }
        case HOST_VALUE_BLOB:
        case HOST_VALUE_OWNED_BLOB: {
            std::uint32_t count = value.payload.blob.bytes == nullptr ? 0 : value.payload.blob.count;
            if (json) {
                AppendQuoted(out, Base64Encode(value.payload.blob.bytes, count), std::string_view::npos);
            } else {
                out += "blob of " + std::to_string(count) + " bytes";
            }
            return;
        }
        case HOST_VALUE_COLLECTION: {
            const HostValue* items = value.payload.collection.items;
            AppendItems(out, items == nullptr ? 0 : value.payload.collection.count, '[', ']', json,
                        [&](std::uint32_t i) { AppendHostValue(out, items[i], depth + 1, json); });
            return;
        }
        case HOST_VALUE_STRUCTURE: {
            const HostValueMember* members = value.payload.structure.members;
            std::uint32_t count = members == nullptr ? 0 : value.payload.structure.count;
            AppendItems(out, count, '{', '}', json, [&](std::uint32_t i) {
                if (json) {
                    AppendQuoted(out, members[i].key, std::string_view::npos);
                    out += ':';
                } else {
                    out += members[i].key == nullptr ? "(null)" : members[i].key;
                    out += ": ";
                }
                AppendHostValue(out, members[i].value, depth + 1, json);
            });
            return;
        }
        default:
            out += "tag " + std::to_string(value.tag);
            return;
    }
}

// Null pointers with counts read as empty, and deep nesting is cut short.
std::string DescribeHostValue(const HostValue& value) {
    std::string out;
    AppendHostValue(out, value, 0, false);
    return out;
}

std::string DescribeArguments(const HostRequestRecord& request) {
    if (request.arguments == nullptr || request.argumentCount == 0) return {};
    std::string out;
    AppendItems(out, request.argumentCount, '(', ')', false, [&](std::uint32_t i) {
        const HostArgumentEntry& entry = request.arguments[i];
        if (entry.name != nullptr) out.append(entry.name).append(": ");
        AppendHostValue(out, entry.value, 0, false);
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
            case BindingValueKind::Enum:
                target.tag = HOST_VALUE_SIGNED;
                target.payload.signedNumber =
                    value.kind() == BindingValueKind::Enum ? value.getEnum().value : value.getSigned();
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

// "SendRequest", "HostSlot1", ... "WriteLog", "ReleaseResponse", "ReadStream", "ReleaseStream", "Event".
const char* HostSlotName(int slot) {
    static constexpr const char* kNames[] = {
        "SendRequest", "HostSlot1", "HostSlot2", "SubscribeEvent",  "UnsubscribeEvent", "HostSlot5",     "YieldToHost",
        "BeginWait",   "EndWait",   "WriteLog",  "ReleaseResponse", "ReadStream",       "ReleaseStream", "Event"};
    return slot >= 0 && slot < static_cast<int>(std::size(kNames)) ? kNames[slot] : "?";
}

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

std::string DescribeHostCall(const HostCall& call) {
    std::string line = HostSlotName(call.slot);
    switch (call.slot) {
        case 0:  // answered requests the simulator writes itself
            line += "(response " + Hex(reinterpret_cast<std::uintptr_t>(call.response)) + ", request " +
                    Hex(reinterpret_cast<std::uintptr_t>(call.request)) + ")";
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
        case 3:  // the name, its handle and flags; 4 has no flags, 7 no handle
        case 4:
        case 7:
            line += "(" + Quoted(call.text) + (call.slot == 7 ? "" : ", handle " + std::to_string(call.hostHandle)) +
                    (call.slot == 4 ? "" : ", flags " + std::to_string(call.flags)) + ")";
            break;
        case kReleaseResponseSlot:
        case kReleaseStreamSlot:
            line += "(answer " + std::to_string(call.answerNumber) + ")" + (call.text.empty() ? "" : " " + call.text);
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

std::string JsonText(const BindingProperty& value) {
    std::string out;
    AppendHostValue(out, HostTree(value).Root(), 0, true);
    return out;
}

FakeHost::FakeHost(std::uint32_t hostHandle) : binding_{}, interface_{&binding_.functions, hostHandle} {
    binding_.owner = this;
    HostFunctionTable& table = binding_.functions;
    table.SendRequest = [](HostFunctionTable* self, HostResponseRecord* response,
                           const HostRequestRecord* request) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call{.slot = 0, .response = response, .request = request};
        std::uint32_t result = 0;
        if (host.answering_ && request != nullptr) {
            call.method = request->method;
            call.path = Text(request->path);
            call.arguments = DescribeArguments(*request);
            if (request->method == kMethodNamed) {
                call.text = request->methodName == nullptr ? "(unnamed)" : request->methodName;
            }
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
        Owner(self).Record({.slot = 1, .words = {first, second}});
        return 0;
    };
    table.HostSlot2 = [](HostFunctionTable* self, std::uintptr_t word) -> std::uintptr_t {
        Owner(self).Record({.slot = 2, .words = {word}});
        return 0;
    };
    table.SubscribeEvent = [](HostFunctionTable* self, const char* eventName, std::uint32_t hostHandle,
                              HostEventCallback callback, void* context, std::uint32_t flags) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call{.slot = 3, .text = Text(eventName), .hostHandle = hostHandle, .flags = flags};
        host.subscriptions_.push_back({call.text, hostHandle, callback, context});
        ++host.ledger_.subscribes;
        host.Record(std::move(call));
        return host.subscribeResult_;
    };
    table.UnsubscribeEvent = [](HostFunctionTable* self, const char* eventName,
                                std::uint32_t hostHandle) -> std::uint32_t {
        FakeHost& host = Owner(self);
        HostCall call{.slot = 4, .text = Text(eventName), .hostHandle = hostHandle};
        auto live = std::find_if(
            host.subscriptions_.begin(), host.subscriptions_.end(), [&](const HostSubscription& subscription) {
                return subscription.eventName == call.text && subscription.hostHandle == hostHandle;
            });
        std::uint32_t removed = live == host.subscriptions_.end() ? 0 : 1;
        if (removed) host.subscriptions_.erase(live);
        ++(removed ? host.ledger_.unsubscribes : host.ledger_.unmatchedUnsubscribes);
        host.Record(std::move(call));
        return removed;
    };
    table.HostSlot5 = [](HostFunctionTable* self, std::uintptr_t first, std::uintptr_t second, std::uintptr_t third,
                         double value, std::uintptr_t fourth) -> std::uintptr_t {
        Owner(self).Record({.slot = 5, .words = {first, second, third, fourth}, .value = value});
        return 0;
    };
    table.YieldToHost = [](HostFunctionTable* self) {
        FakeHost& host = Owner(self);
        ++host.ledger_.yields;
        host.Record({.slot = 6});
        // The hook may deliver events that yield again: it runs from a copy.
        if (std::function<void()> hook = host.yieldHook_) hook();
    };
    table.BeginWait = [](HostFunctionTable* self, const char* label, std::uint32_t flags) {
        ++Owner(self).ledger_.waitsBegun;
        Owner(self).Record({.slot = 7, .text = Text(label), .flags = flags});
    };
    table.EndWait = [](HostFunctionTable* self) {
        ++Owner(self).ledger_.waitsEnded;
        Owner(self).Record({.slot = 8});
    };
    table.WriteLog = [](HostFunctionTable* self, std::int32_t level, const char* message) {
        Owner(self).Record({.slot = 9, .text = Text(message), .level = level});
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
    AnswerEntry* existing = FindAnswer(answer.method, answer.path);
    if (existing == nullptr) existing = &answers_.emplace_back();
    *existing = std::move(answer);
}

AnswerEntry* FakeHost::FindAnswer(std::int32_t method, const std::string& path) {
    auto found = std::find_if(answers_.begin(), answers_.end(), [&](const AnswerEntry& answer) {
        return answer.method == method && answer.path == path;
    });
    return found == answers_.end() ? nullptr : &*found;
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

FakeHost::AnswerBlock* FakeHost::Block(const void* pointer) {
    auto* block = static_cast<AnswerBlock*>(const_cast<void*>(pointer));
    return block != nullptr && block->magic == kAnswerMagic ? block : nullptr;
}

void FakeHost::FillAnswer(HostCall& call, HostResponseRecord& response) {
    const AnswerEntry unanswered{.status = kUnansweredStatus, .error = kUnansweredError};
    const AnswerEntry* found = FindAnswer(call.method, call.path);
    const AnswerEntry& answer = found == nullptr ? unanswered : *found;

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
    AnswerBlock* block = response == nullptr ? nullptr : Block(response->contentType);
    if (block == nullptr) return;
    FakeHost& host = *block->owner;
    HostCall call{.slot = kReleaseResponseSlot, .answerNumber = block->number};
    if (!block->responseLive) {
        ++host.ledger_.repeatedReleases;
        call.text = "already released";
    } else {
        ++host.ledger_.releases;
        block->responseLive = false;
        delete std::exchange(block->error, nullptr);
        delete std::exchange(block->body, nullptr);
    }
    std::memset(response, 0, sizeof *response);
    host.Record(std::move(call));
}

std::uint8_t NORV_CALL FakeHost::ReadStream(void* stream, std::uint8_t* buffer, std::uint32_t* count,
                                            std::uint8_t* more) {
    AnswerBlock* block = Block(stream);
    if (block == nullptr || count == nullptr || more == nullptr) return 0;
    FakeHost& host = *block->owner;
    HostCall call{.slot = kReadStreamSlot, .answerNumber = block->number, .capacity = *count};
    auto fail = [&](const char* why) {
        call.text = why;
        host.Record(std::move(call));
        return std::uint8_t{0};
    };
    if (!block->streamLive || block->streamText == nullptr) return fail("failed: the stream was released");
    std::size_t left = block->streamText->size() - block->streamPosition;
    if (block->streamOnYield && block->streamPosition != 0 && host.ledger_.yields == block->yieldsAtLastData) {
        // The host has not run since it last produced: nothing new yet. A
        // reader that never yields would spin here, so the host gives up.
        left = 0;
        if (++block->readsWithoutYield > kReadsWithoutYieldBound) {
            ++host.ledger_.spinningReads;
            return fail("failed: read again and again without yielding");
        }
    } else {
        block->yieldsAtLastData = host.ledger_.yields;
        block->readsWithoutYield = 0;
    }
    std::uint32_t delivered = static_cast<std::uint32_t>(std::min<std::size_t>({*count, block->streamChunk, left}));
    if (delivered != 0 && buffer == nullptr) return fail("failed: no buffer");
    if (delivered != 0) std::memcpy(buffer, block->streamText->data() + block->streamPosition, delivered);
    block->streamPosition += delivered;
    *count = delivered;
    *more = block->streamPosition < block->streamText->size() ? 1 : 0;
    call.delivered = delivered;
    call.more = *more;
    host.Record(std::move(call));
    return 1;
}

void NORV_CALL FakeHost::ReleaseStream(void* stream) {
    AnswerBlock* block = Block(stream);
    if (block == nullptr) return;
    FakeHost& host = *block->owner;
    HostCall call{.slot = kReleaseStreamSlot, .answerNumber = block->number};
    if (!block->streamLive) {
        ++host.ledger_.repeatedStreamReleases;
        call.text = "already released";
    } else {
        ++host.ledger_.streamReleases;
        block->streamLive = false;
        delete std::exchange(block->streamText, nullptr);
    }
    host.Record(std::move(call));
}

std::size_t FakeHost::DeliverEvent(const std::string& eventName, const BindingProperty& payload) {
    HostTree tree(payload);
    HostCall call{.slot = kDeliverEventSlot, .text = eventName, .arguments = DescribeHostValue(tree.Root())};
    std::vector<HostSubscription> targets;
    std::copy_if(subscriptions_.begin(), subscriptions_.end(), std::back_inserter(targets),
                 [&](const HostSubscription& subscription) { return subscription.eventName == eventName; });
    if (targets.empty()) {
        call.answer = "not delivered: nothing subscribed to it";
        Record(call);
    }
    std::size_t delivered = 0;
    for (const HostSubscription& target : targets) {
        // A handler may have removed a later subscription (or unloaded the plugin): skip what is gone.
        bool live = std::any_of(subscriptions_.begin(), subscriptions_.end(), [&](const HostSubscription& s) {
            return s.eventName == target.eventName && s.hostHandle == target.hostHandle &&
                   s.callback == target.callback && s.context == target.context;
        });
        if (!live || target.callback == nullptr) continue;
        HostEventRecord record{
            .eventName = eventName.c_str(), .payload = tree.Root(), .unused = 0, .context = target.context};
        ++ledger_.events;
        ++delivered;
        Record(call);
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
    return {.method = method,
            .path = std::move(path),
            .status = status,
            .error = std::move(error),
            .body = std::move(body)};
}

BindingProperty ResourceEventPayload(const std::string& uri, const char* eventType, const BindingProperty& data) {
    BindingProperty payload;
    payload.member("uri") = uri;
    payload.member("eventType") = std::string(eventType);
    payload.member("data") = data;
    return payload;
}

std::vector<std::string> FakeHost::Imbalances() const {
    std::vector<std::string> faults;
    for (const HostSubscription& subscription : subscriptions_) {
        faults.push_back("subscription never removed: " + subscription.eventName + " (handle " +
                         std::to_string(subscription.hostHandle) + ")");
    }
    auto count = [&](std::size_t times, const char* fault) {
        if (times != 0) faults.push_back(std::to_string(times) + fault);
    };
    auto live = [&](bool AnswerBlock::*flag) {
        return std::count_if(answerBlocks_.begin(), answerBlocks_.end(),
                             [&](const auto& block) { return *block.*flag; });
    };
    count(live(&AnswerBlock::responseLive), " response(s) never released");
    count(live(&AnswerBlock::streamLive), " stream(s) never released");
    count(ledger_.repeatedReleases, " release(s) of a response already released");
    count(ledger_.repeatedStreamReleases, " release(s) of a stream already released");
    count(ledger_.unmatchedUnsubscribes, " unsubscribe(s) without a subscription");
    if (ledger_.spinningReads != 0) faults.push_back("a stream was read again and again without a yield between");
    if (ledger_.waitsBegun != ledger_.waitsEnded) {
        faults.push_back("BeginWait called " + std::to_string(ledger_.waitsBegun) + " time(s), EndWait " +
                         std::to_string(ledger_.waitsEnded));
    }
    return faults;
}

std::vector<HostCall> FakeHost::CallsTo(int slot) const {
    std::vector<HostCall> selected;
    std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(selected),
                 [&](const HostCall& call) { return call.slot == slot; });
    return selected;
}

std::vector<std::string> FakeHost::LogLines() const {
    std::vector<std::string> lines;
    for (const HostCall& call : CallsTo(9)) lines.push_back(std::to_string(call.level) + " " + call.text);
    return lines;
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
