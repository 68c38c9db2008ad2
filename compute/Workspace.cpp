#include "Workspace.h"

#include <algorithm>
#include <cstddef>

namespace morvik {

namespace {
const std::string kEmptyText;
}

TextTable::TextTable(int colCount, int rowCount)
    : colCount_(std::max(colCount, 0)), rowCount_(std::max(rowCount, 0)) {
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
}

const std::string& TextTable::Cell(int col, int row) const {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return kEmptyText;
    return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) +
                  static_cast<std::size_t>(col)];
}

void TextTable::SetCell(int col, int row, std::string_view text) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
    cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(colCount_) +
           static_cast<std::size_t>(col)]
        .assign(text);
}

void TextTable::SetRowCount(int rowCount) {
    rowCount_ = std::max(rowCount, 0);
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
}

}  // namespace morvik
