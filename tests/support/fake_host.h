// A host's function table whose every slot records what it receives, for tests
// and the host simulator. The table pointer each slot receives leads back to
// the FakeHost, as a real host's would.
#pragma once

#include <norv_plugin.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Norv::Testing {

struct HostCall {
    int slot = 0;
    std::string text;                            // event name (3, 4), wait label (7), log message (9)
    std::uint32_t hostHandle = 0;                // 3, 4
    std::uint32_t flags = 0;                     // 3, 7
    std::int32_t level = 0;                      // 9
    HostEventCallback callback = nullptr;        // 3
    void* context = nullptr;                     // 3
    HostResponseRecord* response = nullptr;      // 0
    const HostRequestRecord* request = nullptr;  // 0
    std::vector<std::uintptr_t> words;           // 1, 2, 5
    double value = 0;                            // 5
};

// "SendRequest", "HostSlot1", ... "WriteLog".
const char* HostSlotName(int slot);
// One readable line: the slot's name and what it received.
std::string DescribeHostCall(const HostCall& call);

class FakeHost {
public:
    explicit FakeHost(std::uint32_t hostHandle = 0x2A);
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // What the init callback receives.
    HostInterface* Interface() { return &interface_; }
    HostFunctionTable* Functions() { return &binding_.functions; }

    const std::vector<HostCall>& Calls() const { return calls_; }
    std::vector<HostCall> CallsTo(int slot) const;
    void ClearCalls() { calls_.clear(); }

    // Called after each call is recorded (the host simulator prints them).
    void SetObserver(std::function<void(const HostCall&)> observer) { observer_ = std::move(observer); }
    // Answers slot 0; without one, SendRequest leaves the response alone and returns 0.
    void SetRequestHandler(std::function<std::uint32_t(HostResponseRecord*, const HostRequestRecord*)> handler) {
        requestHandler_ = std::move(handler);
    }
    // The result word slot 3 returns (default 1).
    void SetSubscribeResult(std::uint32_t result) { subscribeResult_ = result; }

private:
    struct Binding {
        HostFunctionTable functions;  // first: the table pointer is the binding's address
        FakeHost* owner;
    };
    static FakeHost& Owner(HostFunctionTable* table);
    void Record(HostCall call);

    Binding binding_;
    HostInterface interface_;
    std::vector<HostCall> calls_;
    std::function<void(const HostCall&)> observer_;
    std::function<std::uint32_t(HostResponseRecord*, const HostRequestRecord*)> requestHandler_;
    std::uint32_t subscribeResult_ = 1;
};

}  // namespace Norv::Testing
