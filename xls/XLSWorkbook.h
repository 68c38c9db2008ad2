// The in-memory workbook: sheets, sparse cells with their values, rows, columns, ranges and
// page setup. The record reader fills it; the import reads it.
//
// Ownership: TWorkbook owns TSheets and the three style tables; a TSheet owns its TCells,
// TColumns, TRows, TRanges, TPageSetup, TCellCoords and TXLSImages; a collection owns its
// registered items and at most one pending item.
//
// Pending items: TCells::Cell, TRows::Row and TColumns::Column never fail for an absent key and
// never grow the collection. They hand out a detached ("pending") item that joins the collection
// only when something is stored into it. A pending item is destroyed by the next lookup of an
// absent key in the same collection, so a reference to it is valid only until then.
//
// Addresses are row first, then column, both from 0 (row 1, col 2 is C2). Texts returned to
// callers are UTF-8 unless the name says otherwise.
//
// Typical use by the reader:
//   TSheet& s = wb.Sheets().Add(u"Data");
//   TCell& c = s.Cells().Cell(row, col);
//   c.SetValue(TCellValue(2.5)); c.SetXFIndex(xf); c.SetFormula("12");
// and by the import:
//   wb.Sheets().Items(0).Cells().Cell(1, 2).DisplayText();
#pragma once

#include "CellValue.h"
#include "Cells.h"
#include "Items.h"
#include "Ranges.h"
#include "RowsColumns.h"
#include "Sheets.h"
