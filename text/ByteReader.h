// A bounds-checked little-endian cursor over bytes that came from a file.
//
// Every multi-byte value of a workbook file goes through this one reader. Values are built
// with shifts, so the host's byte order and alignment never matter. A read that does not fit
// returns zero, leaves the cursor where it stood and clears `Ok()`, so callers can read a run
// of fields and check once at the end.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace morvik {

// Little-endian loads from a pointer the caller has already bounds-checked.
inline std::uint16_t LoadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t LoadU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(LoadU32(p)) |
           (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data, std::size_t offset = 0)
        : data_(data), offset_(offset) {}

    std::size_t Offset() const { return offset_; }
    std::size_t Size() const { return data_.size(); }
    // Never negative: an offset past the end counts as nothing left.
    std::size_t Remaining() const { return offset_ < data_.size() ? data_.size() - offset_ : 0; }
    bool Ok() const { return ok_; }

    // The check is written so that it cannot overflow, whatever `n` the file supplied.
    bool CanRead(std::size_t n) const {
        return offset_ <= data_.size() && n <= data_.size() - offset_;
    }

    // Moves to an absolute offset; an offset past the end fails and leaves the cursor alone.
    bool Seek(std::size_t offset) {
        if (offset > data_.size()) return Fail();
        offset_ = offset;
        return true;
    }
    bool Skip(std::size_t n) {
        if (!CanRead(n)) return Fail();
        offset_ += n;
        return true;
    }

    std::uint8_t U8() {
        if (!CanRead(1)) {
            Fail();
            return 0;
        }
        return data_[offset_++];
    }
    std::uint16_t U16() {
        if (!CanRead(2)) {
            Fail();
            return 0;
        }
        const auto v = LoadU16(data_.data() + offset_);
        offset_ += 2;
        return v;
    }
    std::uint32_t U32() {
        if (!CanRead(4)) {
            Fail();
            return 0;
        }
        const auto v = LoadU32(data_.data() + offset_);
        offset_ += 4;
        return v;
    }
    std::uint64_t U64() {
        if (!CanRead(8)) {
            Fail();
            return 0;
        }
        const auto v = LoadU64(data_.data() + offset_);
        offset_ += 8;
        return v;
    }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    double F64() { return std::bit_cast<double>(U64()); }

    // The next `n` bytes, or an empty span (and a failure) when fewer remain.
    std::span<const std::uint8_t> Bytes(std::size_t n) {
        if (!CanRead(n)) {
            Fail();
            return {};
        }
        auto out = data_.subspan(offset_, n);
        offset_ += n;
        return out;
    }

  private:
    bool Fail() {
        ok_ = false;
        return false;
    }

    std::span<const std::uint8_t> data_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

}  // namespace morvik
