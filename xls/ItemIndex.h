// The hash index every item collection (cells, rows, columns) finds its items by.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "BlockStorage.h"

namespace morvik::xls {

// Hash index over a collection's items: ordinals in buckets, each bucket newest first, so that
// adding touches only the bucket and the new entry, never an older entry elsewhere in memory.
// It starts with 16383 buckets like every item collection and doubles them as the collection
// grows, so that a lookup stays one short bucket walk however large the sheet gets. The bucket
// is the key's row-major address (row * 256 + col, or the row/column index) modulo the count:
// a sheet filled or read row by row then walks the buckets in order instead of jumping about,
// and no choice of addresses can put more than (address range / buckets) + 1 items into one
// bucket, a bound that falls as the index grows.
// Keys are at most 4 bytes, all of one length per index. Keys of 2 bytes or fewer (rows,
// columns) are looked up directly instead, in pages of 256 ordinals made as keys arrive: no
// hashing, no chains, and a few bytes per row.
class TItemIndex {
  public:
    // `growing` false keeps the bucket count fixed (for comparison in benchmarks).
    explicit TItemIndex(std::uint32_t bucketCount = 16383, bool growing = true);
    // Indexes `key` as the next ordinal (Count()); the owner keeps the items by ordinal.
    void Add(std::string_view key);
    // The first ordinal added under `key`, or -1.
    int Search(std::string_view key) const;
    // Makes room for `count` entries at once: the bucket count growth would reach for them,
    // and the entries' storage. Callers bound `count`; a growing index only.
    void Reserve(std::size_t count);
    int Count() const { return count_; }
    std::uint32_t BucketCount() const { return static_cast<std::uint32_t>(buckets_.size()); }

  private:
    struct Bucket {
        std::int32_t head = -1;  // newest ordinal, -1 when empty
    };
    // Key and chain link side by side: a lookup touches one line per step. The item itself is
    // the owner's, under the same ordinal.
    struct Entry {
        std::uint32_t key;
        std::int32_t next;
    };
    static std::uint32_t Pack(std::string_view key);
    std::size_t BucketOf(std::uint32_t packed) const;
    const Entry* Lookup(std::string_view key) const;
    void Link(std::int32_t ordinal, std::size_t bucket);
    void Grow();

    bool Direct() const { return keyLength_ <= 2; }

    std::vector<Bucket, detail::TBlockAllocator<Bucket>> buckets_;  // made on the first Add
    std::vector<Entry, detail::TBlockAllocator<Entry>> entries_;    // per ordinal
    // 2^64 / BucketCount(), rounded up: the remainder by multiplication instead of a division,
    // which would be a good part of each addition and lookup.
    std::uint64_t bucketMagic_ = 0;
    std::uint32_t initialBuckets_;
    // Direct keys: per high byte a page of 256 ordinals (-1: absent), made on first use.
    std::vector<std::unique_ptr<std::int32_t[]>> pages_;
    std::size_t keyLength_ = 0;
    int count_ = 0;
    bool started_ = false;  // the first key, which sets the length, has been added
    bool growing_;
};

}  // namespace morvik::xls
