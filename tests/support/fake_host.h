// A host's function table for tests and the host simulator. Every slot records
// what it receives; once answering is on, slot 0 answers requests from a table
// the way a real host does (host-allocated records, its own release function,
// optional streaming), subscriptions are kept, and events are delivered as real
// event records. The table pointer each slot receives leads back to the
// FakeHost, as a real host's would. A plugin may log from any thread, so
// recording a call is guarded; everything else a slot does expects one thread
// at a time, as the plugin's events and requests come.
#pragma once

#include "binding/binding_property.h"

#include <norv_plugin.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace Norv::Testing {

// Host slots 0 to 9, then the functions a response record hands the plugin.
enum HostCallSlot : int {
    kReleaseResponseSlot = 10,
    kReadStreamSlot = 11,
    kReleaseStreamSlot = 12,
    // Not a call of the plugin's: the host delivering an event record.
    kDeliverEventSlot = 13,
};

// Every member has an initializer, so that a call is built naming only what it sets.
struct HostCall {
    int slot = 0;
    std::string text{};                          // event name (3, 4, 13), wait label (7), log message (9)
    std::uint32_t hostHandle = 0;                // 3, 4
    std::uint32_t flags = 0;                     // 3, 7
    std::int32_t level = 0;                      // 9
    HostResponseRecord* response = nullptr;      // 0
    const HostRequestRecord* request = nullptr;  // 0
    std::vector<std::uintptr_t> words{};         // 1, 2, 5
    double value = 0;                            // 5
    // Slot 0 while answering: the request as read, and the answer given.
    std::int32_t method = 0;
    std::string path{};
    std::string arguments{};  // "(name: value, ...)", empty without arguments; 13: the payload
    std::string answer{};     // "404, error \"...\"" and the like; 13: empty, or why it was not delivered
    // Slots 11 and 12, and 10: the answer's number; 11: capacity, delivered bytes, more.
    std::uint32_t answerNumber = 0;
    std::uint32_t capacity = 0;
    std::uint32_t delivered = 0;
    std::uint8_t more = 0;
};

// One readable line, for the calls the host simulator does not write out
// itself: the slot's name and what it received.
std::string DescribeHostCall(const HostCall& call);
// A value as JSON text, the way the host streams an answer's body.
std::string JsonText(const BindingProperty& value);

// An entry of the host's answer table: what slot 0 answers to one method and path.
struct AnswerEntry {
    std::int32_t method = 0;
    std::string path{};  // compared whole, query part included
    std::int32_t status = 200;
    std::optional<std::string> error{};  // set: the record carries this error text
    BindingProperty body{};
    // Non-zero: the body goes out as JSON text through the stream functions,
    // at most this many bytes a read (fewer than the plugin's buffer makes it yield).
    std::uint32_t streamChunk = 0;
    // Set: streamed as it stands instead of the body's JSON text.
    std::optional<std::string> streamText{};
    // Set: the stream has its next chunk only after the host ran (a yield
    // since the last read); until then a read gives 0 bytes, more to follow.
    bool streamOnYield = false;
};

// An answer with a status, and optionally an error text and a body.
AnswerEntry Answer(std::int32_t method, std::string path, std::int32_t status = 200,
                   std::optional<std::string> error = std::nullopt, BindingProperty body = {});

// A PluginResourceEvent payload as the host sends it.
BindingProperty ResourceEventPayload(const std::string& uri, const char* eventType, const BindingProperty& data);

// The answer to a request nobody told the host about.
inline constexpr std::int32_t kUnansweredStatus = 404;
inline constexpr const char* kUnansweredError = "No such resource";

// A subscription as the host keeps it.
struct HostSubscription {
    std::string eventName;
    std::uint32_t hostHandle = 0;
    HostEventCallback callback = nullptr;
    void* context = nullptr;
};

