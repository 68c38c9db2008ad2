// The little the import needs of a workbook, whatever its format: how many sheets, and the
// kind and text of the cell at a row and column of a sheet.
#pragma once

#include <memory>
#include <string>

namespace morvik::core {

enum class CellKind {
    Empty,   // no cell, or a cell without a value
    Number,  // a plain number (not a date): `number` holds it
    Other,   // text, dates, booleans, errors: `text` is what the sheet shows
};

struct CellValue {
    CellKind kind = CellKind::Empty;
    double number = 0;
    std::string text;  // the cell as the sheet shows it, for every kind
};

class WorkbookCells {
  public:
    virtual ~WorkbookCells() = default;
    virtual int SheetCount() const = 0;
    virtual std::string SheetName(int sheet) const = 0;
    // Rows and columns from 0 (A1 is 0, 0); a cell outside the sheet reads as Empty.
    virtual CellValue Cell(int sheet, int row, int col) const = 0;
    // As Cell, except that a Number's text may be left empty: for callers that read numbers
    // by value. A format whose shown text costs more than its value overrides it.
    virtual CellValue Value(int sheet, int row, int col) const { return Cell(sheet, row, col); }
    // One past the last row of the sheet that holds a cell, when known cheaply; else 0.
    virtual int RowLimit(int /*sheet*/) const { return 0; }
    // Whether the cell shows any text, which a format can answer without writing it.
    virtual bool Shown(int sheet, int row, int col) const {
        return !Cell(sheet, row, col).text.empty();
    }
};

}  // namespace morvik::core
