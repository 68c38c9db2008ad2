#include "BlockStorage.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace morvik::xls {

namespace detail {
namespace {

constexpr std::size_t kHugeBlock = std::size_t{2} << 20;

}  // namespace

void* AllocateBlock(std::size_t bytes) {
    if (bytes < kHugeBlock) return ::operator new(bytes);
    if (bytes > static_cast<std::size_t>(-1) - kHugeBlock) throw std::bad_alloc();
    const std::size_t rounded = (bytes + kHugeBlock - 1) / kHugeBlock * kHugeBlock;
    // Aligned new rather than aligned_alloc, which the Windows C library lacks.
    void* block = ::operator new (rounded, std::align_val_t{kHugeBlock});
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off or short, the block is served in small pages.
    madvise(block, rounded, MADV_HUGEPAGE);
#endif
    return block;
}

void FreeBlock(void* block, std::size_t bytes) noexcept {
    if (bytes < kHugeBlock) {
        ::operator delete(block);
    } else {
        ::operator delete (block, std::align_val_t{kHugeBlock});
    }
}

namespace {
// A slot holds the object or, while free, the next free slot's address.
std::size_t SlotSize(std::size_t size, std::size_t alignment) {
    const std::size_t align = std::max(alignment, alignof(void*));
    return (std::max(size, sizeof(void*)) + align - 1) / align * align;
}
}  // namespace

// Slots are carved at multiples of the slot size from blocks aligned for any object, so an
// alignment up to that of max_align_t holds for each.
TSlotPool::TSlotPool(std::size_t slotSize, std::size_t alignment)
    : slotSize_(SlotSize(slotSize, alignment)) {}

TSlotPool::~TSlotPool() {
    for (const Block& b : blocks_) FreeBlock(b.data, b.bytes);
}

void* TSlotPool::AllocateSlow() {
    if (!kPoolSlots) return ::operator new(slotSize_);
    if (next_ == end_) {
        // 64 slots first, then twice the last block, up to the huge-page size: a sheet of a
        // few cells stays small and a large one takes few blocks.
        const std::size_t bytes = std::max(
            blocks_.empty() ? 64 * slotSize_ : std::min(blocks_.back().bytes * 2, kHugeBlock),
            slotSize_);
        blocks_.reserve(blocks_.size() + 1);
        void* data = AllocateBlock(bytes);
        blocks_.push_back({data, bytes});
        next_ = static_cast<std::byte*>(data);
        end_ = next_ + bytes / slotSize_ * slotSize_;
    }
    void* slot = next_;
    next_ += slotSize_;
    return slot;
}

void TSlotPool::Free(void* slot) noexcept {
    if (slot == nullptr) return;
    if (!kPoolSlots) {
        ::operator delete(slot);
        return;
    }
    *static_cast<void**>(slot) = free_;
    free_ = slot;
}

}  // namespace detail

}  // namespace morvik::xls
