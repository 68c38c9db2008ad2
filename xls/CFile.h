// Read-only access to a compound file: a small file system of storages (folders) and
// streams (files) inside one file. The whole tree is opened at once; streams are read on
// demand, sector by sector, never copied whole into memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/Error.h"

namespace morvik::xls {

// Indexed by ECFileError::ErrorCode(); codes 0 to 2 are not used by this layer.
inline constexpr std::string_view kCFileErrorMessages[] = {
    "",
    "",
    "",
    "Can not open a docfile",
    "Can not open a stream",
    "Can not open a storage",
    "Can not set stream position",
};

inline constexpr std::uint8_t kCFileCannotOpenDocfile = 3;
inline constexpr std::uint8_t kCFileCannotOpenStream = 4;
inline constexpr std::uint8_t kCFileCannotOpenStorage = 5;
inline constexpr std::uint8_t kCFileCannotSetPosition = 6;

class ECFileError : public morvik::Error {
  public:
    explicit ECFileError(std::uint8_t code);
    std::uint8_t ErrorCode() const { return static_cast<std::uint8_t>(Code()); }
};

namespace cfb {
class Volume;  // the opened file: header, allocation tables, sector reads
}

class TCFileItem {
  public:
    explicit TCFileItem(std::string name) : name_(std::move(name)) {}
    virtual ~TCFileItem() = default;
    TCFileItem(const TCFileItem&) = delete;
    TCFileItem& operator=(const TCFileItem&) = delete;

    // The element's name as UTF-8 (the file stores UTF-16).
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
};

class TCFileStream : public TCFileItem {
  public:
    // `sectors` is the stream's chain, already checked; `size` already fits what it holds.
    // Without a volume the stream is damaged: every operation raises "Can not open a stream".
    TCFileStream(std::string name, std::shared_ptr<cfb::Volume> volume, bool inMiniStream,
                 std::vector<std::uint32_t> sectors, std::uint64_t size);

    // Reads up to `count` bytes at the current position; returns how many were read.
    std::size_t Read(void* buffer, std::size_t count) {
        // Most reads are a record's few bytes from the window already loaded.
        if (volume_ && buffer != nullptr && count != 0 && position_ >= windowStart_) {
            const std::uint64_t at = position_ - windowStart_;
            if (at <= windowLength_ && count <= windowLength_ - at) {
                std::memcpy(buffer, window_.data() + at, count);
                position_ += count;
                return count;
            }
        }
        return ReadSlow(buffer, count);
    }
    // The loaded bytes from the current position on, `available` of them; null and 0 when the
    // loaded window does not hold the position. The position stays, and the bytes stay in
    // place until the next Read.
    const std::uint8_t* Peek(std::size_t& available) const {
        available = 0;
        if (!volume_ || position_ < windowStart_) return nullptr;
        const std::uint64_t at = position_ - windowStart_;
        if (at >= windowLength_) return nullptr;
        available = static_cast<std::size_t>(windowLength_ - at);
        return window_.data() + at;
    }
    // Moves past `count` bytes that Peek has just shown.
    void SkipPeeked(std::size_t count) { position_ += count; }
    // Origin 0 from the start, 1 from the current position, 2 from the end. A target before
    // the start leaves the position where it was. Returns the new position.
    std::uint64_t Seek(std::int64_t offset, int origin);
    std::uint64_t Position() const {
        CheckOpen();
        return position_;
    }
    std::uint64_t Size() const {
        CheckOpen();
        return size_;
    }
    bool Damaged() const { return !volume_; }
    // Raises "Can not set stream position" when the stream cannot stand at `p`.
    void SetPosition(std::int64_t p);
    // True only when `buffer` is given and exactly `n` bytes were read.
    bool ReadExact(void* buffer, std::size_t n) {
        return buffer != nullptr && Read(buffer, n) == n;
    }

  private:
    void CheckOpen() const {
        if (!volume_) throw ECFileError(kCFileCannotOpenStream);
    }
    std::size_t ReadSlow(void* buffer, std::size_t count);
    // Loads the window that holds `position_`; false when nothing there can be read.
    bool FillWindow();

    std::shared_ptr<cfb::Volume> volume_;
    bool mini_;
    std::vector<std::uint32_t> sectors_;
    std::uint64_t size_;
    std::uint64_t position_ = 0;
    // A bounded window of the stream's bytes, read a run of adjacent sectors at a time:
    // records are a few bytes each, and fetching each from the volume would dominate a load.
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
};

class TCFileStorage : public TCFileItem {
  public:
    using TCFileItem::TCFileItem;
    ~TCFileStorage() override;

    // The children in the order the file's directory lists them.
    const std::vector<std::unique_ptr<TCFileItem>>& Items() const { return items_; }
    // The first child whose name matches when both are upper-cased (a to z only).
    TCFileItem* FindItem(std::string_view name) const;
    // FindItem, but a storage of that name counts as no match.
    TCFileStream* FindStream(std::string_view name) const;

    void Append(std::unique_ptr<TCFileItem> item) { items_.push_back(std::move(item)); }

  private:
    std::vector<std::unique_ptr<TCFileItem>> items_;
};

enum TCFileMode { cfOpen };

class TCFile {
  public:
    // Opens the file read-only and builds the whole tree.
    explicit TCFile(const std::string& fileName, TCFileMode mode = cfOpen);
    // Opens a compound file held in memory; the bytes are copied.
    explicit TCFile(std::span<const std::uint8_t> bytes);
    ~TCFile();
    TCFile(const TCFile&) = delete;
    TCFile& operator=(const TCFile&) = delete;

    const std::string& FileName() const { return fileName_; }
    TCFileStorage& Root() { return *root_; }
    const TCFileStorage& Root() const { return *root_; }

  private:
    void Build(std::shared_ptr<cfb::Volume> volume);

    std::string fileName_;
    std::unique_ptr<TCFileStorage> root_;
};

}  // namespace morvik::xls
