// A function's URL template ("/items/{id}", "/files/{+path}", "/doc{#part}")
// and its matcher. A template's placeholders stand for the expressions
// ([^/]*), (.*) and #(.*); the matcher gives exactly the captures an ECMAScript
// full match of that expression would (each group as long as the rest still
// matches), in time linear in the path and without recursing per character,
// so a path of any length is safe to match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Norv {

enum class UrlParameterKind : std::uint8_t {
    Segment = 1,   // {name}: never crosses '/'
    Rest = 2,      // {+name}: everything, '/' included
    Fragment = 3,  // {#name}: what follows a literal '#'
};

struct UrlParameter {
    UrlParameterKind kind;
    std::string name;
};

namespace UrlTemplateMessage {
// A '}' with no placeholder open, a '{' inside one, or a placeholder left open
// would pair later names with the wrong captures.
inline constexpr const char* kUnbalancedBrace = "URL template '%1' has an unbalanced '%2' at offset %3.";
// A template is handed to the host as C text, where a NUL would cut it short.
inline constexpr const char* kNulCharacter = "URL template '%1' contains a NUL character at offset %2.";
}  // namespace UrlTemplateMessage

class UrlTemplate {
public:
    UrlTemplate() = default;
    // Never fails outright: a malformed template reports error() and matches nothing.
    explicit UrlTemplate(std::string_view text);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& text() const { return text_; }
    // Without placeholders a template is plain text, matched by equality.
    bool literal() const { return ok() && parameters_.empty(); }
    const std::vector<UrlParameter>& parameters() const { return parameters_; }
    // A template that spells out a '?' is matched against the path's query part too.
    bool spansQuery() const { return spansQuery_; }

    // The ECMAScript expression the template stands for (empty for a malformed one).
    std::string expression() const;

    // Whole-path match. On success `captures` (one per parameter, in template
    // order) point into `path`.
    bool match(std::string_view path, std::span<std::string_view> captures) const;

private:
    // A placeholder's characters and the literal text that must follow it.
    struct Group {
        bool crossesSlash;  // (.*) rather than ([^/]*)
        // Only one end is possible: the last group's, or one whose tail starts
        // with a character the group cannot take (where its run of characters
        // stops).
        bool fixedEnd;
        std::string tail;
    };

    static bool Fits(const Group& group, char c) { return group.crossesSlash ? c != '\n' && c != '\r' : c != '/'; }
    // Where a run of characters `group` can take, from `at`, stops.
    static std::size_t RunEnd(const Group& group, std::string_view path, std::size_t at);
    // Where a run of characters `group` can take, ending at `to`, starts (not before `from`).
    static std::size_t RunStart(const Group& group, std::string_view path, std::size_t from, std::size_t to);
    bool matchFixed(std::string_view path, std::size_t index, std::size_t& at, std::string_view& capture) const;
    bool matchSearching(std::string_view path, std::size_t first, std::size_t start,
                        std::span<std::string_view> captures) const;

    std::string text_;
    std::string error_;
    std::vector<UrlParameter> parameters_;
    bool spansQuery_ = false;
    std::string head_;  // literal text before the first placeholder
    std::vector<Group> groups_;
};

}  // namespace Norv
