#include "Workspace.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "text/Decimal.h"

namespace morvik {

namespace {
const std::string kEmptyText;
constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TextTable::TextTable(int colCount, int rowCount)
    : colCount_(std::max(colCount, 0)), rowCount_(std::max(rowCount, 0)) {
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
}

const std::string& TextTable::Cell(int col, int row) const {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return kEmptyText;
    return cells_[Index(col, row)];
}

void TextTable::SetCell(int col, int row, std::string_view text) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
    const std::size_t i = Index(col, row);
    cells_[i].assign(text);
    if (!numbers_.empty()) numbers_[i] = kNoNumber;
}

void TextTable::SetNumber(int col, int row, double value) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
    const std::size_t i = Index(col, row);
    cells_[i].clear();
    const bool exact = AppendGeneralNumber(cells_[i], value, '.');
    if (exact && numbers_.empty()) numbers_.assign(cells_.size(), kNoNumber);
    if (!numbers_.empty()) numbers_[i] = exact ? value : kNoNumber;
}

bool TextTable::Number(int col, int row, double& value) const {
    if (numbers_.empty() || col < 0 || row < 0 || col >= colCount_ || row >= rowCount_)
        return false;
    const double number = numbers_[Index(col, row)];
    if (std::isnan(number)) return false;
    value = number;
    return true;
}

void TextTable::FirstPointToComma(int col, int row) {
    if (col < 0 || row < 0 || col >= colCount_ || row >= rowCount_) return;
    std::string& text = cells_[Index(col, row)];
    if (const auto p = text.find('.'); p != std::string::npos) text[p] = ',';
}

void TextTable::SetRowCount(int rowCount) {
    rowCount_ = std::max(rowCount, 0);
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
    if (!numbers_.empty()) numbers_.resize(cells_.size(), kNoNumber);
}

}  // namespace morvik
