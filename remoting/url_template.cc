#include "remoting/url_template.h"

#include <limits>
#include <memory>
#include <stdexcept>

#include "diagnostics/format.h"

namespace Norv {

namespace {

void AppendEscaped(std::string& expression, std::string_view literal) {
    constexpr std::string_view kSpecial = "^$.*+?()[]|\\";
    for (char c : literal) {
        if (kSpecial.find(c) != std::string_view::npos) expression += '\\';
        expression += c;
    }
}

}  // namespace

UrlTemplate::UrlTemplate(std::string_view text) : text_(text) {
    auto literal = [this]() -> std::string& { return groups_.empty() ? head_ : groups_.back().tail; };
    bool inside = false;
    std::size_t open = 0;
    UrlParameterKind kind = UrlParameterKind::Segment;
    std::string name;
    auto fail = [&](const char* brace, std::size_t offset) {
        error_ = Format(UrlTemplateMessage::kUnbalancedBrace, text, brace, offset);
    };
    for (std::size_t i = 0; i < text.size() && ok(); ++i) {
        const char c = text[i];
        if (c == '\0') {
            error_ = Format(UrlTemplateMessage::kNulCharacter, text, i);
        } else if (!inside) {
            if (c == '}') {
                fail("}", i);
            } else if (c == '{') {
                inside = true;
                open = i;
                kind = UrlParameterKind::Segment;
                name.clear();
            } else {
                literal() += c;
            }
        } else if (c == '{') {
            fail("{", i);
        } else if (c == '}') {
            if (kind == UrlParameterKind::Fragment) literal() += '#';
            groups_.push_back({kind != UrlParameterKind::Segment, {}});
            parameters_.push_back({kind, std::move(name)});
            name.clear();
            inside = false;
        } else if (i == open + 1 && (c == '+' || c == '#')) {
            kind = c == '+' ? UrlParameterKind::Rest : UrlParameterKind::Fragment;
        } else {
            name += c;
        }
    }
    if (ok() && inside) fail("{", open);
    if (!ok()) {
        parameters_.clear();
        groups_.clear();
        head_.clear();
    }
}

std::string UrlTemplate::expression() const {
    if (!ok()) return {};
    std::string expression;
    AppendEscaped(expression, head_);
    for (const Group& group : groups_) {
        expression += group.crossesSlash ? "(.*)" : "([^/]*)";
        AppendEscaped(expression, group.tail);
    }
    return expression;
}

bool UrlTemplate::endsAt(std::string_view path, std::size_t index, std::size_t at, const unsigned char* feasible,
                         std::size_t start) const {
    const std::string& tail = groups_[index].tail;
    if (path.size() - at < tail.size() || path.compare(at, tail.size(), tail) != 0) return false;
    const std::size_t after = at + tail.size();
    if (index + 1 == groups_.size()) return after == path.size();
    return feasible[(index + 1) * (path.size() - start + 1) + (after - start)] != 0;
}

bool UrlTemplate::match(std::string_view path, std::span<std::string_view> captures) const {
    if (!ok()) return false;
    if (groups_.empty()) return path == head_;
    if (captures.size() < groups_.size() || !path.starts_with(head_)) return false;

    // Greedy captures with backtracking take, group by group, the longest run
    // after which the rest of the template still matches. Knowing for every
    // group and position whether the rest can match from there (filled from the
    // end backwards) lets each group pick that run in one forward scan.
    const std::size_t start = head_.size();
    const std::size_t width = path.size() - start + 1;
    const std::size_t count = groups_.size();
    if (width > std::numeric_limits<std::size_t>::max() / count) throw std::length_error("path too long to match");
    unsigned char local[512];
    std::unique_ptr<unsigned char[]> heap;
    unsigned char* feasible = local;
    if (width * count > sizeof local) {
        heap.reset(new unsigned char[width * count]);
        feasible = heap.get();
    }

    for (std::size_t k = count; k-- > 0;) {
        const Group& group = groups_[k];
        unsigned char* row = feasible + k * width;
        bool next = false;
        for (std::size_t i = path.size() + 1; i-- > start;) {
            next = endsAt(path, k, i, feasible, start) || (i < path.size() && next && fits(group, path[i]));
            row[i - start] = next;
        }
    }
    if (feasible[0] == 0) return false;

    std::size_t at = start;
    for (std::size_t k = 0; k < count; ++k) {
        const Group& group = groups_[k];
        std::size_t end = at;
        for (std::size_t j = at;; ++j) {
            if (endsAt(path, k, j, feasible, start)) end = j;
            if (j == path.size() || !fits(group, path[j])) break;
        }
        captures[k] = path.substr(at, end - at);
        at = end + group.tail.size();
    }
    return true;
}

}  // namespace Norv
