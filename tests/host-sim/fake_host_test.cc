// The host the simulator plays, driven here the way a plugin drives it:
// through its function table and the functions its records carry.
#include "tests/support/fake_host.h"

#include "binding/host_value.h"
#include "formats/json_reader.h"
#include "remoting/request_method.h"

#include <gtest/gtest.h>

namespace Norv::Testing {
namespace {

BindingProperty Json(const char* text) {
    BindingResult parsed = ParseJson(text);
    EXPECT_TRUE(parsed.ok()) << parsed.error();
    return std::move(parsed.value);
}

// A value the host handed out, read as the plugin reads it, as JSON text.
std::string ReadBack(const HostValue& value) {
    BindingProperty read;
    HostResult failure{};
    EXPECT_TRUE(readHostValue(failure, read, value, "<result>"));
    return JsonText(read);
}

// Plays the plugin's side of one request.
struct Request {
    explicit Request(FakeHost& host, std::int32_t method, const char* path,
                     std::vector<HostArgumentEntry> arguments = {})
        : entries(std::move(arguments)) {
        record.method = method;
        record.path = path;
        record.arguments = entries.empty() ? nullptr : entries.data();
        record.argumentCount = static_cast<std::uint32_t>(entries.size());
        result = host.Functions()->SendRequest(host.Functions(), &response, &record);
    }
    void Release() { response.release(&response); }
    // Reads the whole stream with a buffer of `capacity`, noting each read's size and more byte.
    std::string ReadAll(std::uint32_t capacity, std::vector<std::pair<std::uint32_t, int>>& reads) {
        std::string text;
        std::vector<std::uint8_t> buffer(capacity);
        std::uint8_t more = 1;
        while (more != 0) {
            std::uint32_t count = capacity;
            if (response.readStream(response.stream, buffer.data(), &count, &more) == 0) break;
            reads.emplace_back(count, more);
            text.append(reinterpret_cast<const char*>(buffer.data()), count);
        }
        return text;
    }

