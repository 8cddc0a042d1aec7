// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Memory of one parsed tree: its arrays' elements and its objects' members
// are carved from a few large blocks instead of one heap block each, and all
// of it is given back at once when the last container of the tree goes.
//
// An arena is filled by one parser on one thread and never allocated from
// again once the parse has ended (JsonValue moves a container to the heap
// before handing it out for change), so allocation takes no lock; only the
// count of containers that refer to it is atomic, since a tree may be
// dropped on another thread than the one that parsed it.
//
// Freed blocks go to a small process-wide cache, so that a run of parses
// reuses the same memory instead of returning it to the system after each
// parse and faulting it back in on the next.

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace tx {

class JsonArena {
public:
    // A new arena with no references; the first TreeAllocator that takes it
    // keeps it alive.
    static JsonArena* create();

    JsonArena(const JsonArena&) = delete;
    JsonArena& operator=(const JsonArena&) = delete;

    // bytes of storage aligned to at most alignof(std::max_align_t).
    void* allocate(std::size_t bytes, std::size_t alignment);

    void retain() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    // Frees the arena and all its memory when this was the last reference.
    void release() noexcept;

    // Size of the blocks that are shared out; requests above a quarter of
    // it get a heap block of their own.
    static constexpr std::size_t kBlockSize = 64 * 1024;
    // Most memory the process-wide cache keeps for later parses.
    static constexpr std::size_t kCachedBytes = 4 * 1024 * 1024;

private:
    struct Block {
        Block* next;
    };

    JsonArena() = default;
    ~JsonArena();
    void* allocateSlow(std::size_t bytes, std::size_t alignment);

    std::atomic<std::uint32_t> refs_{0};
    Block* blocks_ = nullptr;     // shared-out blocks, newest first
    Block* dedicated_ = nullptr;  // blocks of a single large request
    char* next_ = nullptr;        // free space of the newest block
    char* end_ = nullptr;
};

}  // namespace tx
