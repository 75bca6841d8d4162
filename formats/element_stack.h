// Elements of the arrays a reader has open, innermost array's last. They wait
// here until their array closes and then move into its Collection in one
// piece, so each element array is allocated once, at its final size, instead
// of growing one element at a time. Values never move while they wait: the
// stack grows by blocks, so a reader may keep references to open containers.
// The first block lies inside the stack, so a small document needs no other.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "binding/binding_property.h"

namespace Norv {

class ElementStack {
public:
    ElementStack() = default;
    ElementStack(const ElementStack&) = delete;
    ElementStack& operator=(const ElementStack&) = delete;
    ~ElementStack() { popTo(0); }

    std::size_t size() const noexcept { return size_; }
    BindingProperty& operator[](std::size_t index) noexcept { return *slot(index); }

    // A new Empty element of `tree`.
    BindingProperty& push(BindingProperty::InTree tree) {
        if (size_ == kLocalSize + blocks_.size() * kBlockSize) blocks_.push_back(std::make_unique<Block>());
        auto* element = new (slot(size_)) BindingProperty(tree);
        ++size_;
        return *element;
    }

    // Moves the elements from `first` on to the end of `collection` and drops them here.
    void moveInto(BindingProperty& collection, std::size_t first) {
        collection.makeCollection();
        collection.reserve(collection.size() + (size_ - first));
        // A run at a time: the elements lie in runs of consecutive slots.
        for (std::size_t index = first; index < size_;) {
            const std::size_t runEnd =
                index < kLocalSize ? kLocalSize : index + kBlockSize - (index - kLocalSize) % kBlockSize;
            const std::size_t end = runEnd < size_ ? runEnd : size_;
            collection.appendTaken(slot(index), end - index);
            index = end;
        }
        popTo(first);
    }

    void popTo(std::size_t size) noexcept {
        while (size_ > size) slot(--size_)->~BindingProperty();
    }

private:
    static constexpr std::size_t kLocalSize = 32;
    static constexpr std::size_t kBlockSize = 256;
    struct Block {
        alignas(BindingProperty) unsigned char bytes[kBlockSize][sizeof(BindingProperty)];
    };

    BindingProperty* slot(std::size_t index) noexcept {
        if (index < kLocalSize) return reinterpret_cast<BindingProperty*>(local_[index]);
        index -= kLocalSize;
        return reinterpret_cast<BindingProperty*>(blocks_[index / kBlockSize]->bytes[index % kBlockSize]);
    }

    alignas(BindingProperty) unsigned char local_[kLocalSize][sizeof(BindingProperty)];
    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace Norv
