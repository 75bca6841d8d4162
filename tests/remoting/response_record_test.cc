#include "remoting/response_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "diagnostics/format.h"
#include "remoting/host_headers.h"
#include "tests/remoting/record_checks.h"
#include "tests/support/recording_log_target.h"

namespace Norv {
namespace {

using Testing::OutstandingBlocks;

// Packed fields are read by value: a reference to one may be misaligned.
template <class T>
T Read(T field) {
    return field;
}

// Status, presence byte and error, flag, kind, content type, body tag, headers,
// and whether a stream and the plugin's release are set.
std::string RecordText(const HostResponseRecord& r) {
    const auto text = [](const char* field) { return field == nullptr ? "null" : field; };
    std::string line = Format("%1 %2:%3 flag %4 kind %5 type %6 body %7 headers", Read(r.status), Read(r.hasError),
                              text(r.error), Read(r.flag), Read(r.kind), text(r.contentType), Read(r.body.tag));
    for (std::uint32_t i = 0; i < Read(r.headerCount); ++i)
        line += Format(" %1=%2", r.headers[i].name, r.headers[i].value);
    if (Read(r.stream) != nullptr || Read(r.readStream) != nullptr) line += " stream";
    return line + (Read(r.release) == &ReleaseResponse ? " released" : "");
}

bool IsZero(const HostResponseRecord& response) {
    static const HostResponseRecord zero{};
    return std::memcmp(&response, &zero, sizeof zero) == 0;
}

class ScriptedStream : public ResponseStream {
public:
    ScriptedStream(int* destroyed, std::uint32_t reported, bool throws = false)
        : destroyed_(destroyed), reported_(reported), throws_(throws) {}
    ~ScriptedStream() override { ++*destroyed_; }
    bool read(std::uint8_t* buffer, std::uint32_t* count, std::uint8_t* more) override {
        if (throws_) throw std::runtime_error("stream broke");
        buffer[0] = 'x';
        *count = reported_;
        *more = 0;
        return true;
    }
    std::uint32_t sizeHint() const override { return 77; }

private:
    int* destroyed_;
    std::uint32_t reported_;
    bool throws_;
};

class ResponseRecordTest : public ::testing::Test {
protected:
    ResponseRecordTest() : baseline_(OutstandingBlocks()) { std::memset(&response_, 0, sizeof response_); }
    ~ResponseRecordTest() override {
        ReleaseResponse(&response_);
        EXPECT_EQ(OutstandingBlocks(), baseline_) << "the release frees everything the record owns";
    }

    std::int64_t baseline_;
    HostResponseRecord response_;
};

TEST_F(ResponseRecordTest, FillsFromASuccessfulResultAndReleasesEverythingOnceEvenWhenReleasedTwice) {
    CallResult result;
    result.status = 201;
    result.contentType = "application/json";
    result.body.member("name") = "value";
    result.headers = {{"X-A", "1"}, {"X-B", "2"}, {"X-A", "3"}};
    result.flag = 7;
    result.kind = 2;
    PrepareResponse(response_);
    FillResponse(response_, result, nullptr);
    // A repeated name is a pair of its own, in its place.
    EXPECT_EQ(RecordText(response_),
              "201 0:null flag 7 kind 2 type application/json body 10 headers X-A=1 X-B=2 X-A=3 released");
    response_.release(&response_);
    EXPECT_TRUE(IsZero(response_));
    EXPECT_EQ(OutstandingBlocks(), baseline_);
    ReleaseResponse(&response_);
    EXPECT_TRUE(IsZero(response_));
}

void NORV_CALL ForeignRelease(HostResponseRecord*) {}

TEST_F(ResponseRecordTest, PreparingFreesOnlyWhatThePluginFilled) {
    RecordResponseError(response_, "an earlier answer");
    PrepareResponse(response_);
    EXPECT_EQ(OutstandingBlocks(), baseline_);

    // Pointers a host left in its own record are not the plugin's to free.
    static char hostText[] = "host's";
    response_.error = hostText;
    response_.contentType = hostText;
    response_.headerCount = 3;
    response_.release = &ForeignRelease;
    PrepareResponse(response_);
    EXPECT_EQ(RecordText(response_), "0 0:null flag 0 kind 0 type null body 0 headers released");
}

TEST_F(ResponseRecordTest, AFailedResultGivesItsErrorAndStatusAndTheSharedEmptyContentType) {
    int destroyed = 0;
    CallResult result;
    result.body = "dropped";
    result.bodyStream = std::make_unique<ScriptedStream>(&destroyed, 1);
    result.status = 0;
    result.setError("Unknown argument 'x' for 'F'.");
    result.setError("a later failure");
    result.kind = 9;
    EXPECT_EQ(destroyed, 1) << "recording a failure drops the stream";
    FillResponse(response_, result, nullptr);
    // Kinds other than 1 to 3 pass as 0.
    EXPECT_EQ(RecordText(response_), "0 1:Unknown argument 'x' for 'F'. flag 0 kind 0 type  body 0 headers released");
}

TEST_F(ResponseRecordTest, RecordingASecondErrorFreesTheFirstAndTheBody) {
    BindingProperty body;
    body = "a body the error replaces";
    writeHostValue(response_.body, body);
    RecordResponseError(response_, "Invalid function");
    RecordResponseError(response_, "Unsupported builtin function");
    EXPECT_EQ(RecordText(response_),
              "0 1:Unsupported builtin function flag 0 kind 0 type null body 0 headers released");
}

TEST_F(ResponseRecordTest, TheStreamMovesIntoTheRecordAndItsFunctionsForwardSafelyAndTurnFaultsIntoFailures) {
    int destroyed = 0;
    CallResult result;
    result.bodyStream = std::make_unique<ScriptedStream>(&destroyed, 1);
    FillResponse(response_, result, nullptr);
    EXPECT_EQ(result.bodyStream, nullptr);
    ASSERT_NE(Read(response_.stream), nullptr);
    EXPECT_EQ(Read(response_.streamSizeHint), 77u);

    std::uint8_t buffer[4] = {};
    std::uint32_t count = sizeof buffer;
    std::uint8_t more = 1;
    EXPECT_EQ(response_.readStream(response_.stream, buffer, &count, &more), 1);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(more, 0);
    EXPECT_EQ(response_.readStream(response_.stream, buffer, nullptr, &more), 0);
    response_.releaseStream(response_.stream);
    EXPECT_EQ(destroyed, 1);

    // A count beyond the buffer and an exception are failures; the exception is logged.
    Testing::LogCapture log;
    ScriptedStream overlong(&destroyed, 5);
    ScriptedStream throwing(&destroyed, 1, true);
    for (ScriptedStream* stream : {&overlong, &throwing}) {
        count = sizeof buffer;
        EXPECT_EQ(ReadResponseStream(stream, buffer, &count, &more), 0);
    }
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{"DBG| ERROR|Exception in ReadResponseStream: stream broke\n"}));
}

TEST(HostHeaders, CollectsPairsLastValueWinningAndNullsReadingAsNothing) {
    const HostHeaderEntry pairs[] = {{"accept", "a"}, {nullptr, "skipped"}, {"x-token", nullptr}, {"accept", "b"}};
    const HeaderMap headers = CollectHeaders(pairs, 4);
    EXPECT_EQ(headers, (HeaderMap{{"accept", "b"}, {"x-token", ""}}));
    EXPECT_TRUE(CollectHeaders(nullptr, 3).empty());
}

}  // namespace
}  // namespace Norv
