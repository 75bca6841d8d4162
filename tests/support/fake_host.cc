#include "tests/support/fake_host.h"

#include <cinttypes>
#include <cstdio>

namespace Norv::Testing {

namespace {

std::string Hex(std::uintptr_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%" PRIxPTR, value);
    return text;
}

std::string Pointer(const void* pointer) {
    return Hex(reinterpret_cast<std::uintptr_t>(pointer));
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

const char* HostSlotName(int slot) {
    static constexpr const char* kNames[] = {"SendRequest",      "HostSlot1", "HostSlot2",   "SubscribeEvent",
                                             "UnsubscribeEvent", "HostSlot5", "YieldToHost", "BeginWait",
                                             "EndWait",          "WriteLog"};
    return slot >= 0 && slot < 10 ? kNames[slot] : "?";
}

std::string DescribeHostCall(const HostCall& call) {
    std::string line = HostSlotName(call.slot);
    switch (call.slot) {
        case 0:
            line += "(response " + Pointer(call.response) + ", request " + Pointer(call.request) + ")";
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
        default:
            line += "()";
            break;
    }
    return line;
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
        host.Record(std::move(call));
        return host.requestHandler_ ? host.requestHandler_(response, request) : 0;
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
        host.Record(std::move(call));
        return host.subscribeResult_;
    };
    table.UnsubscribeEvent = [](HostFunctionTable* self, const char* eventName,
                                std::uint32_t hostHandle) -> std::uint32_t {
        HostCall call;
        call.slot = 4;
        call.text = eventName == nullptr ? "" : eventName;
        call.hostHandle = hostHandle;
        Owner(self).Record(std::move(call));
        return 0;
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
        HostCall call;
        call.slot = 6;
        Owner(self).Record(std::move(call));
    };
    table.BeginWait = [](HostFunctionTable* self, const char* label, std::uint32_t flags) {
        HostCall call;
        call.slot = 7;
        call.text = label == nullptr ? "" : label;
        call.flags = flags;
        Owner(self).Record(std::move(call));
    };
    table.EndWait = [](HostFunctionTable* self) {
        HostCall call;
        call.slot = 8;
        Owner(self).Record(std::move(call));
    };
    table.WriteLog = [](HostFunctionTable* self, std::int32_t level, const char* message) {
        HostCall call;
        call.slot = 9;
        call.level = level;
        call.text = message == nullptr ? "" : message;
        Owner(self).Record(std::move(call));
    };
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
    calls_.push_back(std::move(call));
    if (observer_) observer_(calls_.back());
}

}  // namespace Norv::Testing
