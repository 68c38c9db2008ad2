#include "Workspace.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "text/Decimal.h"

namespace morvik {

namespace {
const std::string kEmptyText;
}  // namespace

TextTable::TextTable(int colCount, int rowCount)
    : colCount_(std::max(colCount, 0)), rowCount_(std::max(rowCount, 0)) {
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
}

void TextTable::WriteNumberText(std::size_t i) const {
    std::string& text = cells_[i];
    text.clear();
    AppendGeneralNumber(text, numbers_[i], (numberState_[i] & kComma) != 0 ? ',' : '.');
    numberState_[i] &= static_cast<std::uint8_t>(~kTextPending);
}

const std::string& TextTable::Cell(int col, int row) const {
    if (!Inside(col, row)) return kEmptyText;
    const std::size_t i = Index(col, row);
    if (!numberState_.empty() && (numberState_[i] & kTextPending) != 0) WriteNumberText(i);
    return cells_[i];
}

bool TextTable::IsEmpty(int col, int row) const {
    if (!Inside(col, row)) return true;
    const std::size_t i = Index(col, row);
    // The general text of a number always has a digit.
    if (!numberState_.empty() && (numberState_[i] & kTextPending) != 0) return false;
    return cells_[i].empty();
}

void TextTable::SetCell(int col, int row, std::string_view text) {
    if (!Inside(col, row)) return;
    const std::size_t i = Index(col, row);
    cells_[i].assign(text);
    if (!numberState_.empty()) numberState_[i] = 0;
}

void TextTable::SetNumber(int col, int row, double value) {
    if (!Inside(col, row)) return;
    if (numberState_.empty()) {
        numbers_.assign(cells_.size(), 0.0);
        numberState_.assign(cells_.size(), 0);
    }
    const std::size_t i = Index(col, row);
    numbers_[i] = value;
    numberState_[i] =
        static_cast<std::uint8_t>(kTextPending | (GeneralNumberReadsBack(value) ? kExact : 0));
    cells_[i].clear();
}

bool TextTable::Number(int col, int row, double& value) const {
    if (numberState_.empty() || !Inside(col, row)) return false;
    const std::size_t i = Index(col, row);
    if ((numberState_[i] & kExact) == 0) return false;
    value = numbers_[i];
    return true;
}

void TextTable::FirstPointToComma(int col, int row) {
    if (!Inside(col, row)) return;
    const std::size_t i = Index(col, row);
    if (!numberState_.empty() && (numberState_[i] & kTextPending) != 0) {
        numberState_[i] |= kComma;
        return;
    }
    cells_[i] = morvik::FirstPointToComma(std::move(cells_[i]));
}

std::string FirstPointToComma(std::string text) {
    if (const auto p = text.find('.'); p != std::string::npos) text[p] = ',';
    return text;
}

void TextTable::SetRowCount(int rowCount) {
    rowCount_ = std::max(rowCount, 0);
    cells_.resize(static_cast<std::size_t>(colCount_) * static_cast<std::size_t>(rowCount_));
    if (!numberState_.empty()) {
        numbers_.resize(cells_.size(), 0.0);
        numberState_.resize(cells_.size(), 0);
    }
}

}  // namespace morvik
