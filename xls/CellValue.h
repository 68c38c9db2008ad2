// A cell's value: one of the kinds a cell can hold, tagged with its variant type code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

namespace morvik::xls {

// Standard variant type codes of the kinds a cell can hold.
enum class TVarType : std::uint16_t {
    Empty = 0,
    Smallint = 2,  // 16-bit integer
    Integer = 3,   // 32-bit integer
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    OleStr = 8,  // UTF-16 string
    Boolean = 11,
    Byte = 17,
    String = 256,  // 8-bit string
};

// Fixed-point currency: the amount times 10000.
struct TCurrency {
    std::int64_t Scaled = 0;
    double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }
    friend bool operator==(const TCurrency&, const TCurrency&) = default;
};

// Days since 30 December 1899; the fraction is the time of day.
struct TDateTime {
    double Days = 0;
    friend bool operator==(const TDateTime&, const TDateTime&) = default;
};

// A cell value: exactly one of the kinds of TVarType. 8-bit strings hold the bytes as stored
// (each byte one character U+0000..U+00FF, as the file's compressed strings are); UTF-16
// strings hold 16-bit code units.
// A sheet holds millions of these, so a value is its kind and 8 bytes: numbers in place,
// strings as a pointer to an immutable, reference-counted text. Copying a string value shares
// the text: a shared string used by many cells is held once.
class TCellValue {
  public:
    TCellValue() = default;  // Empty
    TCellValue(std::int16_t v) : kind_(TVarType::Smallint) { u_.i16 = v; }
    TCellValue(std::int32_t v) : kind_(TVarType::Integer) { u_.i32 = v; }
    TCellValue(float v) : kind_(TVarType::Single) { u_.f = v; }
    TCellValue(double v) : kind_(TVarType::Double) { u_.d = v; }
    TCellValue(TCurrency v) : kind_(TVarType::Currency) { u_.currency = v; }
    TCellValue(TDateTime v) : kind_(TVarType::Date) { u_.date = v; }
    TCellValue(std::u16string v);
    TCellValue(const char16_t* v) : TCellValue(std::u16string(v)) {}
    TCellValue(bool v) : kind_(TVarType::Boolean) { u_.b = v; }
    TCellValue(std::uint8_t v) : kind_(TVarType::Byte) { u_.u8 = v; }
    // 8-bit string; spelled out so a char pointer cannot silently turn into a boolean.
    static TCellValue String8(std::string bytes);
    // A text kept in 8 bits when all its characters lie below U+0100, as compressed strings
    // are: a short one then needs no allocation of its own, which millions of cells feel.
    static TCellValue CompactText(std::u16string units);
    TCellValue(const char*) = delete;

    // A copy always holds its own reference, also of a borrowed text (see Borrow).
    TCellValue(const TCellValue& other) noexcept
        : u_(other.u_), kind_(other.kind_), longText_(other.longText_) {
        Retain();
    }
    TCellValue(TCellValue&& other) noexcept
        : u_(other.u_), kind_(other.kind_), longText_(other.longText_), borrowed_(other.borrowed_) {
        other.kind_ = TVarType::Empty;
    }
    TCellValue& operator=(const TCellValue& other) noexcept {
        TCellValue copy(other);
        Swap(copy);
        return *this;
    }
    TCellValue& operator=(TCellValue&& other) noexcept {
        TCellValue taken(std::move(other));
        Swap(taken);
        return *this;
    }
    ~TCellValue() { Release(); }

    TVarType Kind() const { return kind_; }
    // The value when it is of kind T (std::int16_t, std::int32_t, float, double, TCurrency,
    // TDateTime, std::u16string, bool, std::uint8_t, std::string), else null.
    template <class T>
    const T* As() const;

