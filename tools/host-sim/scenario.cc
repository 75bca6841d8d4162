#include "tools/host-sim/scenario.h"

#include "diagnostics/format.h"
#include "formats/json_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/request_method.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <sstream>

namespace Norv::HostSim {

namespace {

constexpr const char* kNotAMapping = "%1: expected a mapping of keys, found %2";
constexpr const char* kNotAList = "%1: key '%2' must be a list";
constexpr const char* kUnknownKey = "%1: unknown key '%2' (known: %3)";
constexpr const char* kMissingKey = "%1: missing key '%2'";
constexpr const char* kNotAText = "%1: key '%2' must be a text";
constexpr const char* kNotAFlag = "%1: key '%2' must be true or false";
constexpr const char* kNotANumber = "%1: key '%2' must be a whole number from %3 to %4";
constexpr const char* kUnknownMethod =
    "%1: key 'method': unknown method '%2' (DELETE, GET, HEAD, OPTIONS, PATCH, POST or PUT)";
constexpr const char* kUnknownEventType = "%1: key 'eventType': unknown event type '%2' (Create, Update or Delete)";
constexpr const char* kEventWithoutName = "%1: give the event's 'path' or its 'name'";
constexpr const char* kPayloadWithResourceKeys =
    "%1: key 'payload' is the whole payload; leave out 'uri', 'eventType' and 'data'";
constexpr const char* kCannotOpen = "cannot read the scenario file %1";
constexpr const char* kInFile = "%1: %2";
constexpr const char* kNulInJson = "Error: NUL character in the text at offset %1.";

constexpr const char* kEventTypes[] = {"Create", "Update", "Delete"};

// Walks the value tree of a scenario, stopping at the first fault.
class ScenarioBuilder {
public:
    bool Build(const BindingProperty& root, Scenario& scenario) {
        if (!Keys(root, "scenario", {"title", "answers", "initYieldEvents", "steps"})) return false;
        if (!Text(root, "scenario", "title", scenario.title)) return false;
        if (!Answers(root, "scenario", scenario.answers)) return false;
        if (!Events(root, "scenario", "initYieldEvents", scenario.initYieldEvents)) return false;
        const BindingProperty& steps = root.get("steps");
        if (!List(steps, "scenario", "steps")) return false;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            ScenarioStep step;
            if (!Step(steps.at(i), "step " + std::to_string(i + 1), step)) return false;
            scenario.steps.push_back(std::move(step));
        }
        return true;
    }

    const std::string& Error() const { return error_; }

private:
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    bool Keys(const BindingProperty& value, const std::string& where, std::initializer_list<const char*> known) {
        if (value.kind() != BindingValueKind::Structure) return Fail(Format(kNotAMapping, where, value.kindName()));
        for (const BindingMember& member : value.members()) {
            bool found = std::any_of(known.begin(), known.end(), [&](const char* key) { return member.name == key; });
            if (!found) {
                std::string list;
                for (const char* key : known) list += (list.empty() ? "" : ", ") + std::string(key);
                return Fail(Format(kUnknownKey, where, member.name, list));
            }
        }
        return true;
    }

    // An absent key is the empty list.
    bool List(const BindingProperty& value, const std::string& where, const char* key) {
        if (value.isEmpty() || value.kind() == BindingValueKind::Collection) return true;
        return Fail(Format(kNotAList, where, key));
    }

    bool Text(const BindingProperty& map, const std::string& where, const char* key, std::string& out,
              bool required = false) {
        const BindingProperty& value = map.get(key);
        if (value.isEmpty()) return !required || Fail(Format(kMissingKey, where, key));
        if (value.kind() != BindingValueKind::String) return Fail(Format(kNotAText, where, key));
        out = std::string(value.getString());
        return true;
    }

    bool Number(const BindingProperty& map, const std::string& where, const char* key, std::int64_t low,
                std::int64_t high, std::int64_t& out) {
        const BindingProperty& value = map.get(key);
        if (value.isEmpty()) return true;
        bool fits = false;
        if (value.kind() == BindingValueKind::Signed) {
            out = value.getSigned();
            fits = out >= low && out <= high;
        } else if (value.kind() == BindingValueKind::Unsigned) {
            fits = value.getUnsigned() <= static_cast<std::uint64_t>(high);
            out = fits ? static_cast<std::int64_t>(value.getUnsigned()) : 0;
            fits = fits && out >= low;
        }
        return fits || Fail(Format(kNotANumber, where, key, low, high));
    }

