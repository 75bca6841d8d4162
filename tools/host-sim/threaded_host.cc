#include "tools/host-sim/threaded_host.h"

#include "plugin/host_types.h"
#include "tools/host-sim/api_view.h"

#include <atomic>
#include <deque>
#include <latch>
#include <memory>
#include <mutex>
#include <thread>

namespace Norv::HostSim {

namespace {

// MessagePack of {"x": 3, "y": 4}.
constexpr char kMessagePackPoint[] = "\x82\xa1x\x03\xa1y\x04";
constexpr const char* kAskPrefix = "/demo/v1/ask/";

// A call and the answer it must get; an empty answer: the one a single call
// gave before the threads started.
struct WorkItem {
    ApiCall call;
    std::string expected;
    const PluginFunctionRecord* function = nullptr;
    std::unique_ptr<ApiRequest> request;
};

std::vector<WorkItem> WorkItems() {
    using Arguments = std::vector<std::pair<std::string, std::string>>;
    std::vector<WorkItem> items;
    auto add = [&items](const char* path, Arguments arguments, std::string body, const char* contentType,
                        std::string expected) {
        WorkItem item;
        item.call = ApiCall{body.empty() ? "GET" : "POST", path, std::move(arguments), std::move(body), contentType};
        item.expected = std::move(expected);
        items.push_back(std::move(item));
    };
    add("/demo/v1/add/40?b=2", {}, "", "", "status 0, body 42, error none");
    add("/demo/v1/add/40", {{"b", "2"}}, "", "", "status 0, body 42, error none");
    add("/demo/v1/greet/Ada", {}, "", "", "status 0, body \"Hello, Ada!\", error none");
    add("/demo/v1/greet/Ada%20Lovelace", {}, "", "", "status 0, body \"Hello, Ada Lovelace!\", error none");
    add("/demo/v1/greet/World", {{"greeting", "Hi"}}, "", "", "status 0, body \"Hi, World!\", error none");
    add("/demo/v1/mirror", {}, "{\"x\": 1, \"y\": 2}", "application/json",
        "status 0, body {\"x\":2,\"y\":1}, error none");
    add("/demo/v1/mirror", {}, std::string(kMessagePackPoint, sizeof kMessagePackPoint - 1), "application/x-msgpack",
        "status 0, body {\"x\":4,\"y\":3}, error none");
    add("/demo/v1/mirror", {}, "x: 5\ny: 6\n", "application/x-yaml", "status 0, body {\"x\":6,\"y\":5}, error none");
    add("/demo/v1/help?format=Full", {}, "", "", "");
    add("/demo/v1/help?format=Epytext", {}, "", "", "");
    return items;
}

std::string Call(const PluginFunctionRecord& function, const HostRequestRecord& request, bool& released) {
    HostResponseRecord response{};
    function.handler(&response, &request);
    std::string answer = AnswerText(response);
    released = response.release != nullptr;
    if (released) response.release(&response);
    return answer;
}

// What the workers share with each other and with the loading thread.
class Shared {
public:
    void Wrong(const std::string& expected, const std::string& answer) {
        std::lock_guard<std::mutex> guard(lock_);
        if (wrong_++ == 0) firstWrong_ = "expected " + expected + ", got " + answer;
    }
    void Asked(std::string key) {
        std::lock_guard<std::mutex> guard(lock_);
        keys_.push_back(std::move(key));
        ++asked_;
    }
    // The keys asked since the last call.
    std::deque<std::string> TakeKeys() {
        std::lock_guard<std::mutex> guard(lock_);
        return std::exchange(keys_, {});
    }
    void Report(ThreadedHostReport& report) {
        std::lock_guard<std::mutex> guard(lock_);
        report.wrongAnswers = wrong_;
        report.firstWrong = firstWrong_;
        report.asked = asked_;
    }
    std::atomic<std::uint64_t> calls{0};
    std::atomic<std::uint64_t> unreleased{0};
    std::atomic<std::uint32_t> running{0};

private:
    std::mutex lock_;
    std::uint64_t wrong_ = 0;
    std::string firstWrong_;
    std::deque<std::string> keys_;
    std::uint64_t asked_ = 0;
};

void Work(const std::vector<WorkItem>& items, const PluginFunctionRecord& ask, std::uint32_t thread,
          std::uint32_t calls, std::latch& ready, Shared& shared) {
    ready.arrive_and_wait();
    // One call in every items.size() + 1 asks; each thread starts elsewhere in the table.
    for (std::uint32_t i = 0; i < calls; ++i) {
        const std::size_t which = (thread + i) % (items.size() + 1);
        bool released = false;
        if (which == items.size()) {
            // Appended piece by piece: gcc 12 at -O3 warns falsely (-Wrestrict) on
            // a literal plus a temporary string.
            std::string key(1, 'w');
            key.append(std::to_string(thread)).append(1, '-').append(std::to_string(i));
            const ApiCall call{"POST", kAskPrefix + key, {}, "", ""};
            const ApiRequest request(call, ask);
            const std::string answer = Call(ask, *request.Record(), released);
            const std::string expected = "status 0, body \"" + key + "\", error none";
            if (answer != expected) shared.Wrong(expected, answer);
            shared.Asked(key);
        } else {
            const WorkItem& item = items[which];
            const std::string answer = Call(*item.function, *item.request->Record(), released);
            if (answer != item.expected) shared.Wrong(item.expected, answer);
        }
        if (!released) ++shared.unreleased;
        ++shared.calls;
    }
    --shared.running;
}

BindingProperty ServiceProxyPayload(const char* service, const char* method, const std::string& uuid,
                                    const char* payload) {
    BindingProperty value;
    value.member("uuid") = uuid;
    value.member("serviceName") = std::string(service);
    value.member("methodName") = std::string(method);
    value.member("payload") = std::string(payload);
    value.member("status") = std::string("OK");
    return value;
}

// The loading thread's part: answers every key asked so far, and now and then
// an async message, which the demo handles under "chat.message".
std::uint64_t AnswerAsked(Testing::FakeHost& host, Shared& shared, std::uint64_t& round) {
    std::uint64_t delivered = 0;
    for (const std::string& key : shared.TakeKeys()) {
        delivered += host.DeliverEvent(Client::kServiceProxyUuidEventName, ServiceProxyPayload("", "", key, "yes"));
    }
    if (++round % 16 == 0) {
        delivered +=
            host.DeliverEvent(Client::kServiceProxyAsyncEventName, ServiceProxyPayload("chat", "message", "", "hello"));
    }
    return delivered;
}

// The answers the demo logged for the workers' keys.
std::uint64_t AnsweredKeys(const Testing::FakeHost& host) {
    std::uint64_t count = 0;
    for (const Testing::HostCall& call : host.Calls()) {
        if (call.slot == 9 && call.text.rfind("norv-demo: w", 0) == 0 &&
            call.text.find(" answered \"yes\"") != std::string::npos)
            ++count;
    }
    return count;
}

}  // namespace

ThreadedHostReport RunThreadedHost(const ThreadedHostOptions& options) {
    ThreadedHostReport report;
    Options sessionOptions;
    sessionOptions.modulePath = options.modulePath;
    ApiSession session(sessionOptions);
    report.exitCode = session.Start();
    if (report.exitCode != kExitOk) return report;

    std::vector<WorkItem> items = WorkItems();
    for (WorkItem& item : items) {
        item.function = FindFunction(session.Table(), item.call);
        if (item.function == nullptr) {
            report.exitCode = kExitNoFunction;
            return report;
        }
        item.request = std::make_unique<ApiRequest>(item.call, *item.function);
        bool released = false;
        if (item.expected.empty()) item.expected = Call(*item.function, *item.request->Record(), released);
    }
    const ApiCall askCall{"POST", std::string(kAskPrefix) + "key", {}, "", ""};
    const PluginFunctionRecord* ask = FindFunction(session.Table(), askCall);
    if (ask == nullptr) {
        report.exitCode = kExitNoFunction;
        return report;
    }

    Testing::FakeHost& host = session.Host();
    Shared shared;
    std::uint64_t round = 0;
    {
        std::latch ready(static_cast<std::ptrdiff_t>(options.threads) + 1);
        shared.running = options.threads;
        std::vector<std::thread> workers;
        for (std::uint32_t thread = 0; thread < options.threads; ++thread) {
            workers.emplace_back(Work, std::cref(items), std::cref(*ask), thread, options.callsPerThread,
                                 std::ref(ready), std::ref(shared));
        }
        ready.arrive_and_wait();
        while (shared.running.load() != 0) {
            report.events += AnswerAsked(host, shared, round);
            std::this_thread::yield();
        }
        for (std::thread& worker : workers) worker.join();
    }
    report.events += AnswerAsked(host, shared, round);
    shared.Report(report);
    report.calls = shared.calls;
    report.unreleased = shared.unreleased;
    report.answered = AnsweredKeys(host);
    session.Unload();
    report.hostFaults = host.Imbalances();
    report.counters = Testing::ReadMemoryStatistics(session.Plugin());
    return report;
}

}  // namespace Norv::HostSim
