#include "HList.h"

#include "Crc32.h"

namespace morvik::xls {

TCustomHashTable::TCustomHashTable(std::uint16_t bucketCount)
    : bucketCount_(bucketCount == 0 ? 1 : bucketCount) {}

std::size_t TCustomHashTable::BucketOf(std::string_view key) const {
    return Crc32(key) % bucketCount_;
}

void TCustomHashTable::AddOrdinal(int ordinal) {
    std::string buffer;
    const std::size_t bucket = BucketOf(KeyAt(ordinal, buffer));
    if (buckets_.empty()) buckets_.resize(bucketCount_);
    buckets_[bucket].push_back(ordinal);
}

int TCustomHashTable::Search(std::string_view key) const {
    found_ = false;
    const std::size_t bucket = BucketOf(key);
    if (buckets_.empty()) return -1;
    std::string buffer;
    for (int ordinal : buckets_[bucket]) {
        if (KeyAt(ordinal, buffer) == key) {
            found_ = true;
            return ordinal;
        }
    }
    return -1;
}

void TCustomHashTable::ClearBuckets() {
    std::vector<std::vector<int>>().swap(buckets_);
    found_ = false;
}

std::size_t TCustomHashTable::BucketSize(std::size_t bucket) const {
    return bucket < buckets_.size() ? buckets_[bucket].size() : 0;
}

THashTable::THashTable(std::uint16_t bucketCount, KeyFunction keyOf)
    : TCustomHashTable(bucketCount), keyOf_(std::move(keyOf)) {}

std::string_view THashTable::KeyAt(int ordinal, std::string& buffer) const {
    buffer = keyOf_(ordinal);
    return buffer;
}

THashedStringList::THashedStringList(std::uint16_t bucketCount) : TCustomHashTable(bucketCount) {}

int THashedStringList::Add(std::string bytes) {
    if (strings_.size() >= 0x7FFFFFFEu)
        throw EModelLimitError("THashedStringList: too many strings");
    strings_.push_back(std::move(bytes));
    const int ordinal = static_cast<int>(strings_.size() - 1);
    try {
        AddOrdinal(ordinal);
    } catch (...) {
        strings_.pop_back();  // list and index stay in step
        throw;
    }
    return ordinal;
}

const std::string& THashedStringList::Get(int i) const {
    if (i < 0 || i >= Count()) RaiseListIndexError(i);
    return strings_[static_cast<std::size_t>(i)];
}

void THashedStringList::Clear() {
    std::vector<std::string>().swap(strings_);
    ClearBuckets();
}

std::string_view THashedStringList::KeyAt(int ordinal, std::string&) const {
    return strings_[static_cast<std::size_t>(ordinal)];
}

}  // namespace morvik::xls
