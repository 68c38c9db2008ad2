#include "CellValue.h"

#include <iterator>

namespace morvik::xls {

static_assert(std::size(detail::kKindOfAlternative) == std::variant_size_v<TCellValue::Data>);

TCellValue TCellValue::String8(std::string bytes) {
    TCellValue v;
    v.data_ = std::move(bytes);
    return v;
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
