// The documents the reader benchmarks parse, generated in code and rendered as
// JSON, MessagePack and block YAML: a JSON:API-like list of 10,000 records with
// repeated keys, a numbers-heavy array, and a deeply keyed configuration.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace Norv::Bench {

// Deterministic pseudo-random numbers, so every run parses the same bytes.
class Sequence {
public:
    std::uint32_t next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(state_ >> 33);
    }

private:
    std::uint64_t state_ = 42;
};

inline nlohmann::json JsonApiDocument() {
    Sequence random;
    nlohmann::json data = nlohmann::json::array();
    for (int i = 0; i < 10000; ++i) {
        const std::string id = std::to_string(i + 1);
        data.push_back({
            {"type", "articles"},
            {"id", id},
            {"attributes",
             {{"title", "Article number " + id},
              {"body", "Lorem ipsum dolor sit amet, consectetur adipiscing elit " + std::to_string(random.next())},
              {"created", "2024-03-" + std::to_string(10 + i % 18) + "T12:34:56Z"},
              {"views", random.next() % 100000},
              {"rating", (random.next() % 500) / 100.0},
              {"published", i % 3 != 0},
              {"tags", {"news", "tech", "tag" + std::to_string(i % 50)}}}},
            {"relationships",
             {{"author", {{"data", {{"type", "people"}, {"id", std::to_string(random.next() % 500)}}}}}}},
            {"links", {{"self", "/articles/" + id}}},
        });
    }
    return {{"data", data}, {"meta", {{"total", 10000}}}};
}

inline nlohmann::json NumbersDocument() {
    Sequence random;
    nlohmann::json rows = nlohmann::json::array();
    for (int row = 0; row < 10000; ++row) {
        nlohmann::json values = nlohmann::json::array();
        for (int i = 0; i < 20; ++i) {
            const std::uint32_t r = random.next();
            switch (i % 4) {
                case 0:
                    values.push_back(r % 1000);
                    break;
                case 1:
                    values.push_back(-static_cast<std::int64_t>(r));
                    break;
                case 2:
                    values.push_back(static_cast<double>(r) / 1024.0);
                    break;
                default:
                    values.push_back(static_cast<std::uint64_t>(r) << 20);
                    break;
            }
        }
        rows.push_back(values);
    }
    return rows;
}

inline nlohmann::json ConfigurationLevel(Sequence& random, int depth) {
    nlohmann::json level = nlohmann::json::object();
    // Seven keys a level, six levels: about 2.4 MB of JSON.
    for (int i = 0; i < 7; ++i) {
        const std::string key = "section_" + std::to_string(i);
        if (depth == 0) {
            switch (i % 4) {
                case 0:
                    level["setting_" + std::to_string(i)] = "value-" + std::to_string(random.next() % 1000);
                    break;
                case 1:
                    level["limit_" + std::to_string(i)] = random.next() % 65536;
                    break;
                case 2:
                    level["enabled_" + std::to_string(i)] = random.next() % 2 == 0;
                    break;
                default:
                    level["ratio_" + std::to_string(i)] = (random.next() % 1000) / 8.0;
                    break;
            }
        } else {
            level[key] = ConfigurationLevel(random, depth - 1);
        }
    }
    return level;
}

inline nlohmann::json ConfigurationDocument() {
    Sequence random;
    return ConfigurationLevel(random, 5);
}

// Block YAML: mappings and sequences on their own lines, scalars as JSON writes
// them (JSON scalars are valid YAML flow scalars).
inline void AppendYaml(std::string& out, const nlohmann::json& value, std::size_t indent) {
    const auto appendItem = [&](const std::string& lead, const nlohmann::json& child) {
        out.append(indent, ' ');
        out += lead;
        if (child.is_structured() && !child.empty()) {
            out += '\n';
            AppendYaml(out, child, indent + 2);
        } else {
            out += ' ';
            out += child.dump();
            out += '\n';
        }
    };
    if (value.is_object()) {
        for (const auto& [key, child] : value.items()) appendItem(key + ":", child);
    } else if (value.is_array()) {
        for (const nlohmann::json& child : value) appendItem("-", child);
    }
}

inline std::string ToYaml(const nlohmann::json& document) {
    std::string out;
    AppendYaml(out, document, 0);
    return out;
}

}  // namespace Norv::Bench
