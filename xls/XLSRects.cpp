#include "XLSRects.h"

#include "XLSError.h"

namespace morvik::xls {

int TRangeRects::AddRect(std::uint16_t firstRow, std::uint16_t lastRow, std::uint8_t firstCol,
                         std::uint8_t lastCol) {
    rects_.push_back(TRangeRect{firstRow, lastRow, firstCol, lastCol});
    return Count() - 1;
}

TRangeRect TRangeRects::Get(int i) const {
    if (i < 0 || i >= Count()) RaiseListIndexError(i);
    return rects_[static_cast<std::size_t>(i)];
}

void TRangeRects::Assign(const TRangeRects& other) {
    // Copy first: `other` may be this very list.
    const std::vector<TRangeRect> copy = other.rects_;
    rects_.insert(rects_.end(), copy.begin(), copy.end());
}

std::string ColumnName(int col) {
    std::string name;
    if (col > 25) name.push_back(static_cast<char>(64 + col / 26));
    name.push_back(static_cast<char>(65 + ((col % 26) + 26) % 26));
    return name;
}

}  // namespace morvik::xls
