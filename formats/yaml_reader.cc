#include "formats/yaml_reader.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_limits.h"
#include "diagnostics/format.h"
#include "formats/element_stack.h"
#include "formats/recent_names.h"
#include "formats/yaml_library.h"
#include "formats/yaml_scalar.h"

namespace Norv {
namespace {

constexpr const char* kLibraryMissing = "YAML is not available: the library %1 could not be loaded.";
constexpr const char* kMultiDocument = "Multi-document YAML is not supported.";
constexpr const char* kInvalidKey = "Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2";
constexpr const char* kDuplicateAnchor = "Duplicate occurrence of anchor \"%1\". At line: %2 col: %3";
constexpr const char* kSequenceAsKey = "Unexpected start of sequence. At line: %1 col: %2";
constexpr const char* kMappingAsKey = "Unexpected start of mapping. At line: %1 col: %2";
constexpr const char* kCyclicAlias = "Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3";
constexpr const char* kUndefinedAlias = "Undefined alias encountered: \"%1\". At line: %2 col: %3";
constexpr const char* kParserError = "YAML parser error: %1. At line: %2 col: %3";
constexpr const char* kTooDeep = "Nesting is too deep (more than %1 levels). At line: %2 col: %3";
constexpr const char* kExcessiveAliasing = "Document contains excessive aliasing. At line: %1 col: %2";

// Alias work bound: once more than 100 nodes came from aliases and more than
// 1,000 nodes were made, the share made by aliases may not exceed 0.99 up to
// 400,000 nodes, falling linearly to 0.10 at 4,000,000 and beyond. That caps
// what nested aliases ("billion laughs") can make at a few hundred thousand nodes.
constexpr std::uint64_t kAliasNodesFloor = 100;
constexpr std::uint64_t kDecodedNodesFloor = 1000;
constexpr double kRatioRangeLow = 400000;
constexpr double kRatioRangeHigh = 4000000;

double AllowedAliasRatio(std::uint64_t decodedNodes) {
    const double decoded = static_cast<double>(decodedNodes);
    if (decoded <= kRatioRangeLow) return 0.99;
    if (decoded >= kRatioRangeHigh) return 0.10;
    return 0.99 - 0.89 * (decoded - kRatioRangeLow) / (kRatioRangeHigh - kRatioRangeLow);
}

std::string_view Text(const yaml_char_t* text) {
    return text == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(text));
}

// Nodes in a subtree and its container height (0 for a scalar).
void Measure(const BindingProperty& value, std::uint64_t& nodes, std::size_t& height) {
    ++nodes;
    height = 0;
    std::size_t childHeight = 0;
    if (value.kind() == BindingValueKind::Collection) {
        for (const BindingProperty& element : value.elements()) {
            Measure(element, nodes, childHeight);
            height = std::max(height, childHeight);
        }
        ++height;
    } else if (value.kind() == BindingValueKind::Structure) {
        for (BindingMember member : value.members()) {
            Measure(member.value, nodes, childHeight);
            height = std::max(height, childHeight);
        }
        ++height;
    }
}

// One step of the way from the root to a value. A name is the member's key
// entry, which the member holds as long as the step's frame is open.
struct PathStep {
    enum class Kind : std::uint8_t { Root, Index, Name };
    Kind kind = Kind::Root;
    std::uint32_t index = 0;
    const InternedString* name = nullptr;
};

constexpr std::uint32_t kNoNode = UINT32_MAX;

// A step of the way to an anchored value, made once per node of the document
// and shared by every anchor below it, so an anchor costs the same at any
// depth and under any name. It remembers where its value lives, so an alias
// finds it without walking from the root; after an overwrite (a repeated key
// replacing a container) the way is walked again once, by index and name, so
// the value found is the tree's current one.
struct PathNode {
    std::uint32_t parent = kNoNode;
    std::uint32_t depth = 0;  // of the value, the root's being 0
    PathStep::Kind kind = PathStep::Kind::Root;
    bool aside = false;  // the place is in the element stack, valid while the sequence of `serial` is open
    std::uint32_t index = 0;
    std::uint32_t name = 0;  // into the builder's names
    BindingProperty* place = nullptr;
    std::uint64_t serial = 0;  // overwrite count when `place` was found, or the open sequence's serial
};

// What an anchor stands on: a mapping key (its text) or a value (its path node).
struct AnchoredItem {
    bool isKey = false;
    bool open = false;  // an anchored sequence or mapping not yet closed: an alias to it is cyclic
    std::string keyText;
    std::uint32_t node = kNoNode;
};

bool IsContainer(const BindingProperty& value) {
    return value.kind() == BindingValueKind::Collection || value.kind() == BindingValueKind::Structure;
}

class YamlValueBuilder {
public:
    explicit YamlValueBuilder(BindingResult& result, YamlBuildWork& work) : result_(result), work_(work) {
        frames_.resize(16);
        frames_[0].value = &result_.value;
        depth_ = 1;
    }
    ~YamlValueBuilder() { dropPendingKey(); }
    YamlValueBuilder(const YamlValueBuilder&) = delete;
    YamlValueBuilder& operator=(const YamlValueBuilder&) = delete;

