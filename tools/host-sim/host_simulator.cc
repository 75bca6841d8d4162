#include "tools/host-sim/host_simulator.h"

#include "diagnostics/log_record.h"
#include "platform/platform.h"
#include "remoting/request_method.h"

#include <algorithm>
#include <cstdarg>
#include <deque>

namespace Norv::HostSim {

namespace {

constexpr std::uint32_t kSoakWarmUpCycles = 100;

std::string RequestText(const Testing::HostCall& call) {
    std::string method = call.method == kMethodNamed ? call.text : std::string(MethodText(call.method));
    return method + " " + call.path;
}

std::string JoinTexts(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += (joined.empty() ? "" : ", ") + text;
    return joined.empty() ? "none" : joined;
}

}  // namespace

HostSimulator::HostSimulator(const Options& options, std::FILE* out) : options_(options), out_(out) {
    NewHost();
}

void HostSimulator::NewHost() {
    host_ = std::make_unique<Testing::FakeHost>(options_.hostHandle);
    host_->AnswerRequests();
    if (out_ != nullptr) host_->SetObserver([this](const Testing::HostCall& call) { PrintHostCall(call); });
}

int HostSimulator::Run(const Scenario& scenario) {
    if (!OpenModule()) return kExitNotLoaded;
    if (!Load()) return kExitNotLoaded;
    if (!scenario.title.empty()) Line("[scenario] %s", scenario.title.c_str());
    bool started = Init(scenario);
    bool expected = !started || PlaySteps(scenario);
    PrintMemoryStatistics("before unload");
    Unload();
    PrintMemoryStatistics("after unload");
    bool balanced = CheckHost();
    CloseModule();
    if (!started) return kExitInitFailed;
    return expected && balanced ? kExitOk : kExitUnbalanced;
}

SoakReport HostSimulator::Soak(const Scenario& scenario, std::uint32_t cycles) {
    SoakReport report;
    std::FILE* out = out_;
    out_ = nullptr;
    if (!OpenModule()) {
        report.firstFault = module_.Error();
        report.faultyCycles = cycles;
        out_ = out;
        return report;
    }
    for (std::uint32_t cycle = 1; cycle <= cycles; ++cycle) {
        NewHost();
        std::string fault;
        if (!Load()) {
            fault = "the plugin refused to load";
        } else {
            bool started = Init(scenario);
            bool expected = started && PlaySteps(scenario);
            Unload();
            std::vector<std::string> imbalances = host_->Imbalances();
            if (!started) fault = "init failed";
            if (fault.empty() && !expected) fault = "a step's requests were not the expected ones";
            if (fault.empty() && !imbalances.empty()) fault = imbalances.front();
        }
        AllocationStatistics counters = Testing::ReadMemoryStatistics(plugin_);
        if (fault.empty() &&
            (counters.Allocations() != counters.Releases() || counters.BytesAllocated() != counters.BytesFreed())) {
            fault = "the plugin's allocation counters are not balanced after unload";
        }
        if (!fault.empty()) {
            if (report.faultyCycles++ == 0) report.firstFault = "cycle " + std::to_string(cycle) + ": " + fault;
        }
        report.counters = counters;
        report.cycles = cycle;
        if (cycle == 1) report.residentAfterFirst = Platform::ResidentMemoryBytes();
        if (cycle == std::min<std::uint32_t>(kSoakWarmUpCycles, cycles)) {
            report.residentAfterWarmUp = Platform::ResidentMemoryBytes();
        }
    }
    report.residentAfterLast = Platform::ResidentMemoryBytes();
    host_.reset();
    CloseModule();
    NewHost();
    out_ = out;
    return report;
}

void HostSimulator::Line(const char* format, ...) {
    if (out_ == nullptr) return;
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(out_, format, arguments);
    va_end(arguments);
    std::fputc('\n', out_);
    // Flushed line by line so the transcript stays in order with what the
    // plugin writes to standard error, and survives a plugin that ends the process.
    std::fflush(out_);
}

void HostSimulator::PrintHostCall(const Testing::HostCall& call) {
    switch (call.slot) {
        case 0:
            if (call.path.empty() && call.method == 0) {
                Line("  plugin -> host  %s", Testing::DescribeHostCall(call).c_str());
                return;
            }
            Line("  plugin -> host  SendRequest %s%s%s", RequestText(call).c_str(), call.arguments.empty() ? "" : " ",
                 call.arguments.c_str());
            if (!call.answer.empty()) Line("  host -> plugin  answer %s", call.answer.c_str());
            return;
        case 9:
            Line("  plugin -> host  WriteLog level %d %s| %s", call.level, LogLevelLabel(call.level),
                 call.text.c_str());
            return;
        case Testing::kDeliverEventSlot:
            if (!call.answer.empty()) {
                Line("  host            event %s %s: %s", call.text.c_str(), call.arguments.c_str(),
                     call.answer.c_str());
            } else {
                Line("  host -> plugin  event %s %s", call.text.c_str(), call.arguments.c_str());
            }
            return;
        default:
            Line("  plugin -> host  %s", Testing::DescribeHostCall(call).c_str());
            return;
    }
}

bool HostSimulator::OpenModule() {
    if (options_.entry != nullptr) {
        Line("host-sim: playing a plugin linked into this process");
        module_.UseEntry(options_.entry);
        return true;
    }
    std::string path = options_.modulePath.empty() ? Testing::PluginModulePathBesideExecutable() : options_.modulePath;
    Line("host-sim: loading %s", path.c_str());
    if (!module_.Open(path)) {
        std::fprintf(stderr, "host-sim: %s\n", module_.Error().c_str());
        return false;
    }
    return true;
}

bool HostSimulator::Load() {
    const HostVersion& version = options_.hostVersion;
    Line("[load] %s with host plugin API %u.%u.%u", NORV_PLUGIN_ENTRY_NAME, version.major, version.minor,
         version.patch);
    plugin_ = module_.Load(version.major, version.minor, version.patch);
    unloaded_ = false;
    const PluginLoadRecord& record = plugin_.record;
    if (plugin_.object == nullptr || !plugin_.hasCallbacks) {
        std::fprintf(stderr, "host-sim: the plugin refused to load (the entry returned %p)\n", plugin_.object);
        return false;
    }
    Line("  plugin API version : %u.%u.%u", record.major, record.minor, record.patch);
    Line("  short name         : %s", record.shortName == nullptr ? "(none)" : record.shortName);
    Line("  context            : %p", record.context);
    Line("  callbacks          : init %s, unload %s, memory statistics %s", plugin_.callbacks.init ? "yes" : "no",
         plugin_.callbacks.unload ? "yes" : "no", plugin_.callbacks.memoryStatistics ? "yes" : "no");
    if (record.apiTable != nullptr) {
        Line("  API table          : %u functions, %u types, %u events", record.apiTable->functionCount,
             record.apiTable->typeCount, record.apiTable->eventCount);
    }
    PrintMemoryStatistics("after load");
    return true;
}

bool HostSimulator::Init(const Scenario& scenario) {
    // The answers stand before init: the plugin may ask the host for something at once.
    for (const Testing::AnswerEntry& answer : scenario.answers) host_->SetAnswer(answer);
    Line("[init] host handle %u", options_.hostHandle);
    if (plugin_.callbacks.init == nullptr) {
        Line("  the plugin has no init callback");
        return false;
    }
    bool started = false;
    WithYieldWork(scenario.initYieldEvents, false,
                  [&] { started = plugin_.callbacks.init(plugin_.record.context, host_->Interface()); });
    Line("  init returned %s", started ? "true" : "false");
    return started;
}

void HostSimulator::WithYieldWork(const std::vector<ScenarioEvent>& events, bool unload,
                                  const std::function<void()>& work) {
    std::deque<const ScenarioEvent*> duringYields;
    for (const ScenarioEvent& event : events) duringYields.push_back(&event);
    bool unloadPending = unload;
    host_->SetYieldHook([&] {
        if (!duringYields.empty()) {
            const ScenarioEvent* event = duringYields.front();
            duringYields.pop_front();
            Line("  host            delivers an event while the plugin waits:");
            host_->DeliverEvent(event->eventName, event->payload);
        } else if (unloadPending && !unloaded_) {
            unloadPending = false;
            Line("  host            unloads the plugin while it waits:");
            Unload();
        }
    });
    work();
    host_->SetYieldHook(nullptr);
    for (const ScenarioEvent* event : duringYields) {
        Line("  host            no yield came for the event on %s; delivering it now", event->eventName.c_str());
        host_->DeliverEvent(event->eventName, event->payload);
    }
    if (unloadPending && !unloaded_) {
        Line("  host            no yield came to unload the plugin in; unloading it now");
        Unload();
    }
}

bool HostSimulator::PlaySteps(const Scenario& scenario) {
    bool expected = true;
    for (std::size_t i = 0; i < scenario.steps.size(); ++i) expected = PlayStep(scenario.steps[i], i + 1) && expected;
    return expected;
}

bool HostSimulator::PlayStep(const ScenarioStep& step, std::size_t number) {
    Line("%s", "");
    Line("[step %llu] %s", static_cast<unsigned long long>(number), step.title.c_str());
    for (const Testing::AnswerEntry& answer : step.answers) {
        Line("  host            now answers %s %s with %d%s%s", std::string(MethodText(answer.method)).c_str(),
             answer.path.c_str(), answer.status, answer.error ? ", error " : "",
             answer.error ? answer.error->c_str() : "");
        host_->SetAnswer(answer);
    }
    std::size_t firstCall = host_->Calls().size();
    WithYieldWork(step.yieldEvents, step.unloadInYield, [&] {
        for (const ScenarioEvent& event : step.events) host_->DeliverEvent(event.eventName, event.payload);
    });

    if (!step.expectsRequests) return true;
    std::vector<std::string> made;
    const std::vector<Testing::HostCall>& calls = host_->Calls();
    for (std::size_t i = firstCall; i < calls.size(); ++i) {
        if (calls[i].slot == 0) made.push_back(RequestText(calls[i]));
    }
    if (made == step.expectedRequests) return true;
    Line("  ! expected requests: %s", JoinTexts(step.expectedRequests).c_str());
    Line("  ! requests made    : %s", JoinTexts(made).c_str());
    return false;
}

void HostSimulator::PrintMemoryStatistics(const char* moment) {
    AllocationStatistics statistics = Testing::ReadMemoryStatistics(plugin_);
    Line(
        "[memory %s] allocated %llu bytes in %llu blocks, freed %llu bytes in %llu blocks, live %lld bytes in "
        "%lld blocks, peak %llu bytes (%llu blocks)",
        moment, static_cast<unsigned long long>(statistics.BytesAllocated()),
        static_cast<unsigned long long>(statistics.Allocations()),
        static_cast<unsigned long long>(statistics.BytesFreed()),
        static_cast<unsigned long long>(statistics.Releases()),
        static_cast<long long>(statistics.BytesAllocated() - statistics.BytesFreed()),
        static_cast<long long>(statistics.Allocations() - statistics.Releases()),
        static_cast<unsigned long long>(statistics.PeakBytes()),
        static_cast<unsigned long long>(statistics.BlocksAtPeak()));
}

void HostSimulator::Unload() {
    if (unloaded_) return;
    Line("%s", "");
    Line("[unload]");
    // Marked first: the plugin may yield again while it shuts down.
    unloaded_ = true;
    if (plugin_.callbacks.unload != nullptr) plugin_.callbacks.unload(plugin_.record.context);
}

bool HostSimulator::CheckHost() {
    const Testing::HostLedger& ledger = host_->Ledger();
    Line(
        "[host check] %u answers, %u released; %u streams, %u released; %u subscriptions, %u removed; "
        "%u events delivered; %u waits, %u ended; %u yields",
        ledger.answers, ledger.releases, ledger.streams, ledger.streamReleases, ledger.subscribes, ledger.unsubscribes,
        ledger.events, ledger.waitsBegun, ledger.waitsEnded, ledger.yields);
    std::vector<std::string> faults = host_->Imbalances();
    AllocationStatistics statistics = Testing::ReadMemoryStatistics(plugin_);
    if (statistics.Allocations() != statistics.Releases() || statistics.BytesAllocated() != statistics.BytesFreed()) {
        faults.push_back("the plugin's allocation counters are not balanced after unload");
    }
    for (const std::string& fault : faults) Line("  ! %s", fault.c_str());
    if (faults.empty()) {
        Line(
            "  balanced: every subscription removed, every response and stream released, the plugin's "
            "allocations all freed");
    }
    return faults.empty();
}

void HostSimulator::CloseModule() {
    module_.Close();
    Line("[close] module unloaded");
}

}  // namespace Norv::HostSim
