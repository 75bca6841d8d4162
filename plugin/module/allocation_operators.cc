// Routes every allocation made inside the shipping module through the counting
// allocator. Linked only into the module, where the build keeps these
// definitions local, so neither the host nor the tests are counted.
// Over-aligned requests keep the C++ runtime's own operators: they are not
// counted, and they release through the matching uncounted operator.
#include "diagnostics/allocation_statistics.h"

#include <cstddef>
#include <new>

void* operator new(std::size_t bytes) {
    for (;;) {
        if (void* block = Norv::Memory::Allocate(bytes)) return block;
        std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) throw std::bad_alloc();
        handler();
    }
}

void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}

void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    try {
        return ::operator new(bytes);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return ::operator new(bytes, std::nothrow);
}

void operator delete(void* block) noexcept {
    Norv::Memory::Release(block);
}

void operator delete[](void* block) noexcept {
    Norv::Memory::Release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    Norv::Memory::Release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    Norv::Memory::Release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    Norv::Memory::Release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Norv::Memory::Release(block);
}