    void handle(const yaml_event_t& event) {
        // Only a message reads the position; copying it from every event as
        // it arrives stalls on the stores that just wrote the event.
        mark_ = &event.start_mark;
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT:
                if (documentSeen_) fail(kMultiDocument);
                documentSeen_ = true;
                return;
            case YAML_SEQUENCE_END_EVENT:
            case YAML_MAPPING_END_EVENT:
                closeContainer();
                return;
            case YAML_SCALAR_EVENT:
            case YAML_SEQUENCE_START_EVENT:
            case YAML_MAPPING_START_EVENT:
            case YAML_ALIAS_EVENT:
                handleNode(event);
                return;
            default:
                return;  // stream start, document end
        }
    }

private:
    enum class FrameKind : std::uint8_t { Slot, Sequence, Mapping };

    // A node being filled together with its path step. Frames past depth_ are
    // kept so their strings reuse their buffers.
    struct Frame {
        BindingProperty* value = nullptr;
        FrameKind kind = FrameKind::Slot;
        PathStep step;
        AnchoredItem* anchor = nullptr;  // of an open sequence or mapping, for the cyclic-alias test
        std::size_t firstElement = 0;    // of an open sequence: where its new elements wait in elements_
        std::uint64_t serial = 0;        // of an open sequence or mapping, unique in the parse
        std::uint32_t node = kNoNode;    // its path node, once an anchor needed one
        std::uint32_t keys = 0;          // of an open mapping: the keys read so far
    };

    void fail(const std::string& message) { result_.setError(message); }
    std::size_t line() const { return mark_->line + 1; }
    std::size_t column() const { return mark_->column + 1; }
    std::string located(const char* format) const { return Format(format, line(), column()); }
    std::string located(const char* format, std::string_view name) const {
        return Format(format, name, line(), column());
    }

    Frame& top() { return frames_[depth_ - 1]; }

    Frame& push(BindingProperty& value) {
        if (depth_ == frames_.size()) frames_.resize(frames_.size() * 2);
        Frame& frame = frames_[depth_++];
        frame.value = &value;
        frame.kind = FrameKind::Slot;
        frame.anchor = nullptr;
        frame.node = kNoNode;
        return frame;
    }

    void pop() {
        if (depth_ > 0) --depth_;
        if (pathFrames_ > depth_) pathFrames_ = depth_;
    }

    void closeContainer() {
        if (depth_ == 0) return;
        Frame& frame = top();
        if (frame.kind == FrameKind::Sequence) {
            // Elements a repeated key appends may move the ones held before.
            if (frame.value->size() != 0 && elements_.size() != frame.firstElement) ++overwrites_;
            elements_.moveInto(*frame.value, frame.firstElement);
        }
        if (frame.anchor != nullptr) frame.anchor->open = false;
        if (frame.kind != FrameKind::Slot) --containerDepth_;
        pop();
    }