    bool IsEmpty() const { return kind_ == TVarType::Empty; }
    // A string of more than 65535 characters, which no cell takes; known without reading it.
    bool LongText() const { return longText_; }
    // Kinds 2 to 7 and 17. Inline: the reader and the import ask every cell.
    bool IsNumber() const {
        switch (kind_) {
            case TVarType::Smallint:
            case TVarType::Integer:
            case TVarType::Single:
            case TVarType::Double:
            case TVarType::Currency:
            case TVarType::Date:
            case TVarType::Byte:
                return true;
            default:
                return false;
        }
    }
    // Numeric kinds as a double (currency unscaled, dates as days), booleans as 0/1, else 0.
    double AsDouble() const { return kind_ == TVarType::Double ? u_.d : OtherAsDouble(); }

    friend bool operator==(const TCellValue& a, const TCellValue& b);

  private:
    friend class TCells;
    // The same value without a reference of its own to the text: for a cell whose collection
    // keeps the owner of `v`'s text alive for as long as the cell (TCells::SetBorrowedValue).
    // A shared string shown by a million cells then costs no count per cell.
    static TCellValue Borrow(const TCellValue& v) noexcept {
        TCellValue b;
        b.u_ = v.u_;
        b.kind_ = v.kind_;
        b.longText_ = v.longText_;
        b.borrowed_ = v.HoldsText();
        return b;
    }

    template <class S>
    struct Text {
        std::atomic<std::uint32_t> refs{1};
        S text;
    };
    using WideText = Text<std::u16string>;
    using NarrowText = Text<std::string>;
    bool HoldsText() const { return kind_ == TVarType::OleStr || kind_ == TVarType::String; }
    void Retain() const noexcept {
        if (HoldsText()) RefsOf().fetch_add(1, std::memory_order_relaxed);
    }
    // Inline: numbers, most of a sheet's values, have nothing to release.
    void Release() noexcept {
        if (HoldsText() && !borrowed_) ReleaseText();
    }
    void ReleaseText() noexcept;
    double OtherAsDouble() const;
    std::atomic<std::uint32_t>& RefsOf() const {
        return kind_ == TVarType::OleStr ? u_.wide->refs : u_.narrow->refs;
    }
    void Swap(TCellValue& other) noexcept {
        std::swap(kind_, other.kind_);
        std::swap(u_, other.u_);
        std::swap(longText_, other.longText_);
        std::swap(borrowed_, other.borrowed_);
    }

    union Payload {
        Payload() : raw(0) {}
        std::uint64_t raw;
        std::int16_t i16;
        std::int32_t i32;
        float f;
        double d;
        TCurrency currency;
        TDateTime date;
        bool b;
        std::uint8_t u8;
        WideText* wide;
        NarrowText* narrow;
    } u_;
    // After the payload, so that a holder can put a small field in the padding behind them.
    TVarType kind_ = TVarType::Empty;
    bool longText_ = false;
    bool borrowed_ = false;  // the text is held by someone else, no reference counted here
};

template <class T>
const T* TCellValue::As() const {
    auto pick = [this](TVarType kind, const auto* p) { return kind_ == kind ? p : nullptr; };
    if constexpr (std::is_same_v<T, std::int16_t>)
        return pick(TVarType::Smallint, &u_.i16);
    else if constexpr (std::is_same_v<T, std::int32_t>)
        return pick(TVarType::Integer, &u_.i32);
    else if constexpr (std::is_same_v<T, float>)
        return pick(TVarType::Single, &u_.f);
    else if constexpr (std::is_same_v<T, double>)
        return pick(TVarType::Double, &u_.d);
    else if constexpr (std::is_same_v<T, TCurrency>)
        return pick(TVarType::Currency, &u_.currency);
    else if constexpr (std::is_same_v<T, TDateTime>)
        return pick(TVarType::Date, &u_.date);
    else if constexpr (std::is_same_v<T, bool>)
        return pick(TVarType::Boolean, &u_.b);
    else if constexpr (std::is_same_v<T, std::uint8_t>)
        return pick(TVarType::Byte, &u_.u8);
    else if constexpr (std::is_same_v<T, std::u16string>)
        return kind_ == TVarType::OleStr ? &u_.wide->text : nullptr;
    else if constexpr (std::is_same_v<T, std::string>)
        return kind_ == TVarType::String ? &u_.narrow->text : nullptr;
    else
        static_assert(sizeof(T) == 0, "not a kind a cell value holds");
}

}  // namespace morvik::xls
