// Fuzz bytes as a scenario file for the host simulator (the first byte picks
// JSON, YAML or a guess), then play what it describes against the simulated
// host with a stand-in guest: every answer requested, streamed bodies read
// with a small buffer, every event delivered and its payload read back. A
// faulty file must be an error, never a crash; the host must end balanced.
#include "binding/host_value.h"
#include "tests/support/fake_host.h"
#include "tools/host-sim/scenario.h"

#include <cstdint>
#include <string_view>

namespace {

using Norv::Testing::FakeHost;

void NORV_CALL ReadEvent(const HostEventRecord* event) {
    Norv::BindingProperty payload;
    HostResult failure{};
    if (!Norv::readHostValue(failure, payload, event->payload, "<result>")) __builtin_trap();
    Norv::resetHostResult(failure);
}

void Request(FakeHost& host, const Norv::Testing::AnswerEntry& answer, std::uint32_t capacity) {
    HostFunctionTable* table = host.Functions();
    HostRequestRecord request{};
    request.method = answer.method;
    request.path = answer.path.c_str();
    HostResponseRecord response{};
    if (table->SendRequest(table, &response, &request) != 1) __builtin_trap();
    if (response.status != answer.status) __builtin_trap();
    if (response.readStream != nullptr) {
        std::uint8_t buffer[64];
        std::uint8_t more = 1;
        std::uint64_t total = 0;
        while (more != 0) {
            std::uint32_t count = capacity;
            if (!response.readStream(response.stream, buffer, &count, &more)) __builtin_trap();
            if (count > capacity) __builtin_trap();
            total += count;
        }
        if (total != response.streamSizeHint) __builtin_trap();
        response.releaseStream(response.stream);
    } else {
        Norv::BindingProperty body;
        HostResult failure{};
        if (!Norv::readHostValue(failure, body, response.body, "<result>")) __builtin_trap();
    }
    response.release(&response);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Norv::HostSim::ScenarioSyntax syntaxes[] = {
        Norv::HostSim::ScenarioSyntax::Json, Norv::HostSim::ScenarioSyntax::Yaml, Norv::HostSim::ScenarioSyntax::Guess};
    std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    Norv::HostSim::ScenarioReadResult read = Norv::HostSim::ReadScenario(text, syntaxes[data[0] % 3]);
    if (!read.ok) {
        if (read.error.empty()) __builtin_trap();
        return 0;
    }
    FakeHost host(1);
    host.AnswerRequests();
    HostFunctionTable* table = host.Functions();
    const std::uint32_t capacity = 1 + data[0] % 64;
    for (const Norv::Testing::AnswerEntry& answer : read.scenario.answers) {
        host.SetAnswer(answer);
        Request(host, answer, capacity);
    }
    for (const Norv::HostSim::ScenarioStep& step : read.scenario.steps) {
        for (const Norv::Testing::AnswerEntry& answer : step.answers) {
            host.SetAnswer(answer);
            Request(host, answer, capacity);
        }
        for (const Norv::HostSim::ScenarioEvent& event : step.events) {
            table->SubscribeEvent(table, event.eventName.c_str(), 1, &ReadEvent, nullptr, 0);
            if (host.DeliverEvent(event.eventName, event.payload) != 1) __builtin_trap();
            table->UnsubscribeEvent(table, event.eventName.c_str(), 1);
        }
    }
    if (!host.Imbalances().empty()) __builtin_trap();
    return 0;
}
