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

// Address sanitizer builds give every cell a heap block of its own, so that a use after free
// of a cell is still caught.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kPoolSlots = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kPoolSlots = false;
#else
inline constexpr bool kPoolSlots = true;
#endif
#else
inline constexpr bool kPoolSlots = true;
#endif

// Fixed-size slots carved from blocks that grow geometrically; freed slots are reused first.
// Without it every cell is a heap allocation of its own.
class TSlotPool {
  public:
    explicit TSlotPool(std::size_t slotSize, std::size_t alignment = alignof(std::max_align_t));
    ~TSlotPool();
    TSlotPool(const TSlotPool&) = delete;
    TSlotPool& operator=(const TSlotPool&) = delete;
    // The common turn inline, as every cell of a sheet takes one: a freed slot or the next
    // one of the current block.
    void* Allocate() {
        if constexpr (kPoolSlots) {
            if (free_ != nullptr) {
                void* slot = free_;
                free_ = *static_cast<void**>(slot);
                return slot;
            }
            if (next_ != end_) {
                void* slot = next_;
                next_ += slotSize_;
                return slot;
            }
        }
        return AllocateSlow();
    }
    void Free(void* slot) noexcept;

  private:
    void* AllocateSlow();

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
