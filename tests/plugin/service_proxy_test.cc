#include "plugin/host_plugin.h"
#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace Norv {
namespace {

using Client::PluginServiceProxyResponse;

PluginServiceProxyResponse Answer(const char* uuid, const char* service = "", const char* method = "",
                                  const char* payload = "") {
    PluginServiceProxyResponse answer;
    answer.uuid = uuid;
    answer.serviceName = service;
    answer.methodName = method;
    answer.payload = payload;
    return answer;
}

class ServiceProxy : public ::testing::Test {
protected:
    ServiceProxyHandler Record(const char* tag) {
        return [this, tag](const PluginServiceProxyResponse& answer) {
            calls_.push_back(std::string(tag) + ":" + answer.payload);
        };
    }

    Testing::LogCapture log_;
    HostPlugin plugin_;
    std::vector<std::string> calls_;
};

TEST_F(ServiceProxy, OneAnswerFulfilsOneRequestAndALaterAnswerReplacesAnEarlierOne) {
    plugin_.OnServiceProxyMethod(Answer("", "s", "m", "old"));
    plugin_.OnServiceProxyMethod(Answer("", "s", "m", "new"));
    EXPECT_EQ(plugin_.ReceivedAnswerCount(), 1u);
    plugin_.AddPendingRequest("s.m", Record("r1"));
    plugin_.AddPendingRequest("s.m", Record("r2"));
    EXPECT_EQ(calls_, std::vector<std::string>{"r1:new"});
    EXPECT_EQ(plugin_.PendingRequestCount(), 1u);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"DBG|ALWAYS|Fulfilled service proxy request: s.m\n"});
}

TEST_F(ServiceProxy, AnAsyncMessageWithoutAHandlerIsLoggedWithItsKeyNotAsAFormat) {
    plugin_.OnServiceProxyAsync(Answer("", "%s%n", "x", "lost"));
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{
                                "DBG| ERROR|Could not find registered handler for async service proxy event %s%n.x\n"});
}

TEST_F(ServiceProxy, HandlersMayRegisterAnswerAndShutDownWithoutDeadlock) {
    plugin_.AddPendingRequest("u1", [this](const PluginServiceProxyResponse&) {
        calls_.push_back("u1");
        plugin_.AddPendingRequest("u1", Record("again"));
        plugin_.OnServiceProxyUuid(Answer("u1", "", "", "second"));
    });
    plugin_.SetAsyncHandler("s.m", [this](const PluginServiceProxyResponse&) {
        calls_.push_back("async");
        plugin_.SetAsyncHandler("s.m", Record("replaced"));
        plugin_.Shutdown();
    });
    plugin_.OnServiceProxyUuid(Answer("u1"));
    plugin_.OnServiceProxyAsync(Answer("", "s", "m"));
    plugin_.OnServiceProxyAsync(Answer("", "s", "m"));
    EXPECT_EQ(calls_, (std::vector<std::string>{"u1", "again:second", "async"}));
    EXPECT_EQ(plugin_.PendingRequestCount(), 0u);
}

TEST_F(ServiceProxy, UnclaimedAnswersAreBoundedOldestFirstWithAMessageAndShutdownForgetsThem) {
    for (std::size_t i = 0; i < kReceivedAnswerLimit; ++i) {
        plugin_.OnServiceProxyUuid(Answer(std::to_string(i).c_str(), "", "", "x"));
    }
    // A refreshed answer counts as the newest.
    plugin_.OnServiceProxyUuid(Answer("0", "", "", "y"));
    plugin_.OnServiceProxyUuid(Answer("new", "", "", "z"));
    EXPECT_EQ(plugin_.ReceivedAnswerCount(), kReceivedAnswerLimit);
    EXPECT_EQ(log_.Lines(), std::vector<std::string>{"DBG| ERROR|Dropped unclaimed service proxy answer: 1\n"});
    plugin_.AddPendingRequest("1", Record("evicted"));
    plugin_.AddPendingRequest("0", Record("refreshed"));
    EXPECT_EQ(calls_, std::vector<std::string>{"refreshed:y"});
    plugin_.Shutdown();
    EXPECT_EQ(plugin_.PendingRequestCount(), 0u);
    EXPECT_EQ(plugin_.ReceivedAnswerCount(), 0u);
}

TEST_F(ServiceProxy, RequestsFromAnotherThreadMeetAnswersFromTheHostThread) {
    constexpr int kCount = 200;
    std::atomic<int> fulfilled{0};
    std::thread registrar([&] {
        for (int i = 0; i < kCount; ++i) {
            plugin_.AddPendingRequest("k" + std::to_string(i), [&](const PluginServiceProxyResponse&) { ++fulfilled; });
        }
    });
    for (int i = 0; i < kCount; ++i) plugin_.OnServiceProxyUuid(Answer(("k" + std::to_string(i)).c_str()));
    registrar.join();
    // Whatever order they met in, every request found its answer.
    for (int i = 0; i < kCount && plugin_.PendingRequestCount() > 0; ++i) plugin_.FulfilPendingRequest();
    EXPECT_EQ(fulfilled.load(), kCount);
}

}  // namespace
}  // namespace Norv
