// A cell's value: one of the kinds a cell can hold, tagged with its variant type code.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>

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

namespace detail {
// The kind of each alternative of TCellValue::Data, in order.
inline constexpr TVarType kKindOfAlternative[] = {
    TVarType::Empty,   TVarType::Smallint, TVarType::Integer, TVarType::Single,
    TVarType::Double,  TVarType::Currency, TVarType::Date,    TVarType::OleStr,
    TVarType::Boolean, TVarType::Byte,     TVarType::String,
};
}  // namespace detail

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
class TCellValue {
  public:
    // Alternatives in the order of their type codes; see KindOf.
    using Data = std::variant<std::monostate, std::int16_t, std::int32_t, float, double, TCurrency,
                              TDateTime, std::u16string, bool, std::uint8_t, std::string>;

    TCellValue() = default;  // Empty
    TCellValue(std::int16_t v) : data_(v) {}
    TCellValue(std::int32_t v) : data_(v) {}
    TCellValue(float v) : data_(v) {}
    TCellValue(double v) : data_(v) {}
    TCellValue(TCurrency v) : data_(v) {}
    TCellValue(TDateTime v) : data_(v) {}
    TCellValue(std::u16string v) : data_(std::move(v)) {}
    TCellValue(const char16_t* v) : data_(std::u16string(v)) {}
    TCellValue(bool v) : data_(v) {}
    TCellValue(std::uint8_t v) : data_(v) {}
    // 8-bit string; spelled out so a char pointer cannot silently turn into a boolean.
    static TCellValue String8(std::string bytes);
    TCellValue(const char*) = delete;

    // Inline, with IsNumber: the reader and the import ask every cell.
    TVarType Kind() const { return detail::kKindOfAlternative[data_.index()]; }
    const Data& Get() const { return data_; }
    template <class T>
    const T* As() const {
        return std::get_if<T>(&data_);
    }

    bool IsEmpty() const { return Kind() == TVarType::Empty; }
    // Kinds 2 to 7 and 17.
    bool IsNumber() const {
        switch (Kind()) {
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
    double AsDouble() const;

    friend bool operator==(const TCellValue&, const TCellValue&) = default;

  private:
    Data data_;
};

}  // namespace morvik::xls
