#include "remoting/url_template.h"

#include <cstring>
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

UrlTemplate::UrlTemplate(std::string_view text) : text_(text), spansQuery_(text.find('?') != std::string_view::npos) {
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
            groups_.push_back({kind != UrlParameterKind::Segment, false, {}});
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
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        const Group& group = groups_[i];
        groups_[i].fixedEnd = i + 1 == groups_.size() || (!group.tail.empty() && !Fits(group, group.tail[0]));
    }
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

std::size_t UrlTemplate::RunEnd(const Group& group, std::string_view path, std::size_t at) {
    const char* begin = path.data() + at;
    std::size_t length = path.size() - at;
    if (!group.crossesSlash) {
        const void* slash = std::memchr(begin, '/', length);
        return slash == nullptr ? path.size() : static_cast<const char*>(slash) - path.data();
    }
    if (const void* newline = std::memchr(begin, '\n', length))
        length = static_cast<std::size_t>(static_cast<const char*>(newline) - begin);
    const void* other = std::memchr(begin, '\r', length);
    return (other == nullptr ? begin + length : static_cast<const char*>(other)) - path.data();
}

std::size_t UrlTemplate::RunStart(const Group& group, std::string_view path, std::size_t from, std::size_t to) {
    while (to > from && Fits(group, path[to - 1])) --to;
    return to;
}

bool UrlTemplate::match(std::string_view path, std::span<std::string_view> captures) const {
    if (!ok()) return false;
    if (groups_.empty()) return path == head_;
    if (captures.size() < groups_.size() || !path.starts_with(head_)) return false;
    std::size_t at = head_.size();
    std::size_t index = 0;
    for (; index < groups_.size() && groups_[index].fixedEnd; ++index) {
        if (!matchFixed(path, index, at, captures[index])) return false;
    }
    return index == groups_.size() || matchSearching(path, index, at, captures);
}

bool UrlTemplate::matchFixed(std::string_view path, std::size_t index, std::size_t& at,
                             std::string_view& capture) const {
    const Group& group = groups_[index];
    std::size_t end;
    if (index + 1 == groups_.size()) {
        if (path.size() - at < group.tail.size()) return false;
        end = path.size() - group.tail.size();
        if (RunEnd(group, path.substr(0, end), at) != end) return false;
    } else {
        end = RunEnd(group, path, at);
    }
    if (path.size() - end < group.tail.size() || path.compare(end, group.tail.size(), group.tail) != 0) return false;
    capture = path.substr(at, end - at);
    at = end + group.tail.size();
    return true;
}

bool UrlTemplate::matchSearching(std::string_view path, std::size_t first, std::size_t start,
                                 std::span<std::string_view> captures) const {
    // Greedy captures with backtracking take, group by group, the longest run
    // after which the rest of the template still matches. Knowing for every
    // group and position whether the rest can match from there (filled from the
    // end backwards) lets each group pick that run by one scan. The last group
    // needs no such table: it can start anywhere in one stretch before its tail.
    const std::size_t last = groups_.size() - 1;
    const Group& final = groups_[last];
    if (path.size() - start < final.tail.size()) return false;
    const std::size_t lastEnd = path.size() - final.tail.size();
    if (path.compare(lastEnd, final.tail.size(), final.tail) != 0) return false;
    const std::size_t lastStart = RunStart(final, path, start, lastEnd);

    const std::size_t width = path.size() - start + 1;
    const std::size_t rows = last - first - 1;
    if (rows != 0 && width > std::numeric_limits<std::size_t>::max() / rows)
        throw std::length_error("path too long to match");
    unsigned char local[512];
    std::unique_ptr<unsigned char[]> heap;
    unsigned char* feasible = local;
    if (width * rows > sizeof local) {
        heap.reset(new unsigned char[width * rows]);
        feasible = heap.get();
    }
    // Whether group `index`'s tail stands at `at` with the rest matching after it.
    auto endsAt = [&](std::size_t index, std::size_t at) {
        const std::string& tail = groups_[index].tail;
        if (path.size() - at < tail.size()) return false;
        if (!tail.empty() && (path[at] != tail[0] || std::memcmp(path.data() + at, tail.data(), tail.size()) != 0))
            return false;
        const std::size_t after = at + tail.size();
        if (index + 1 == last) return after >= lastStart && after <= lastEnd;
        return feasible[(index - first) * width + (after - start)] != 0;
    };

    for (std::size_t k = last - 1; k > first; --k) {
        const Group& group = groups_[k];
        unsigned char* row = feasible + (k - first - 1) * width;
        bool next = false;
        for (std::size_t i = path.size() + 1; i-- > start;) {
            next = endsAt(k, i) || (i < path.size() && next && Fits(group, path[i]));
            row[i - start] = next;
        }
    }

    std::size_t at = start;
    for (std::size_t k = first; k < last; ++k) {
        const Group& group = groups_[k];
        std::size_t end = RunEnd(group, path, at);
        while (!endsAt(k, end)) {
            // Only the first group can find no end: every later one starts
            // where the table said the rest matches.
            if (end == at) return false;
            --end;
        }
        captures[k] = path.substr(at, end - at);
        at = end + group.tail.size();
    }
    captures[last] = path.substr(at, lastEnd - at);
    return true;
}

}  // namespace Norv
