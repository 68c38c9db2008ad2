#include "CellValue.h"

#include <algorithm>

namespace morvik::xls {

static_assert(sizeof(TCellValue) <= 16, "a cell value is its kind and 8 bytes");

namespace {
constexpr std::size_t kLongText = 65535;
}

TCellValue::TCellValue(std::u16string v)
    : kind_(TVarType::OleStr), longText_(v.size() > kLongText) {
    u_.wide = new WideText{{1}, std::move(v)};
}

TCellValue TCellValue::CompactText(std::u16string units) {
    if (std::all_of(units.begin(), units.end(), [](char16_t u) { return u < 0x100; })) {
        std::string bytes(units.size(), '\0');
        std::transform(units.begin(), units.end(), bytes.begin(),
                       [](char16_t u) { return static_cast<char>(u); });
        return String8(std::move(bytes));
    }
    return TCellValue(std::move(units));
}

TCellValue TCellValue::String8(std::string bytes) {
    TCellValue v;
    v.longText_ = bytes.size() > kLongText;
    v.u_.narrow = new NarrowText{{1}, std::move(bytes)};
    v.kind_ = TVarType::String;
    return v;
}

void TCellValue::ReleaseText() noexcept {
    // The last holder frees the text; acquire so that no other holder's use is still pending.
    if (RefsOf().fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (kind_ == TVarType::OleStr) {
        delete u_.wide;
    } else {
        delete u_.narrow;
    }
}

// AsDouble for every kind but the common one, a double.
double TCellValue::OtherAsDouble() const {
    switch (kind_) {
        case TVarType::Smallint:
            return u_.i16;
        case TVarType::Integer:
            return u_.i32;
        case TVarType::Single:
            return u_.f;
        case TVarType::Double:
            return u_.d;
        case TVarType::Currency:
            return u_.currency.ToDouble();
        case TVarType::Date:
            return u_.date.Days;
        case TVarType::Boolean:
            return u_.b ? 1 : 0;
        case TVarType::Byte:
            return u_.u8;
        default:
            return 0;
    }
}

bool operator==(const TCellValue& a, const TCellValue& b) {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
        case TVarType::Empty:
            return true;
        case TVarType::Smallint:
            return a.u_.i16 == b.u_.i16;
        case TVarType::Integer:
            return a.u_.i32 == b.u_.i32;
        case TVarType::Single:
            return a.u_.f == b.u_.f;
        case TVarType::Double:
            return a.u_.d == b.u_.d;
        case TVarType::Currency:
            return a.u_.currency == b.u_.currency;
        case TVarType::Date:
            return a.u_.date == b.u_.date;
        case TVarType::Boolean:
            return a.u_.b == b.u_.b;
        case TVarType::Byte:
            return a.u_.u8 == b.u_.u8;
        case TVarType::OleStr:
            return a.u_.wide == b.u_.wide || a.u_.wide->text == b.u_.wide->text;
        case TVarType::String:
            return a.u_.narrow == b.u_.narrow || a.u_.narrow->text == b.u_.narrow->text;
    }
    return false;
}

}  // namespace morvik::xls