    std::vector<HostArgumentEntry> entries;
    HostRequestRecord record{};
    HostResponseRecord response{};
    std::uint32_t result = 0;
};

TEST(FakeHost, AnswersFromItsTableInItsOwnMemoryAndCountsReleases) {
    struct Case {
        const char* name;
        std::int32_t method;
        const char* path;
        std::int32_t status;
        const char* error;  // null: none
        const char* body;   // as JSON text
    };
    const Case cases[] = {
        {"known GET", kMethodGet, "/a", 200, nullptr, R"({"n":-1,"s":"A \"t\"","x":[true,1.5]})"},
        {"same path, other method: unanswered", kMethodPost, "/a", 404, kUnansweredError, "null"},
        {"error answer", kMethodGet, "/e", 500, "It broke", "null"},
    };
    FakeHost host;
    host.SetAnswer(Answer(kMethodGet, "/a", 200, {}, Json(R"({"s":"A \"t\"","n":-1,"x":[true,1.5]})")));
    host.SetAnswer(Answer(kMethodGet, "/e", 500, "It broke"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Request request(host, c.method, c.path);
        EXPECT_EQ(request.result, 1u);
        // Packed fields are read as values (unary +): a test macro would bind a misaligned reference.
        EXPECT_EQ(+request.response.status, c.status);
        EXPECT_EQ(+request.response.hasError, c.error ? 1 : 0);
        EXPECT_STREQ(request.response.error, c.error);
        EXPECT_STREQ(request.response.contentType, "application/json");
        EXPECT_EQ(ReadBack(request.response.body), c.body);
        request.Release();
    }
    EXPECT_TRUE(host.Imbalances().empty());
}

TEST(FakeHost, ReportsWhatTheGuestLeftBehind) {
    FakeHost host(7);
    host.SetAnswer(Answer(kMethodGet, "/s", 200, {}, Json("[1,2,3]")));
    AnswerEntry streamed = Answer(kMethodGet, "/t", 200, {}, Json("[1,2,3]"));
    streamed.streamChunk = 2;
    host.SetAnswer(streamed);
    HostFunctionTable* table = host.Functions();
    Request kept(host, kMethodGet, "/s");
    Request read(host, kMethodGet, "/t");
    std::vector<std::pair<std::uint32_t, int>> reads;
    EXPECT_EQ(read.ReadAll(1, reads), "[1,2,3]");
    EXPECT_EQ(reads.size(), 7u) << "a read takes no more than the buffer holds";
    read.Release();  // the stream is still out

    // Released twice over: a zeroed record does nothing, a copy counts once,
    // and a released stream is neither read nor released again.
    Request twice(host, kMethodGet, "/s");
    HostResponseRecord copy = twice.response;
    HostResponseReleaseFunction release = twice.response.release;
    release(&twice.response);
    release(&twice.response);
    release(&copy);
    Request stream(host, kMethodGet, "/t");
    stream.response.releaseStream(stream.response.stream);
    reads.clear();
    EXPECT_EQ(stream.ReadAll(8, reads), "");
    EXPECT_TRUE(reads.empty()) << "a read after release fails";
    stream.response.releaseStream(stream.response.stream);
    stream.Release();

    HostEventCallback callback = [](const HostEventRecord*) {};
    table->SubscribeEvent(table, "OnA", 7, callback, nullptr, 0);
    table->SubscribeEvent(table, "OnB", 7, callback, nullptr, 0);
    EXPECT_EQ(table->UnsubscribeEvent(table, "OnA", 7), 1u);
    EXPECT_EQ(table->UnsubscribeEvent(table, "OnA", 7), 0u);
    EXPECT_EQ(table->UnsubscribeEvent(table, "OnB", 8), 0u) << "another handle's subscription";
    table->BeginWait(table, "Wait: yield", 0);

    EXPECT_EQ(host.Imbalances(), (std::vector<std::string>{
                                     "subscription never removed: OnB (handle 7)",
                                     "1 response(s) never released",
                                     "1 stream(s) never released",
                                     "1 release(s) of a response already released",
                                     "1 release(s) of a stream already released",
                                     "2 unsubscribe(s) without a subscription",
                                     "BeginWait called 1 time(s), EndWait 0",
                                 }));
}

// Each delivery as its event name, payload and context.
std::vector<std::pair<std::string, void*>> deliveries;

void NORV_CALL RecordEvent(const HostEventRecord* event) {
    void* const context = event->context;  // a packed member: no reference to it
    deliveries.emplace_back(std::string(event->eventName) + " " + ReadBack(event->payload), context);
}

// Its context is the host: it removes both subscriptions to OnA, its own included.
void NORV_CALL UnsubscribeOthers(const HostEventRecord* event) {
    RecordEvent(event);
    HostFunctionTable* table = static_cast<FakeHost*>(event->context)->Functions();
    table->UnsubscribeEvent(table, "OnA", 1);
    table->UnsubscribeEvent(table, "OnA", 1);
}

TEST(FakeHost, DeliversEventRecordsToLiveSubscriptionsOnly) {
    deliveries.clear();
    FakeHost host(1);
    HostFunctionTable* table = host.Functions();
    int second = 0, third = 0;
    table->SubscribeEvent(table, "OnA", 1, &UnsubscribeOthers, &host, 0);
    table->SubscribeEvent(table, "OnA", 1, &RecordEvent, &second, 0);
    table->SubscribeEvent(table, "OnB", 1, &RecordEvent, &third, 0);

    BindingProperty payload = Json(R"({"uri":"/a","eventType":"Update","data":{"k":[1,"x"]}})");
    EXPECT_EQ(host.DeliverEvent("OnA", payload), 1u) << "the first handler removed the second subscription";
    EXPECT_EQ(host.DeliverEvent("OnA", payload), 0u);
    EXPECT_EQ(host.DeliverEvent("OnB", Json("[]")), 1u);
    EXPECT_EQ(deliveries, (std::vector<std::pair<std::string, void*>>{
                              {R"(OnA {"data":{"k":[1,"x"]},"eventType":"Update","uri":"/a"})", &host},
                              {"OnB []", &third},
                          }));
}

TEST(FakeHost, DescribesRequestArguments) {
    const HostValue token{.tag = HOST_VALUE_STRING, .payload = {.string = {"id-1", 4}}};
    const HostValue number{.tag = HOST_VALUE_SIGNED, .payload = {.signedNumber = -3}};
    const HostValue broken{.tag = HOST_VALUE_STRUCTURE, .payload = {.structure = {nullptr, 5}}};  // a count, no members
    const HostValue strange{.tag = 12, .payload = {}};
    // A collection that contains itself: only a depth limit ends the walk.
    HostValue loop{.tag = HOST_VALUE_COLLECTION, .payload = {.collection = {&loop, 1}}};
    FakeHost host;
    host.AnswerRequests();
    Request request(host, kMethodPost, "/c",
                    {{"token", token}, {"n", number}, {"s", broken}, {nullptr, strange}, {"loop", loop}});
    EXPECT_EQ(host.CallsTo(0).at(0).arguments, "(token: \"id-1\", n: -3, s: {}, tag 12, loop: " + std::string(33, '[') +
                                                   "..." + std::string(33, ']') + ")");
}

}  // namespace
}  // namespace Norv::Testing
