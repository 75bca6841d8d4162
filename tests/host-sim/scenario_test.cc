// Scenario files as a person writes them: what they mean, and what a faulty
// one is told.
#include "tools/host-sim/scenario.h"

#include "remoting/request_method.h"

#include <gtest/gtest.h>

#include <string>

namespace Norv::HostSim {
namespace {

using Testing::JsonText;

// Top-level answers and step events in both syntaxes are read by the golden
// scenarios; these keys are not.
TEST(Scenario, YamlAndJsonSayTheSame) {
    const char* yaml = R"(
title: Two events
steps:
  - answers:
      - {method: DELETE, path: /p, status: 404, error: none here}
    yieldEvents:
      - {name: OnSomething, uri: /else, eventType: 2}
    expectRequests: [GET /p]
)";
    const char* json = R"({"title": "Two events",
      "steps": [{"answers": [{"method": "DELETE", "path": "/p", "status": 404, "error": "none here"}],
                 "yieldEvents": [{"name": "OnSomething", "uri": "/else", "eventType": 2}],
                 "expectRequests": ["GET /p"]}]})";
    ScenarioReadResult fromYaml = ReadScenario(yaml, ScenarioSyntax::Guess);
    ScenarioReadResult fromJson = ReadScenario(json, ScenarioSyntax::Guess);
    ASSERT_TRUE(fromYaml.ok) << fromYaml.error;
    ASSERT_TRUE(fromJson.ok) << fromJson.error;
    for (const Scenario* scenario : {&fromYaml.scenario, &fromJson.scenario}) {
        EXPECT_EQ(scenario->title, "Two events");
        ASSERT_EQ(scenario->steps.size(), 1u);
        const ScenarioStep& step = scenario->steps[0];
        EXPECT_EQ(step.answers.at(0).method, kMethodDelete);
        EXPECT_EQ(step.answers[0].status, 404);
        EXPECT_EQ(step.answers[0].error, "none here");
        EXPECT_EQ(step.yieldEvents.at(0).eventName, "OnSomething");
        EXPECT_EQ(JsonText(step.yieldEvents[0].payload), R"({"data":null,"eventType":2,"uri":"/else"})");
        EXPECT_EQ(step.expectedRequests, std::vector<std::string>{"GET /p"});
    }
}

TEST(Scenario, FaultyFilesAreToldWhereAndWhat) {
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"", "scenario: expected a mapping of keys, found empty"},
        {std::string("{\"title\": \"a\0b\"}", 16), "Error: NUL character in the text at offset 12."},
        {R"({"answers": [}")", "Error: Invalid value. at offset 13."},
        {"answers: [", "YAML parser error: did not find expected node content. At line: 1 col: 0"},
        {R"({"answer": []})", "scenario: unknown key 'answer' (known: title, answers, initYieldEvents, steps)"},
        {R"({"title": 5})", "scenario: key 'title' must be a text"},
        {R"({"steps": {"a": 1}})", "scenario: key 'steps' must be a list"},
        {R"({"steps": [{}, 1]})", "step 2: expected a mapping of keys, found unsigned"},
        {R"({"answers": [{"method": "FETCH", "path": "/a"}]})",
         "answer 1: key 'method': unknown method 'FETCH' (DELETE, GET, HEAD, OPTIONS, PATCH, POST or PUT)"},
        {R"({"answers": [{"method": "GET"}]})", "answer 1: missing key 'path'"},
        {R"({"answers": [{"method": "GET", "path": "/a", "status": 1000}]})",
         "answer 1: key 'status' must be a whole number from 100 to 999"},
        {R"({"answers": [{"method": "GET", "path": "/a", "status": -200}]})",
         "answer 1: key 'status' must be a whole number from 100 to 999"},
        {R"({"answers": [{"method": "GET", "path": "/a", "stream": 0}]})",
         "answer 1: key 'stream' must be a whole number from 1 to 2147483647"},
        {R"({"answers": [{"method": "GET", "path": "/a", "error": ["x"]}]})", "answer 1: key 'error' must be a text"},
        {R"({"steps": [{}, {"answers": [{"method": "GET", "path": "/a", "bdy": 1}]}]})",
         "step 2, answer 1: unknown key 'bdy' (known: method, path, status, error, body, stream, streamText, "
         "streamOnYield)"},
        {R"({"steps": [{"event": {"eventType": "Update"}}]})", "step 1, event: give the event's 'path' or its 'name'"},
        {R"({"steps": [{"event": {"path": "/a"}}]})", "step 1, event: missing key 'eventType'"},
        {R"({"steps": [{"event": {"path": "/a", "eventType": "Upsert"}}]})",
         "step 1, event: key 'eventType': unknown event type 'Upsert' (Create, Update or Delete)"},
        {R"({"steps": [{"event": {"path": "/a", "eventType": 3}}]})",
         "step 1, event: key 'eventType' must be a whole number from 0 to 2"},
        {R"({"steps": [{"yieldEvents": [{"path": "/a", "eventType": 0}, {"path": 1}]}]})",
         "step 1, yieldEvents 2: key 'path' must be a text"},
        {R"({"steps": [{"expectRequests": ["GET /a", 2]}]})", "step 1: key 'expectRequests' must be a text"},
        {R"({"steps": [{"unloadInYield": 1}]})", "step 1: key 'unloadInYield' must be true or false"},
    };
    for (const Case& c : cases) {
        ScenarioReadResult read = ReadScenario(c.text, ScenarioSyntax::Guess);
        EXPECT_FALSE(read.ok) << c.text.substr(0, 80);
        EXPECT_EQ(read.error, c.error) << c.text.substr(0, 80);
    }
}

TEST(Scenario, FileErrorsNameTheFile) {
    ScenarioReadResult missing = ReadScenarioFile("no-such-directory/scenario.yaml");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.error, "cannot read the scenario file no-such-directory/scenario.yaml");
}

TEST(Scenario, EventNamesFollowTheResourcePath) {
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"/vek-login/v1/session/extra", "OnJsonApiEvent_vek-login_v1_session"},
        {"//vek-login//v1/session/", "OnJsonApiEvent_vek-login_v1_session"},
        {"/", "OnJsonApiEvent"},
        {"/vek-platform-config/v1/namespaces/a/b/c", "OnJsonApiEvent_vek-platform-config_v1_namespaces_a_b"},
        {"/a/vek-platform-config/v1/namespaces/b", "OnJsonApiEvent_a_vek-platform-config_v1"},
    };
    for (const Case& c : cases) EXPECT_EQ(ResourceEventName(c.path), c.name) << c.path;
}

}  // namespace
}  // namespace Norv::HostSim
