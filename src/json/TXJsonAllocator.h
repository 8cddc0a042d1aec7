// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Allocator of the JSON tree's containers. Default-made it uses the heap;
// made with an arena (by the parser) it carves storage from that arena and
// keeps the arena alive for as long as the container lives. A copy of a
// container always goes to the heap, so copying part of a parsed tree does
// not keep the whole tree's memory alive.

#include "TXJsonArena.h"

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace tx {

template <typename T>
class TreeAllocator {
public:
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    using propagate_on_container_swap = std::true_type;
    using is_always_equal = std::false_type;

    TreeAllocator() noexcept = default;
    explicit TreeAllocator(JsonArena* arena) noexcept : arena_(arena) { retain(); }
    TreeAllocator(const TreeAllocator& other) noexcept : arena_(other.arena_) { retain(); }
    template <typename U>
    TreeAllocator(const TreeAllocator<U>& other) noexcept : arena_(other.arena_) {
        retain();
    }
    TreeAllocator(TreeAllocator&& other) noexcept : arena_(std::exchange(other.arena_, nullptr)) {}
    TreeAllocator& operator=(TreeAllocator other) noexcept {
        std::swap(arena_, other.arena_);
        return *this;
    }
    ~TreeAllocator() {
        if (arena_) arena_->release();
    }

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        if (arena_) return static_cast<T*>(arena_->allocate(n * sizeof(T), alignof(T)));
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    // Arena storage is given back with the whole arena.
    void deallocate(T* p, std::size_t) noexcept {
        if (!arena_) ::operator delete(p);
    }

    TreeAllocator select_on_container_copy_construction() const noexcept { return {}; }

    bool usesArena() const noexcept { return arena_ != nullptr; }

    template <typename U>
    friend bool operator==(const TreeAllocator& a, const TreeAllocator<U>& b) noexcept {
        return a.arena_ == b.arena_;
    }

private:
    template <typename U>
    friend class TreeAllocator;

    void retain() noexcept {
        if (arena_) arena_->retain();
    }

    JsonArena* arena_ = nullptr;
};

}  // namespace tx