    // Before a value replaces what a slot holds: a container going away takes
    // the places of values inside it with it.
    void overwriting(const BindingProperty& slot) {
        if (IsContainer(slot)) ++overwrites_;
    }

    // Elements of an open sequence: those it held before (a repeated key), then those waiting aside.
    std::size_t elementCount(const Frame& sequence) const {
        return sequence.value->size() + (elements_.size() - sequence.firstElement);
    }

    void handleNode(const yaml_event_t& event) {
        if (depth_ == 0) return;  // only after a root scalar, and a second document fails first
        ++decodedNodes_;
        const FrameKind parentKind = top().kind;
        BindingProperty& parent = *top().value;
        if (parentKind == FrameKind::Mapping && pendingKey_ == nullptr) {
            handleKey(event);
            return;
        }
        // A scalar with no anchor is never on an anchor's path: it needs no frame.
        if (event.type == YAML_SCALAR_EVENT && event.data.scalar.anchor == nullptr && parentKind != FrameKind::Slot) {
            BindingProperty* slot;
            if (parentKind == FrameKind::Sequence) {
                slot = &elements_.push(parent.tree());
            } else {
                slot = &parent.memberInterned(*pendingKey_);
                dropPendingKey();
            }
            typeScalar(*slot, event.data.scalar);
            return;
        }
        if (parentKind == FrameKind::Sequence) {
            const auto index = static_cast<std::uint32_t>(elementCount(top()));
            Frame& frame = push(elements_.push(parent.tree()));
            frame.step.kind = PathStep::Kind::Index;
            frame.step.index = index;
        } else if (parentKind == FrameKind::Mapping) {
            BindingProperty& member = parent.memberInterned(*pendingKey_);
            Frame& frame = push(member);
            frame.step.kind = PathStep::Kind::Name;
            frame.step.name = pendingKey_;
            dropPendingKey();
        }
        Frame& target = top();
        switch (event.type) {
            case YAML_SCALAR_EVENT:
                if (!typeScalar(*target.value, event.data.scalar)) return;
                if (!anchorValue(Text(event.data.scalar.anchor))) return;
                pop();
                return;
            case YAML_SEQUENCE_START_EVENT:
                openContainer(FrameKind::Sequence, Text(event.data.sequence_start.anchor));
                return;
            case YAML_MAPPING_START_EVENT:
                openContainer(FrameKind::Mapping, Text(event.data.mapping_start.anchor));
                return;
            default:
                resolveAlias(Text(event.data.alias.anchor));
                return;
        }
    }

    bool typeScalar(BindingProperty& target, const decltype(yaml_event_t::data.scalar)& scalar) {
        const bool quoted =
            scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE || scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
        const std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
        std::string error;
        overwriting(target);
        if (!TypeYamlScalar(target, reinterpret_cast<const char*>(scalar.tag), text, quoted, error)) {
            fail(error);
            return false;
        }
        return true;
    }

    // A node where a mapping key is expected: only a string scalar (or an
    // alias to one) may stand there.
    void handleKey(const yaml_event_t& event) {
        Frame& mapping = top();
        const std::uint32_t place = mapping.keys++;
        switch (event.type) {
            case YAML_SCALAR_EVENT: {
                const auto& scalar = event.data.scalar;
                if (scalar.tag != nullptr && Text(scalar.tag) != "tag:yaml.org,2002:str") {
                    fail(located(kInvalidKey));
                    return;
                }
                const std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
                BindingArena& arena = *mapping.value->tree().arena;
                // Unlike JSON, every mapping asks: siblings, not only rows, repeat
                // their keys by place (configuration trees do), and beside
                // libyaml's own work a miss costs next to nothing.
                const InternedString* recent = recentNames_.find(arena, text, containerDepth_, place);
                if (recent != nullptr) {
                    setPendingKey(arena, recent, false);
                } else {
                    setPendingKey(arena, arena.intern(text), true);
                }
                const std::string_view anchor = Text(scalar.anchor);
                if (anchor.empty()) return;
                if (anchors_.contains(std::string(anchor))) {
                    fail(located(kDuplicateAnchor, anchor));
                    return;
                }
                AnchoredItem& item = anchors_[std::string(anchor)];
                item.isKey = true;
                item.keyText = text;
                return;
            }
            case YAML_SEQUENCE_START_EVENT:
                fail(located(kSequenceAsKey));
                return;
            case YAML_MAPPING_START_EVENT:
                fail(located(kMappingAsKey));
                return;
            default:
                aliasAsKey(Text(event.data.alias.anchor));
                return;
        }
    }

