#include "remoting/remoting_call.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/help/builtin_types.h"
#include "fake_transport.h"
#include "formats/json_reader.h"
#include "tests/formats/value_text.h"
#include "tests/remoting/record_checks.h"

namespace Norv::RemotingTest {

struct Session {
    static constexpr FixedText kStaticTypeText{"struct Norv::RemotingTest::Session"};
    std::string state;
    std::int32_t tries = 0;
};

// Never registered.
struct Stranger {
    static constexpr FixedText kStaticTypeText{"struct Norv::RemotingTest::Stranger"};
    std::int32_t x = 0;
};

namespace {

using Testing::OutstandingBlocks;

// A body as the host would write it.
BindingProperty Json(const char* text) {
    return ParseJson(text).value;
}

class RemotingCallTest : public ::testing::Test {
protected:
    RemotingCallTest() : baseline_(OutstandingBlocks()) {
        registry_.registerBuiltins();
        registry_.registerType<Session>("Session")
            .addField("state", &Session::state)
            .addField("tries", &Session::tries);
        host_.useRegistry(&registry_);
        FakeTransport::recordReleases = 0;
    }
    ~RemotingCallTest() override {
        host_ = FakeTransport();
        EXPECT_EQ(OutstandingBlocks(), baseline_) << "every record the call made is released";
    }

    Answer& answer() { return host_.answers.emplace_back(); }

    BindingRegistry registry_;
    FakeTransport host_;
    std::int64_t baseline_;
};

TEST_F(RemotingCallTest, TypedGetConvertsTheBodyAndSendsNoArguments) {
    answer().body = Json(R"({"state":"SUCCEEDED","tries":2})");
    RemotingResult<Session> result = RemotingCallFor<Session>(host_, kMethodGet, "/vek-login/v1/session");
    ASSERT_TRUE(result.ok()) << result.error().message();
    EXPECT_EQ(result.value().state, "SUCCEEDED");
    EXPECT_EQ(result.value().tries, 2);
    EXPECT_EQ(host_.requests, (std::vector<std::string>{"2 /vek-login/v1/session 24301"}));
    EXPECT_EQ(FakeTransport::recordReleases, 1);
}

TEST_F(RemotingCallTest, AnswersOfOtherTypes) {
    answer().body = Json(R"([{"state":"A"}])");
    auto many = RemotingCallFor<std::vector<Session>>(host_, kMethodGet, "/sessions");
    ASSERT_TRUE(many.ok()) << many.error().message();
    ASSERT_EQ(many.value().size(), 1u);
    EXPECT_EQ(many.value()[0].state, "A");

    answer().body = Json(R"({"state":"B"})");
    auto dynamic = RemotingCallFor<BindingProperty>(host_, kMethodGet, "/any");
    ASSERT_TRUE(dynamic.ok());
    EXPECT_EQ(dynamic.value().member("state").getString(), "B");

    answer().body = Json(R"("Succeeded")");
    auto state = RemotingCallFor<BindingAsyncState>(host_, kMethodGet, "/state");
    ASSERT_TRUE(state.ok()) << state.error().message();
    EXPECT_EQ(state.value(), BindingAsyncState::Succeeded);
    EXPECT_EQ(FakeTransport::recordReleases, 3);
}

// The error text alone marks a failure: a 404 without one is success, even
// with the presence byte set.
TEST_F(RemotingCallTest, AnErrorStatusWithoutErrorTextIsSuccess) {
    answer() = {.status = 404, .hasError = 1};
    EXPECT_FALSE(RemotingCall(host_, kMethodGet, "/ulm-auth/v1/authorization/access-token").has_value());
    answer().status = 404;
    auto empty = RemotingCallFor<BindingProperty>(host_, kMethodGet, "/ulm-auth/v1/authorization/access-token");
    ASSERT_TRUE(empty.ok());
    EXPECT_TRUE(empty.value().isEmpty());
    EXPECT_EQ(FakeTransport::recordReleases, 2);
}

// The code is the host's status when it sent an error text, else 0.
TEST_F(RemotingCallTest, EveryFailureIsAnErrorWithItsMessageAndTheRecordIsReleasedOnce) {
    const std::string converting = "Error converting response for GET /p: ";
    const std::string streamed = "Error reading streamed response for GET /p: ";
    const std::string notStructure =
        "Couldn't assign value to '<result>' of type Session because the input not a structure.";
    const struct {
        Answer answer;
        std::vector<StreamPiece> stream;
        std::string message;
    } cases[] = {
        {{.error = "boom", .status = 500, .hasError = 0}, {}, "Error response for GET /p: boom"},
        {{.error = "odd", .status = 200}, {}, "Error response for GET /p: odd"},
        {{.sent = false}, {}, "Request not sent: no host to take GET /p"},
        {{.body = Json(R"("text")")}, {}, converting + notStructure},
        {{}, {}, converting + "A value for '<result>' is required."},
        {{.bodyTag = 12},
         {},
         converting +
             "Couldn't assign value to '<result>' of type object because the input is of an incompatible type ''."},
        {{}, {{"", 1, false}}, streamed + "Stream read error"},
        {{}, {{"{x", 0}}, streamed + "Error: Missing a name for object member. at offset 1."},
        {{}, {{"[1]", 0}}, converting + notStructure},
    };
    for (const auto& c : cases) {
        FakeStream stream{c.stream};
        host_ = FakeTransport();
        host_.useRegistry(&registry_);
        FakeTransport::recordReleases = 0;
        Answer& next = answer();
        next = c.answer;
        if (!stream.pieces.empty()) next.stream = &stream;
        RemotingResult<Session> result = RemotingCallFor<Session>(host_, kMethodGet, "/p");
        ASSERT_FALSE(result.ok()) << c.message;
        EXPECT_EQ(result.error().code(), c.answer.error != nullptr ? c.answer.status : 0) << c.message;
        EXPECT_EQ(result.error().message(), c.message);
        EXPECT_EQ(FakeTransport::recordReleases, c.answer.sent ? 1 : 0) << c.message;
        EXPECT_EQ(stream.releases, stream.pieces.empty() ? 0 : 1) << c.message;
    }
}

// A string travelling as one unnamed entry, and a call without parameters as
// none, are in the default scenario's transcript.
TEST_F(RemotingCallTest, AStructureTravelsAsNamedEntriesAndOneThatCannotBeConvertedDoesNotTravel) {
    answer();
    EXPECT_FALSE(RemotingCall(host_, kMethodPost, "/connect", Session{"ON", 3}).has_value());
    EXPECT_EQ(host_.requests, (std::vector<std::string>{"6 /connect 24301 state='ON' tries=i:3"}));
    EXPECT_EQ(FakeTransport::recordReleases, 1);

    // Parameters that cannot be converted are not sent.
    const std::optional<RemotingError> error = RemotingCall(host_, kMethodPost, "/p", Stranger{});
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 400);
    EXPECT_STREQ(error->message(),
                 "Request not sent: Error converting parameters for POST /p: Couldn't convert native value because "
                 "it's an unregistered structure. (400)");
    EXPECT_EQ(host_.requests.size(), 1u);
}

TEST_F(RemotingCallTest, AStreamNobodyReadsIsReleasedOnce) {
    FakeStream stream{{{"[1]", 0}}};
    answer().stream = &stream;
    EXPECT_FALSE(RemotingCall(host_, kMethodDelete, "/p").has_value());
    EXPECT_EQ(stream.reads, 0u);
    EXPECT_EQ(stream.releases, 1);
    EXPECT_EQ(FakeTransport::recordReleases, 1);
}

class ThrowingTransport : public FakeTransport {
public:
    bool send(HostResponseRecord& response, const HostRequestRecord& request) override {
        FakeTransport::send(response, request);
        throw std::bad_alloc();
    }
};

TEST_F(RemotingCallTest, AnExceptionInsideACallBecomesAnErrorAndStillReleases) {
    ThrowingTransport host;
    host.answers.emplace_back();
    const std::optional<RemotingError> error = RemotingCall(host, kMethodGet, "/p");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), 0);
    EXPECT_STREQ(error->message(), "Exception during request GET /p: std::bad_alloc");
    EXPECT_EQ(FakeTransport::recordReleases, 1);
}

