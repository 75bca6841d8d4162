// A stack of trivially copyable entries that keeps its first N inside itself,
// so the shallow documents and small trees that make up most of the work need
// no heap block for it; deeper ones spill the rest to a vector.
#pragma once

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <vector>

namespace Norv {

template <class T, std::size_t N>
class SmallStack {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    SmallStack() noexcept {}
    SmallStack(const SmallStack&) = delete;
    SmallStack& operator=(const SmallStack&) = delete;

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }

    T& operator[](std::size_t index) noexcept { return index < N ? local()[index] : spill_[index - N]; }
    const T& operator[](std::size_t index) const noexcept { return index < N ? local()[index] : spill_[index - N]; }
    T& back() noexcept { return (*this)[size_ - 1]; }

    // Makes room for `count` entries in all, so that pushing up to that many
    // does not throw; the spill at least doubles, so reserving one more each
    // time stays linear.
    void reserve(std::size_t count) {
        if (count <= N || count - N <= spill_.capacity()) return;
        spill_.reserve(std::max(count - N, 2 * spill_.capacity()));
    }
    T& push_back(const T& entry) {
        if (size_ < N) {
            T* slot = new (&local()[size_]) T(entry);
            ++size_;
            return *slot;
        }
        spill_.push_back(entry);
        ++size_;
        return spill_.back();
    }
    void pop_back() noexcept {
        if (size_ > N) spill_.pop_back();
        --size_;
    }

private:
    T* local() noexcept { return std::launder(reinterpret_cast<T*>(bytes_)); }
    const T* local() const noexcept { return std::launder(reinterpret_cast<const T*>(bytes_)); }

    alignas(T) unsigned char bytes_[N * sizeof(T)];
    std::vector<T> spill_;
    std::size_t size_ = 0;
};

}  // namespace Norv
