// SPDX-License-Identifier: GPL-3.0-or-later
#include "TXJsonArena.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>

namespace tx {

namespace {

// Under AddressSanitizer blocks are not kept, so that a use of a dropped
// tree's memory is reported rather than hidden by the next parse.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kKeepBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kKeepBlocks = false;
#else
constexpr bool kKeepBlocks = true;
#endif
#else
constexpr bool kKeepBlocks = true;
#endif

// Blocks left by trees that are gone, for the next parse. Made on first use
// and never destroyed, so a tree that outlives static destruction can still
// give its blocks back.
class BlockCache {
public:
    static BlockCache& instance() {
        static BlockCache* cache = new BlockCache;
        return *cache;
    }

    void* take() {
        {
            std::lock_guard lock(mutex_);
            if (count_ != 0) return blocks_[--count_];
        }
        return ::operator new(JsonArena::kBlockSize);
    }

    void give(void* block) noexcept {
        if (kKeepBlocks) {
            std::lock_guard lock(mutex_);
            if (count_ < kCapacity) {
                blocks_[count_++] = block;
                return;
            }
        }
        ::operator delete(block);
    }

private:
    static constexpr std::size_t kCapacity = JsonArena::kCachedBytes / JsonArena::kBlockSize;

    std::mutex mutex_;
    void* blocks_[kCapacity];
    std::size_t count_ = 0;
};

char* alignUp(char* p, std::size_t alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    return reinterpret_cast<char*>((address + alignment - 1) & ~(alignment - 1));
}

constexpr std::size_t kHeader = alignof(std::max_align_t);

}  // namespace

JsonArena* JsonArena::create() {
    return new JsonArena;
}

JsonArena::~JsonArena() {
    BlockCache& cache = BlockCache::instance();
    while (blocks_) {
        Block* next = blocks_->next;
        cache.give(blocks_);
        blocks_ = next;
    }
    while (dedicated_) {
        Block* next = dedicated_->next;
        ::operator delete(dedicated_);
        dedicated_ = next;
    }
}

void JsonArena::release() noexcept {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

void* JsonArena::allocate(std::size_t bytes, std::size_t alignment) {
    char* p = alignUp(next_, alignment);
    if (next_ && p <= end_ && bytes <= static_cast<std::size_t>(end_ - p)) {
        next_ = p + bytes;
        return p;
    }
    return allocateSlow(bytes, alignment);
}

void* JsonArena::allocateSlow(std::size_t bytes, std::size_t alignment) {
    if (bytes > kBlockSize / 4) {
        if (bytes > SIZE_MAX - kHeader) throw std::bad_alloc();
        auto* block = static_cast<Block*>(::operator new(kHeader + bytes));
        block->next = dedicated_;
        dedicated_ = block;
        return reinterpret_cast<char*>(block) + kHeader;
    }
    auto* block = static_cast<Block*>(BlockCache::instance().take());
    block->next = blocks_;
    blocks_ = block;
    next_ = reinterpret_cast<char*>(block) + kHeader;
    end_ = reinterpret_cast<char*>(block) + kBlockSize;
    char* p = alignUp(next_, alignment);
    next_ = p + bytes;
    return p;
}

}  // namespace tx
