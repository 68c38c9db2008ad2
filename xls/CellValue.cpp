#include "CellValue.h"

#include <iterator>

namespace morvik::xls {

namespace {
constexpr TVarType kKindOfAlternative[] = {
    TVarType::Empty,   TVarType::Smallint, TVarType::Integer, TVarType::Single,
    TVarType::Double,  TVarType::Currency, TVarType::Date,    TVarType::OleStr,
    TVarType::Boolean, TVarType::Byte,     TVarType::String,
};
static_assert(std::size(kKindOfAlternative) == std::variant_size_v<TCellValue::Data>);
}  // namespace

TCellValue TCellValue::String8(std::string bytes) {
    TCellValue v;
    v.data_ = std::move(bytes);
    return v;
}

TVarType TCellValue::Kind() const { return kKindOfAlternative[data_.index()]; }

bool TCellValue::IsNumber() const {
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

double TCellValue::AsDouble() const {
    struct Visitor {
        double operator()(std::monostate) const { return 0; }
        double operator()(std::int16_t v) const { return v; }
        double operator()(std::int32_t v) const { return v; }
        double operator()(float v) const { return v; }
        double operator()(double v) const { return v; }
        double operator()(TCurrency v) const { return v.ToDouble(); }
        double operator()(TDateTime v) const { return v.Days; }
        double operator()(const std::u16string&) const { return 0; }
        double operator()(bool v) const { return v ? 1 : 0; }
        double operator()(std::uint8_t v) const { return v; }
        double operator()(const std::string&) const { return 0; }
    };
    return std::visit(Visitor{}, data_);
}

}  // namespace morvik::xls