    void aliasAsKey(std::string_view name) {
        const auto found = anchors_.find(std::string(name));
        if (found == anchors_.end()) {
            fail(located(kUndefinedAlias, name));
            return;
        }
        BindingArena& arena = *top().value->tree().arena;
        if (found->second.isKey) {
            setPendingKey(arena, arena.intern(found->second.keyText), true);
        } else {
            const BindingProperty& value = walk(found->second.node);
            if (value.kind() != BindingValueKind::String) {
                fail(located(kInvalidKey));
                return;
            }
            setPendingKey(arena, arena.intern(value.getString()), true);
        }
    }

    // The key of the member whose value comes next. An empty key is a key
    // too: only null means none is waiting.
    void setPendingKey(BindingArena& arena, const InternedString* key, bool owned) noexcept {
        pendingKey_ = key;
        pendingKeyArena_ = owned ? &arena : nullptr;
    }
    void dropPendingKey() noexcept {
        if (pendingKeyArena_ != nullptr) pendingKeyArena_->release(pendingKey_);
        pendingKey_ = nullptr;
        pendingKeyArena_ = nullptr;
    }

    // Path nodes for the open frames that have none yet; they always form a
    // prefix of the frames, so each node of the document gets at most one.
    std::uint32_t pathToTop() {
        for (; pathFrames_ < depth_; ++pathFrames_) {
            Frame& frame = frames_[pathFrames_];
            PathNode node;
            node.depth = static_cast<std::uint32_t>(pathFrames_);
            node.kind = frame.step.kind;
            if (pathFrames_ == 0) {
                node.kind = PathStep::Kind::Root;
            } else {
                node.parent = frames_[pathFrames_ - 1].node;
            }
            node.index = frame.step.index;
            // Where the value lives now: an element waits aside while its sequence is open.
            if (node.kind == PathStep::Kind::Name) {
                node.name = static_cast<std::uint32_t>(names_.size());
                names_.emplace_back(frame.step.name->text());
                node.place = frame.value;
                node.serial = overwrites_;
            } else if (node.kind == PathStep::Kind::Index) {
                node.place = frame.value;
                node.aside = true;
                node.serial = frames_[pathFrames_ - 1].serial;
            }
            frame.node = static_cast<std::uint32_t>(pathNodes_.size());
            pathNodes_.push_back(node);
            ++work_.pathSteps;
        }
        return frames_[depth_ - 1].node;
    }

    // Records the anchor of the value on top as the last node of its path.
    bool anchorValue(std::string_view anchor, AnchoredItem** anchored = nullptr) {
        return anchor.empty() || addAnchor(anchor, anchored);
    }
    bool addAnchor(std::string_view anchor, AnchoredItem** anchored) {
        std::string name(anchor);
        if (anchors_.contains(name)) {
            fail(located(kDuplicateAnchor, anchor));
            return false;
        }
        AnchoredItem& item = anchors_[std::move(name)];
        item.node = pathToTop();
        if (anchored != nullptr) *anchored = &item;
        return true;
    }