// What the host counts of its own resources; balanced once the plugin is gone.
struct HostLedger {
    std::uint32_t answers = 0;           // responses filled
    std::uint32_t releases = 0;          // release calls on a live response
    std::uint32_t repeatedReleases = 0;  // release calls on a response already released
    std::uint32_t streams = 0;           // streamed responses
    std::uint32_t streamReleases = 0;
    std::uint32_t repeatedStreamReleases = 0;
    std::uint32_t spinningReads = 0;  // reads past the bound with no yield since the last data
    std::uint32_t subscribes = 0;
    std::uint32_t unsubscribes = 0;
    std::uint32_t unmatchedUnsubscribes = 0;  // no live subscription of that name and handle
    std::uint32_t waitsBegun = 0;
    std::uint32_t waitsEnded = 0;
    std::uint32_t yields = 0;
    std::uint32_t events = 0;  // event records delivered
};

class FakeHost {
public:
    explicit FakeHost(std::uint32_t hostHandle = 0x2A);
    ~FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // What the init callback receives.
    HostInterface* Interface() { return &interface_; }
    HostFunctionTable* Functions() { return &binding_.functions; }

    // Read these once the plugin's threads are done.
    const std::vector<HostCall>& Calls() const { return calls_; }
    std::vector<HostCall> CallsTo(int slot) const;
    // What the plugin logged, "level message" a line.
    std::vector<std::string> LogLines() const;
    void ClearCalls() { calls_.clear(); }

    // Called after each call is recorded (the host simulator prints them).
    void SetObserver(std::function<void(const HostCall&)> observer) { observer_ = std::move(observer); }
    // The result word slot 3 returns (default 1).
    void SetSubscribeResult(std::uint32_t result) { subscribeResult_ = result; }

    // Until answering is on, slot 0 records the two pointers only and leaves
    // the response alone: some tests hand it placeholders. SetAnswer turns it on.
    void AnswerRequests(bool on = true) { answering_ = on; }
    // Adds the answer, or replaces the one for the same method and path.
    void SetAnswer(AnswerEntry answer);

    // Runs inside every YieldToHost: a host runs its other work there, events included.
    void SetYieldHook(std::function<void()> hook) { yieldHook_ = std::move(hook); }

    // Calls every live subscription of the name, from a copy of the list (a
    // handler may unsubscribe), with an event record whose payload is a
    // host-built tree of `payload`. Each delivery is recorded (slot 13) before
    // its callback runs. Returns how many callbacks ran.
    std::size_t DeliverEvent(const std::string& eventName, const BindingProperty& payload);

    const std::vector<HostSubscription>& Subscriptions() const { return subscriptions_; }
    const HostLedger& Ledger() const { return ledger_; }
    // The requests answered so far: "METHOD path" and the arguments, if any.
    std::vector<std::string> Requests() const;
    // What is out of balance once the plugin has unloaded, one text per fault;
    // empty when every subscription was removed and every response released.
    std::vector<std::string> Imbalances() const;

private:
    struct Binding {
        HostFunctionTable functions;  // first: the table pointer is the binding's address
        FakeHost* owner;
    };
    struct AnswerBlock;
    static FakeHost& Owner(HostFunctionTable* table);
    void Record(HostCall call);
    void FillAnswer(HostCall& call, HostResponseRecord& response);
    AnswerEntry* FindAnswer(std::int32_t method, const std::string& path);
    AnswerBlock& TakeAnswerBlock();
    // The block a record's pointer leads to; null for anything the host did not hand out.
    static AnswerBlock* Block(const void* pointer);

    static void NORV_CALL ReleaseResponse(HostResponseRecord* response);
    static std::uint8_t NORV_CALL ReadStream(void* stream, std::uint8_t* buffer, std::uint32_t* count,
                                             std::uint8_t* more);
    static void NORV_CALL ReleaseStream(void* stream);

    Binding binding_;
    HostInterface interface_;
    std::mutex recordLock_;
    std::vector<HostCall> calls_;
    std::function<void(const HostCall&)> observer_;
    std::function<void()> yieldHook_;
    std::uint32_t subscribeResult_ = 1;
    bool answering_ = false;
    std::vector<AnswerEntry> answers_;
    std::vector<HostSubscription> subscriptions_;
    // Every answer block ever handed out; a released one is reused, so a block
    // stays valid for the host's lifetime and a late release finds it.
    std::vector<std::unique_ptr<AnswerBlock>> answerBlocks_;
    HostLedger ledger_;
};

}  // namespace Norv::Testing
