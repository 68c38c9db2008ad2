// What the package reader tests compare a cell by: its kind and its text.
#pragma once

#include <string>

#include "text/Cp1250.h"
#include "xls/XLSWorkbook.h"

namespace morvik::testing {

// "kind:text" of a cell, or "none".
inline std::string CellText(const xls::TWorkbook& book, int sheet, int row, int col) {
    const xls::TCell* cell = book.Sheets().Items(sheet).Cells().Find(row, col);
    if (cell == nullptr) return "none";
    const auto& v = cell->Value();
    switch (v.Kind()) {
        case xls::TVarType::Double:
            return "num:" + cell->DisplayText();
        case xls::TVarType::Date:
            return "date:" + std::to_string(v.AsDouble());
        case xls::TVarType::Boolean:
            return *v.As<bool>() ? "bool:1" : "bool:0";
        case xls::TVarType::OleStr:
            return "text:" + Utf16ToUtf8(*v.As<std::u16string>());
        case xls::TVarType::String:  // 8-bit text, as Excel 97 files keep it
            return "text:" + cell->DisplayText();
        default:
            return "other";
    }
}

}  // namespace morvik::testing
