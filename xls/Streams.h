// The record payload buffer and the text forms the record reader stores.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace morvik::xls {

// A growable in-memory byte stream with little-endian readers. The position may stand past
// the end (then Remaining() is negative). A reader that does not get all it asked for
// returns false, advances by what it did get, and yields zero for the value: fields that a
// short payload lacks read as 0.
class TEasyStream {
  public:
    TEasyStream() = default;
    explicit TEasyStream(std::span<const std::uint8_t> bytes)
        : bytes_(bytes.begin(), bytes.end()), size_(bytes.size()) {}
    // A copy owns what it shows: the bytes a shown stream borrows may go before the copy does.
    TEasyStream(const TEasyStream& other)
        : bytes_(other.bytes_), view_(other.view_), size_(other.size_), position_(other.position_) {
        Own();
    }
    TEasyStream& operator=(const TEasyStream& other) {
        if (this != &other) {
            bytes_ = other.bytes_;
            view_ = other.view_;
            size_ = other.size_;
            position_ = other.position_;
            Own();
        }
        return *this;
    }
    TEasyStream(TEasyStream&&) noexcept = default;
    TEasyStream& operator=(TEasyStream&&) noexcept = default;
    ~TEasyStream() = default;

    std::int64_t Size() const { return static_cast<std::int64_t>(size_); }
    // Grows with zero bytes or shrinks; the position stays where it is.
    void SetSize(std::size_t size) {
        Own();
        if (size > size_) {
            if (size > bytes_.size()) bytes_.resize(size);
            std::fill(bytes_.begin() + static_cast<std::ptrdiff_t>(size_),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(size), 0);
        }
        size_ = size;
    }
    // Sets the size like SetSize but leaves the bytes as they were, for a caller that writes
    // every one of them at once (a record's payload, tens of thousands per load). Returns
    // Data().
    std::uint8_t* SetSizeForOverwrite(std::size_t size) {
        Own();
        if (size > bytes_.size()) bytes_.resize(size);
        size_ = size;
        return bytes_.data();
    }
    std::int64_t Position() const { return position_; }
    // A negative position is taken as 0.
    void SetPosition(std::int64_t position) { position_ = position < 0 ? 0 : position; }
    std::int64_t Remaining() const { return Size() - position_; }
    std::uint8_t* Data() {
        Own();
        return bytes_.data();
    }
    std::span<const std::uint8_t> Bytes() const { return {Begin(), size_}; }

    // Shows `size` bytes that live elsewhere instead of its own, from position 0, until the
    // next change of size or Data(). A record's payload read where the stream loaded it: most
    // records are a few bytes, and copying each would cost more than reading it. The caller
    // keeps the bytes in place for as long as they are shown.
    void View(const std::uint8_t* bytes, std::size_t size) {
        view_ = bytes;
        size_ = size;
        position_ = 0;
    }
    // Copies the shown bytes into its own buffer, so that they outlive their source.
    void Own() {
        if (view_ == nullptr) return;
        if (size_ > bytes_.size()) bytes_.resize(size_);
        if (size_ > 0) std::copy_n(view_, size_, bytes_.data());
        view_ = nullptr;
    }

    bool ReadByte(std::uint8_t& value);
    bool ReadWord(std::uint16_t& value);
    bool ReadDWord(std::uint32_t& value);
    bool ReadDouble(double& value);
    // Copies what there is; the part of `destination` that the payload could not fill is zeroed.
    bool ReadBuffer(void* destination, std::size_t n);
    // All or nothing: with fewer than n bytes left, reads nothing and leaves `out` unchanged.
    bool ReadString(std::size_t n, std::string& out);
    // Moves the position by n (either way; never before the start).
    void Skip(std::int64_t n);

    // The same readers for callers that take 0 as "not there".
    std::uint8_t Byte();
    std::uint16_t Word();
    std::uint32_t DWord();
    double Double();

  private:
    // How many of `n` bytes are there to read at the current position.
    std::size_t Available(std::size_t n) const;

    const std::uint8_t* Begin() const { return view_ != nullptr ? view_ : bytes_.data(); }

    // Only the first size_ bytes are the stream's; the buffer beyond is kept for reuse.
    std::vector<std::uint8_t> bytes_;
    const std::uint8_t* view_ = nullptr;  // the bytes shown instead, see View()
    std::size_t size_ = 0;
    std::int64_t position_ = 0;
};

// Marked text: the stored form of a shared string, a width marker followed by the
// characters. 0x00: 8-bit characters exactly as stored; 0x01: UTF-16LE bytes.
inline constexpr char kMarkNarrow = 0x00;
inline constexpr char kMarkWide = 0x01;

// 8-bit characters to UTF-16LE bytes: each byte is the character code, as the file
// format defines for its compressed strings.
std::string Widen(std::string_view narrow);

// The characters of a marked text as UTF-8. 8-bit characters are code points 0 to 255;
// unpaired surrogates become U+FFFD and an odd trailing byte is dropped.
std::string MarkedTextToUtf8(std::string_view marked);
// The characters of a marked text as UTF-16 code units.
std::u16string MarkedTextToWide(std::string_view marked);

// A counted string of one record: a character count of `countBytes` (1 or 2) bytes, an option
// byte whose bit 0 marks 16-bit characters, then the characters. Returns it as marked text.
// False when the payload ends first; `marked` is then an empty text (marker only).
bool ReadCountedString(TEasyStream& data, int countBytes, std::string& marked);

}  // namespace morvik::xls