struct StreamCase {
    const char* what;
    std::vector<StreamPiece> pieces;
    std::uint32_t sizeHint;
    std::vector<std::string> trace;
    std::string result;  // the value's text, or the error
};

// The yield between short reads, and the unload inside it, are in the host
// simulator's transcripts.
TEST_F(RemotingCallTest, ReadsStreamsInChunksUntilTheHostHasNoMoreOrFails) {
    const std::string filled(4092, 'a');
    const std::string bigArray = "[\"" + filled + "\",";  // 4096 bytes
    const std::vector<std::string> exactFit = {"send 2 /s", "read 4096", "read 4096", "release stream"};
    const std::vector<std::string> oneRead = {"send 2 /s", "read 4096", "release stream"};
    const std::string readError = "Error reading streamed response for GET /s: Stream read error";
    const StreamCase cases[] = {
        {"exact fit then a short last read", {{bigArray}, {"1]", 0}}, 0, exactFit, "['" + filled + "',u:1]"},
        {"a full read that says no more ends", {{std::string(4096, ' '), 0}}, 0, oneRead, "~"},
        {"a failing first read", {{"", 1, false}}, 0, oneRead, readError},
        {"a count beyond the buffer", {{"[1]", 1, true, 4097}}, 0, oneRead, readError},
        {"a huge size hint", {{"[3]", 0}}, 0xFFFFFFFFu, oneRead, "[u:3]"},
    };
    for (const auto& c : cases) {
        host_ = FakeTransport();
        FakeTransport::recordReleases = 0;
        FakeStream stream{c.pieces};
        Answer& next = answer();
        next.stream = &stream;
        next.sizeHint = c.sizeHint;
        RemotingResult<BindingProperty> result = RemotingCallFor<BindingProperty>(host_, kMethodGet, "/s");
        EXPECT_EQ(host_.trace, c.trace) << c.what;
        EXPECT_EQ(stream.releases, 1) << c.what;
        EXPECT_EQ(FakeTransport::recordReleases, 1) << c.what;
        EXPECT_EQ(result.ok() ? Testing::ValueText(result.value()) : result.error().message(), c.result) << c.what;
    }
}

TEST_F(RemotingCallTest, ReadStreamedBodyWithoutAReadFunctionFailsAndStillReleases) {
    FakeStream stream;
    HostResponseRecord response{};
    response.releaseStream = &FakeStream::Release;
    response.stream = &stream;
    const BindingResult result = ReadStreamedBody(host_, response);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error(), "Stream read error");
    EXPECT_EQ(stream.releases, 1);
}

}  // namespace
}  // namespace Norv::RemotingTest
