// What the host simulator plays: the answers its request slot gives, then a
// list of steps (answers changed, events delivered, requests expected). Read
// from JSON or YAML text with the project's own readers; the default scenario
// is such a text too.
#pragma once

#include "binding/binding_property.h"
#include "tests/support/fake_host.h"

#include <string>
#include <string_view>
#include <vector>

namespace Norv::HostSim {

// One event as the host delivers it: the name it was subscribed under and the
// payload (uri, eventType, data).
struct ScenarioEvent {
    std::string eventName;
    BindingProperty payload;
};

struct ScenarioStep {
    std::string title;
    std::vector<Testing::AnswerEntry> answers;  // set before the step's event
    std::vector<ScenarioEvent> events;          // delivered one after the other
    // Delivered inside the plugin's yields during this step, one per yield.
    std::vector<ScenarioEvent> yieldEvents;
    // The host unloads the plugin inside its first yield of this step (after
    // any yield events), as a host shutting down while the plugin waits would.
    bool unloadInYield = false;
    bool expectsRequests = false;
    std::vector<std::string> expectedRequests;  // "METHOD path", in order
};

struct Scenario {
    std::string title;
    std::vector<Testing::AnswerEntry> answers;
    // Delivered inside the plugin's yields during init, one per yield.
    std::vector<ScenarioEvent> initYieldEvents;
    std::vector<ScenarioStep> steps;
};

struct ScenarioReadResult {
    bool ok = false;
    Scenario scenario;
    std::string error;  // where and what, when not ok
};

enum class ScenarioSyntax { Json, Yaml, Guess };

// Reads a scenario; a syntax error names the reader's position, a wrong key or
// value names the step (or answer) and the key.
ScenarioReadResult ReadScenario(std::string_view text, ScenarioSyntax syntax);
// Reads a file, choosing the reader by extension (.json, .yaml, .yml) or else by content.
ScenarioReadResult ReadScenarioFile(const std::string& path);

// The scenario `host_sim` plays without --scenario, as JSON text.
extern const char* const kDefaultScenarioText;
Scenario DefaultScenario();

// The host's event name for a resource path: "OnJsonApiEvent" and the first
// three segments (five under vek-platform-config), joined by '_'.
std::string ResourceEventName(std::string_view path);

}  // namespace Norv::HostSim