    bool Answers(const BindingProperty& map, const std::string& where, std::vector<Testing::AnswerEntry>& out) {
        const BindingProperty& answers = map.get("answers");
        if (!List(answers, where, "answers")) return false;
        for (std::size_t i = 0; i < answers.size(); ++i) {
            std::string place = (where == "scenario" ? "" : where + ", ") + "answer " + std::to_string(i + 1);
            Testing::AnswerEntry answer;
            if (!Answer(answers.at(i), place, answer)) return false;
            out.push_back(std::move(answer));
        }
        return true;
    }

    bool Answer(const BindingProperty& value, const std::string& where, Testing::AnswerEntry& answer) {
        if (!Keys(value, where,
                  {"method", "path", "status", "error", "body", "stream", "streamText", "streamOnYield"})) {
            return false;
        }
        std::string method;
        if (!Text(value, where, "method", method, true)) return false;
        answer.method = kMethodNone;
        for (std::int32_t number = kMethodDelete; number <= kMethodPut; ++number) {
            if (MethodText(number) == method) answer.method = number;
        }
        if (answer.method == kMethodNone) return Fail(Format(kUnknownMethod, where, method));
        if (!Text(value, where, "path", answer.path, true)) return false;
        std::int64_t status = answer.status;
        if (!Number(value, where, "status", 100, 999, status)) return false;
        answer.status = static_cast<std::int32_t>(status);
        if (!value.get("error").isEmpty()) {
            std::string error;
            if (!Text(value, where, "error", error)) return false;
            answer.error = std::move(error);
        }
        answer.body = value.get("body");
        std::int64_t chunk = 0;
        if (!Number(value, where, "stream", 1, std::numeric_limits<std::int32_t>::max(), chunk)) return false;
        answer.streamChunk = static_cast<std::uint32_t>(chunk);
        if (!value.get("streamText").isEmpty()) {
            std::string text;
            if (!Text(value, where, "streamText", text)) return false;
            answer.streamText = std::move(text);
            if (answer.streamChunk == 0) answer.streamChunk = 4096;
        }
        return Flag(value, where, "streamOnYield", answer.streamOnYield);
    }

    bool Flag(const BindingProperty& value, const std::string& where, const char* key, bool& flag) {
        const BindingProperty& given = value.get(key);
        if (!given.isEmpty() && given.kind() != BindingValueKind::Bool) return Fail(Format(kNotAFlag, where, key));
        flag = given.getBool();
        return true;
    }

    bool Event(const BindingProperty& value, const std::string& where, ScenarioEvent& event) {
        if (!Keys(value, where, {"path", "name", "uri", "eventType", "data", "payload"})) return false;
        std::string path, uri;
        if (!Text(value, where, "path", path) || !Text(value, where, "name", event.eventName)) return false;
        if (path.empty() && event.eventName.empty()) return Fail(Format(kEventWithoutName, where));
        if (event.eventName.empty()) event.eventName = ResourceEventName(path);
        // Events other than resource events (the service proxy's) carry a
        // payload of their own.
        const BindingProperty& own = value.get("payload");
        if (!own.isEmpty()) {
            if (!value.get("uri").isEmpty() || !value.get("eventType").isEmpty() || !value.get("data").isEmpty()) {
                return Fail(Format(kPayloadWithResourceKeys, where));
            }
            event.payload = own;
            return true;
        }
        uri = path;
        if (!Text(value, where, "uri", uri)) return false;

        const BindingProperty& type = value.get("eventType");
        if (type.isEmpty()) return Fail(Format(kMissingKey, where, "eventType"));
        BindingProperty& payload = event.payload.makeStructure();
        if (type.kind() == BindingValueKind::String) {
            bool known = std::any_of(std::begin(kEventTypes), std::end(kEventTypes),
                                     [&](const char* name) { return type.getString() == name; });
            if (!known) return Fail(Format(kUnknownEventType, where, type.getString()));
            payload.member("eventType") = type.getString();
        } else {
            std::int64_t number = 0;
            if (!Number(value, where, "eventType", 0, 2, number)) return false;
            payload.member("eventType") = number;
        }
        payload.member("uri") = uri;
        payload.member("data") = value.get("data");
        return true;
    }

