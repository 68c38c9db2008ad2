#include "ItemIndex.h"

#include <algorithm>

#include "XLSError.h"

namespace morvik::xls {

TItemIndex::TItemIndex(std::uint32_t bucketCount, bool growing)
    : initialBuckets_(bucketCount == 0 ? 1 : bucketCount), growing_(growing) {}

std::uint32_t TItemIndex::Pack(std::string_view key) {
    if (key.size() == 4) {  // every cell key: one load instead of a loop
        const auto* b = reinterpret_cast<const unsigned char*>(key.data());
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
               std::uint32_t{b[3]} << 24;
    }
    if (key.size() == 2) {  // every row and column key
        const auto* b = reinterpret_cast<const unsigned char*>(key.data());
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8;
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < key.size(); ++i) {
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(key[i])) << (8 * i);
    }
    return v;
}

void TItemIndex::Add(std::string_view key) {
    if (key.size() > 4) throw EModelLimitError("TItemIndex: key longer than 4 bytes");
    if (!started_) {
        keyLength_ = key.size();
        if (Direct()) {
            pages_.resize(std::size_t{1} << (8 * keyLength_ > 8 ? 8 * keyLength_ - 8 : 0));
        } else {
            buckets_.resize(initialBuckets_);
            bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
        }
        started_ = true;
    } else if (key.size() != keyLength_) {
        throw EModelLimitError("TItemIndex: keys of one index have one length");
    }
    if (count_ >= 0x7FFFFFFE) throw EModelLimitError("TItemIndex: too many items");
    const auto ordinal = static_cast<std::int32_t>(count_);
    const std::uint32_t packed = Pack(key);
    if (Direct()) {
        auto& page = pages_[packed >> 8];
        if (!page) {
            page = std::make_unique_for_overwrite<std::int32_t[]>(256);
            std::fill_n(page.get(), 256, -1);
        }
        // The first ordinal under a key is the one a search answers.
        if (page[packed & 0xFF] < 0) page[packed & 0xFF] = ordinal;
        ++count_;
        return;
    }
    entries_.push_back(Entry{packed, -1});
    ++count_;
    if (growing_ && entries_.size() > buckets_.size()) {
        Grow();  // relinks every ordinal, this one included
    } else {
        Link(ordinal, BucketOf(packed));
    }
}

std::size_t TItemIndex::BucketOf(std::uint32_t packed) const {
    // Cell keys pack as row | col << 16; the address puts the column next to the row instead.
    const std::uint32_t linear =
        keyLength_ == 4 ? ((packed & 0xFFFF) << 8 | (packed >> 16)) : packed;
    // Exact for 32-bit dividends and divisors (Lemire, Kaser and Kurz, "Faster remainder by
    // direct computation"); a count of 1 gives magic 0 and remainder 0 as it should.
    __extension__ using Wide = unsigned __int128;
    const std::uint64_t low = bucketMagic_ * linear;
    return static_cast<std::size_t>((static_cast<Wide>(low) * buckets_.size()) >> 64);
}

void TItemIndex::Link(std::int32_t ordinal, std::size_t bucket) {
    Bucket& b = buckets_[bucket];
    entries_[static_cast<std::size_t>(ordinal)].next = b.head;
    b.head = ordinal;
}

void TItemIndex::Grow() {
    buckets_.assign(buckets_.size() * 2 + 1, Bucket{});
    bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
    // Relinking in ordinal order keeps every bucket newest first.
    for (std::size_t o = 0; o < entries_.size(); ++o)
        Link(static_cast<std::int32_t>(o), BucketOf(entries_[o].key));
}

void TItemIndex::Reserve(std::size_t count) {
    if (!growing_ || count <= entries_.size() || (started_ && Direct())) return;
    std::size_t target = buckets_.empty() ? initialBuckets_ : buckets_.size();
    while (target < count && target <= 0x3FFFFFFFu) target = target * 2 + 1;
    entries_.reserve(count);
    if (!started_) {
        // The first Add makes the buckets, and learns the key length then.
        initialBuckets_ = static_cast<std::uint32_t>(target);
    } else if (target > buckets_.size()) {
        buckets_.assign(target, Bucket{});
        bucketMagic_ = ~std::uint64_t{0} / buckets_.size() + 1;
        for (std::size_t o = 0; o < entries_.size(); ++o)
            Link(static_cast<std::int32_t>(o), BucketOf(entries_[o].key));
    }
}

const TItemIndex::Entry* TItemIndex::Lookup(std::string_view key) const {
    if (!started_ || Direct() || key.size() != keyLength_) return nullptr;
    const std::uint32_t packed = Pack(key);
    // Collections add a key once, but the index answers for the first of equal keys: the
    // last match of the newest-first walk.
    const Entry* found = nullptr;
    for (std::int32_t o = buckets_[BucketOf(packed)].head; o >= 0;) {
        const Entry& e = entries_[static_cast<std::size_t>(o)];
        if (e.key == packed) found = &e;
        o = e.next;
    }
    return found;
}

int TItemIndex::Search(std::string_view key) const {
    if (started_ && Direct()) {
        if (key.size() != keyLength_) return -1;
        const std::uint32_t packed = Pack(key);
        const auto& page = pages_[packed >> 8];
        return page ? page[packed & 0xFF] : -1;
    }
    const Entry* e = Lookup(key);
    return e == nullptr ? -1 : static_cast<int>(e - entries_.data());
}

}  // namespace morvik::xls