    void openContainer(FrameKind kind, std::string_view anchor) {
        if (containerDepth_ >= kMaxNestingDepth) {
            fail(Format(kTooDeep, kMaxNestingDepth, line(), column()));
            return;
        }
        Frame& frame = top();
        if (kind == FrameKind::Sequence) {
            if (frame.value->kind() != BindingValueKind::Collection) overwriting(*frame.value);
            frame.value->makeCollection();
        } else {
            if (frame.value->kind() != BindingValueKind::Structure) overwriting(*frame.value);
            frame.value->makeStructure();
        }
        if (!anchorValue(anchor, &frame.anchor)) return;
        if (frame.anchor != nullptr) frame.anchor->open = true;
        frame.kind = kind;
        frame.keys = 0;
        frame.firstElement = elements_.size();
        frame.serial = ++sequenceSerials_;
        ++containerDepth_;
    }

    // The value a path node leads to now: where it was last found when nothing
    // has moved or gone since, else found again from its parent.
    const BindingProperty& walk(std::uint32_t index) {
        PathNode& node = pathNodes_[index];
        ++work_.pathSteps;
        if (node.kind == PathStep::Kind::Root) return result_.value;
        if (node.place != nullptr) {
            const Frame& sequence = frames_[node.depth - 1];
            const bool stillAside =
                node.depth <= depth_ && sequence.kind == FrameKind::Sequence && sequence.serial == node.serial;
            if (node.aside ? stillAside : node.serial == overwrites_) return *node.place;
        }
        const BindingProperty& parent = walk(node.parent);
        const BindingProperty* found = &BindingProperty::EmptyValue();
        bool aside = false;
        if (node.kind == PathStep::Kind::Index) {
            found = &element(parent, node.index, node.depth - 1, aside);
        } else {
            found = &parent.get(std::string_view(names_[node.name]));
        }
        if (found == &BindingProperty::EmptyValue()) {
            node.place = nullptr;
            return *found;
        }
        node.place = const_cast<BindingProperty*>(found);
        node.aside = aside;
        node.serial = aside ? frames_[node.depth - 1].serial : overwrites_;
        return *found;
    }

    // An element of a sequence, which may still be open with elements waiting
    // aside; an open one is the frame at its own depth.
    const BindingProperty& element(const BindingProperty& sequence, std::size_t index, std::size_t depth, bool& aside) {
        aside = false;
        if (depth < depth_ && frames_[depth].value == &sequence && frames_[depth].kind == FrameKind::Sequence) {
            const Frame& frame = frames_[depth];
            const std::size_t held = sequence.size();
            if (index < held) return sequence.at(index);
            if (index >= elementCount(frame)) return BindingProperty::EmptyValue();
            aside = true;
            return elements_[frame.firstElement + (index - held)];
        }
        return sequence.at(index);
    }

    void resolveAlias(std::string_view name) {
        BindingProperty& target = *top().value;
        const auto found = anchors_.find(std::string(name));
        if (found != anchors_.end() && found->second.open) {
            fail(located(kCyclicAlias, name));
            return;
        }
        if (found == anchors_.end()) {
            fail(located(kUndefinedAlias, name));
            return;
        }
        if (found->second.isKey) {
            if (!admitAliasNodes(1, 0)) return;
            overwriting(target);
            target = std::string_view(found->second.keyText);
            pop();
            return;
        }
        const BindingProperty& source = walk(found->second.node);
        if (&source != &target) {
            // A repeated key can make the anchored path lead to a node that is
            // still open above the target; copying it would copy it into itself.
            // An open node is the frame at its own depth.
            const std::size_t sourceDepth = pathNodes_[found->second.node].depth;
            if (sourceDepth + 1 < depth_ && frames_[sourceDepth].value == &source) {
                fail(located(kCyclicAlias, name));
                return;
            }
            std::uint64_t nodes = 0;
            std::size_t height = 0;
            Measure(source, nodes, height);
            if (!admitAliasNodes(nodes, height)) return;
            overwriting(target);
            if (target.isEmpty()) {
                target = source;
            } else {
                // The source may lie inside the target's old value (a repeated key).
                BindingProperty copy = source;
                target = copy;
            }
        }
        pop();
    }

