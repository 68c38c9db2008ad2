// Storage for the model's large arrays: an allocator for big blocks and a pool of
// fixed-size slots.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace morvik::xls {

namespace detail {
// Blocks of 2 MiB and more are aligned to 2 MiB and, where the system offers it, marked for
// huge pages: a sheet of a few hundred thousand cells would otherwise spend a good part of its
// load taking page faults on fresh memory. Smaller blocks come from operator new.
void* AllocateBlock(std::size_t bytes);
void FreeBlock(void* block, std::size_t bytes) noexcept;

template <class T>
struct TBlockAllocator {
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
    using value_type = T;
    TBlockAllocator() = default;
    template <class U>
    TBlockAllocator(const TBlockAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(AllocateBlock(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeBlock(p, n * sizeof(T)); }
    template <class U>
    friend bool operator==(const TBlockAllocator&, const TBlockAllocator<U>&) {
        return true;
    }
};

// Fixed-size slots carved from blocks that grow geometrically; freed slots are reused first.
// Without it every cell is a heap allocation of its own.
class TSlotPool {
  public:
    explicit TSlotPool(std::size_t slotSize, std::size_t alignment = alignof(std::max_align_t));
    ~TSlotPool();
    TSlotPool(const TSlotPool&) = delete;
    TSlotPool& operator=(const TSlotPool&) = delete;
    void* Allocate();
    void Free(void* slot) noexcept;

  private:
    struct Block {
        void* data;
        std::size_t bytes;
    };
    std::size_t slotSize_;
    std::vector<Block> blocks_;
    void* free_ = nullptr;  // freed slots, each holding the next one's address
    std::byte* next_ = nullptr;
    std::byte* end_ = nullptr;
};
}  // namespace detail

}  // namespace morvik::xls