    bool Events(const BindingProperty& map, const std::string& where, const char* key,
                std::vector<ScenarioEvent>& out) {
        const BindingProperty& events = map.get(key);
        if (!List(events, where, key)) return false;
        for (std::size_t i = 0; i < events.size(); ++i) {
            ScenarioEvent event;
            std::string place = (where == "scenario" ? "" : where + ", ") + key + " " + std::to_string(i + 1);
            if (!Event(events.at(i), place, event)) return false;
            out.push_back(std::move(event));
        }
        return true;
    }

    bool Step(const BindingProperty& value, const std::string& where, ScenarioStep& step) {
        if (!Keys(value, where,
                  {"title", "answers", "event", "events", "yieldEvents", "unloadInYield", "expectRequests"})) {
            return false;
        }
        if (!Text(value, where, "title", step.title) || !Answers(value, where, step.answers)) return false;
        if (!value.get("event").isEmpty()) {
            ScenarioEvent event;
            if (!Event(value.get("event"), where + ", event", event)) return false;
            step.events.push_back(std::move(event));
        }
        if (!Events(value, where, "events", step.events)) return false;
        if (!Events(value, where, "yieldEvents", step.yieldEvents)) return false;
        if (!Flag(value, where, "unloadInYield", step.unloadInYield)) return false;
        const BindingProperty& expected = value.get("expectRequests");
        if (!List(expected, where, "expectRequests")) return false;
        step.expectsRequests = !expected.isEmpty();
        for (const BindingProperty& request : expected.elements()) {
            if (request.kind() != BindingValueKind::String) return Fail(Format(kNotAText, where, "expectRequests"));
            step.expectedRequests.emplace_back(request.getString());
        }
        return true;
    }

    std::string error_;
};

ScenarioSyntax SyntaxOfPath(const std::string& path) {
    auto endsWith = [&](std::string_view suffix) {
        return path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".json")) return ScenarioSyntax::Json;
    if (endsWith(".yaml") || endsWith(".yml")) return ScenarioSyntax::Yaml;
    return ScenarioSyntax::Guess;
}

}  // namespace

std::string ResourceEventName(std::string_view path) {
    std::vector<std::string_view> items{"OnJsonApiEvent"};
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) items.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::size_t keep = items.size() > 1 && items[1] == "vek-platform-config" ? 6 : 4;
    std::string name;
    for (std::size_t i = 0; i < items.size() && i < keep; ++i) {
        if (i != 0) name += '_';
        name += items[i];
    }
    return name;
}

ScenarioReadResult ReadScenario(std::string_view text, ScenarioSyntax syntax) {
    ScenarioReadResult result;
    std::string owned(text);
    if (syntax == ScenarioSyntax::Guess) {
        std::size_t first = owned.find_first_not_of(" \t\r\n");
        syntax = first != std::string::npos && (owned[first] == '{' || owned[first] == '[') ? ScenarioSyntax::Json
                                                                                            : ScenarioSyntax::Yaml;
    }
    // JSON text ends at its first NUL: a NUL inside is a fault the reader must see.
    if (syntax == ScenarioSyntax::Json && owned.find('\0') != std::string::npos) {
        result.error = Format(kNulInJson, owned.find('\0'));
        return result;
    }
    BindingResult parsed = syntax == ScenarioSyntax::Json ? ParseJson(owned) : ParseYaml(owned);
    if (!parsed.ok()) {
        result.error = std::string(parsed.error());
        return result;
    }
    ScenarioBuilder builder;
    result.ok = builder.Build(parsed.value, result.scenario);
    if (!result.ok) result.error = builder.Error();
    return result;
}

ScenarioReadResult ReadScenarioFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file) {
        ScenarioReadResult result;
        result.error = Format(kCannotOpen, path);
        return result;
    }
    ScenarioReadResult result = ReadScenario(text.str(), SyntaxOfPath(path));
    if (!result.ok) result.error = Format(kInFile, path, result.error);
    return result;
}

Scenario DefaultScenario() {
    ScenarioReadResult read = ReadScenario(kDefaultScenarioText, ScenarioSyntax::Json);
    return std::move(read.scenario);
}

}  // namespace Norv::HostSim