    bool admitAliasNodes(std::uint64_t nodes, std::size_t height) {
        if (containerDepth_ + height > kMaxNestingDepth) {
            fail(Format(kTooDeep, kMaxNestingDepth, line(), column()));
            return false;
        }
        aliasNodes_ += nodes;
        decodedNodes_ += nodes;
        if (aliasNodes_ > kAliasNodesFloor && decodedNodes_ > kDecodedNodesFloor &&
            static_cast<double>(aliasNodes_) / static_cast<double>(decodedNodes_) > AllowedAliasRatio(decodedNodes_)) {
            fail(located(kExcessiveAliasing));
            return false;
        }
        return true;
    }

    BindingResult& result_;
    YamlBuildWork& work_;
    std::vector<Frame> frames_;
    std::size_t depth_ = 0;
    std::size_t pathFrames_ = 0;  // the frames, from the root, that have a path node
    std::vector<PathNode> pathNodes_;
    std::vector<std::string> names_;
    std::uint64_t overwrites_ = 0;
    std::uint64_t sequenceSerials_ = 0;
    std::size_t containerDepth_ = 0;
    const InternedString* pendingKey_ = nullptr;
    BindingArena* pendingKeyArena_ = nullptr;  // set while this builder holds a reference on the key
    RecentNames recentNames_;
    bool documentSeen_ = false;
    std::unordered_map<std::string, AnchoredItem> anchors_;
    ElementStack elements_;
    std::uint64_t decodedNodes_ = 0;
    std::uint64_t aliasNodes_ = 0;
    const yaml_mark_t* mark_ = nullptr;  // of the event being handled
};

}  // namespace

BindingResult ParseYaml(std::string_view text) {
    return ParseYaml(text, LoadYamlLibrary());
}

BindingResult ParseYaml(std::string_view text, const YamlLibrary* yaml) {
    YamlBuildWork work;
    return ParseYaml(text, yaml, work);
}

BindingResult ParseYaml(std::string_view text, const YamlLibrary* yaml, YamlBuildWork& work) {
    BindingResult result;
    if (yaml == nullptr) {
        result.setError(Format(kLibraryMissing, YamlLibraryName()));
        return result;
    }
    yaml_parser_t parser;
    if (yaml->parserInitialize(&parser) == 0) {
        result.setError(Format(kParserError, "out of memory", 0, 0));
        return result;
    }
    yaml_event_t event{};
    // The parser and the event in hand go back on every way out, a throw from
    // building (out of memory) included. A deleted event is zeroed, so deleting
    // it again is harmless.
    struct Release {
        const YamlLibrary* yaml;
        yaml_parser_t* parser;
        yaml_event_t* event;
        ~Release() {
            yaml->eventDelete(event);
            yaml->parserDelete(parser);
        }
    } release{yaml, &parser, &event};
    yaml->parserSetEncoding(&parser, YAML_UTF8_ENCODING);
    yaml->parserSetInputString(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());

    YamlValueBuilder builder(result, work);
    yaml->parserParse(&parser, &event);
    while (result.ok() && parser.error == YAML_NO_ERROR && event.type != YAML_STREAM_END_EVENT &&
           event.type != YAML_NO_EVENT) {
        builder.handle(event);
        yaml->eventDelete(&event);
        yaml->parserParse(&parser, &event);
    }
    if (result.ok() && parser.error != YAML_NO_ERROR) {
        const char* problem = parser.problem != nullptr ? parser.problem : "out of memory";
        result.setError(Format(kParserError, problem, parser.problem_mark.line, parser.problem_mark.column));
    }
    return result;
}

bool LooksLikeYaml(const char* text) {
    if (text == nullptr) return false;
    while (*text == ' ') ++text;
    return text[0] == '-' && text[1] == '-' && text[2] == '-';
}

}  // namespace Norv
