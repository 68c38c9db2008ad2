#include "Ranges.h"

#include "Cells.h"
#include "Sheets.h"
#include "XLSError.h"

namespace morvik::xls {

void TRange::SetName(std::string_view name) {
    if (name.find(' ') != std::string_view::npos) throw EXLSError(kErrInvalidRangeName, name);
    if (name != name_) name_.assign(name);
}

void TRange::Merge() {
    merged_ = true;
    for (int i = 0; i < Count(); ++i) {
        const TRangeRect r = Get(i);
        for (int row = r.FirstRow; row <= r.LastRow; ++row) {
            for (int col = r.FirstCol; col <= r.LastCol; ++col)
                sheet_->Cells().Cell(row, col).SetMerged(true);
        }
    }
}

TRange& TRanges::Add() {
    ranges_.push_back(std::make_unique<TRange>(*sheet_));
    return *ranges_.back();
}

TRange& TRanges::Items(int i) const {
    if (i < 0 || i >= Count()) RaiseListIndexError(i);
    return *ranges_[static_cast<std::size_t>(i)];
}

}  // namespace morvik::xls
