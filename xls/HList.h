// Ordered lists with a hash index over them, for cells, rows, columns and style entries.
//
//   TCustomHashTable   the index: buckets of ordinals chosen by Crc32(key) % bucket count. It never
//                      stores keys; it asks KeyAt(ordinal) whenever it compares.
//   THashTable         the index with the key function given as a callback.
//   THashedList<T>     an ordered list of T* (not owned) with the index; the owner supplies the key
//                      of an object. Objects are only appended, so ordinals stay valid.
//   THashedStringList  an ordered list of byte strings (duplicates kept) with the index.
//
// Ordinals are int; -1 means "none". Keys are compared byte for byte, length included, so keys
// that differ only by a trailing zero byte are different. Among equal keys a search answers the
// one added first. Items/Get with a bad ordinal throw EListIndexError
// ("List index (<i>) out of bounds").
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "XLSError.h"

namespace morvik::xls {

// Bucket counts the model uses.
inline constexpr std::uint16_t kItemBuckets = 16383;  // cells, rows, columns (not 16384)
inline constexpr std::uint16_t kStyleBuckets = 1024;  // style tables

class TCustomHashTable {
  public:
    // A bucket count of 0 is taken as 1 so that the modulo is always defined.
    explicit TCustomHashTable(std::uint16_t bucketCount);
    virtual ~TCustomHashTable() = default;
    TCustomHashTable(const TCustomHashTable&) = delete;
    TCustomHashTable& operator=(const TCustomHashTable&) = delete;

    std::uint16_t BucketCount() const { return bucketCount_; }
    std::size_t BucketOf(std::string_view key) const;
    // Whether the last search found its key.
    bool Found() const { return found_; }

    // Indexes `ordinal` under the key KeyAt(ordinal) answers now.
    void AddOrdinal(int ordinal);
    // The first ordinal added whose key equals `key`, or -1. Sets Found.
    int Search(std::string_view key) const;
    // Destroys every bucket list; all slots become empty.
    void ClearBuckets();

    // Number of ordinals in one bucket (0 for an empty slot); for diagnostics and tests.
    std::size_t BucketSize(std::size_t bucket) const;

  protected:
    // Key bytes of the entry at `ordinal`. An implementation that has to build the key may do
    // so in `buffer` and answer a view of it.
    virtual std::string_view KeyAt(int ordinal, std::string& buffer) const = 0;

  private:
    std::vector<std::vector<int>> buckets_;  // allocated on the first AddOrdinal
    std::uint16_t bucketCount_;
    mutable bool found_ = false;
};

class THashTable : public TCustomHashTable {
  public:
    using KeyFunction = std::function<std::string(int ordinal)>;
    THashTable(std::uint16_t bucketCount, KeyFunction keyOf);

  protected:
    std::string_view KeyAt(int ordinal, std::string& buffer) const override;

  private:
    KeyFunction keyOf_;
};

template <class T>
class THashedList : public TCustomHashTable {
  public:
    using KeyFunction = std::function<std::string(const T& object)>;

    THashedList(std::uint16_t bucketCount, KeyFunction keyOf)
        : TCustomHashTable(bucketCount), keyOf_(std::move(keyOf)) {}

    // Appends `object` (not owned, must not be null) and indexes it; answers its ordinal.
    int Add(T* object) {
        if (object == nullptr) throw EModelLimitError("THashedList::Add: null object");
        if (items_.size() >= static_cast<std::size_t>(kMaxCount)) {
            throw EModelLimitError("THashedList: too many items");
        }
        items_.push_back(object);
        const int ordinal = static_cast<int>(items_.size() - 1);
        try {
            AddOrdinal(ordinal);
        } catch (...) {
            items_.pop_back();  // list and index stay in step
            throw;
        }
        return ordinal;
    }
    T* Find(std::string_view key) const {
        const int i = Search(key);
        return i < 0 ? nullptr : items_[static_cast<std::size_t>(i)];
    }
    int IndexOfKey(std::string_view key) const { return Search(key); }
    int Count() const { return static_cast<int>(items_.size()); }
    T* Items(int i) const {
        if (i < 0 || i >= Count()) RaiseListIndexError(i);
        return items_[static_cast<std::size_t>(i)];
    }

  protected:
    std::string_view KeyAt(int ordinal, std::string& buffer) const override {
        buffer = keyOf_(*items_[static_cast<std::size_t>(ordinal)]);
        return buffer;
    }

  private:
    static constexpr int kMaxCount = 0x7FFFFFFE;
    KeyFunction keyOf_;
    std::vector<T*> items_;
};

class THashedStringList : public TCustomHashTable {
  public:
    explicit THashedStringList(std::uint16_t bucketCount);

    // Appends `bytes` (duplicates allowed) and indexes it; answers its ordinal.
    int Add(std::string bytes);
    // Ordinal of the first string equal to `bytes`, or -1.
    int IndexOf(std::string_view bytes) const { return Search(bytes); }
    int Count() const { return static_cast<int>(strings_.size()); }
    const std::string& Get(int i) const;
    void Clear();

  protected:
    std::string_view KeyAt(int ordinal, std::string& buffer) const override;

  private:
    std::vector<std::string> strings_;
};

}  // namespace morvik::xls
