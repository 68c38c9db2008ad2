// The workbook import: fixed cells of a sheet into the landmark and euryon tables, the same
// for every workbook format.
#pragma once

#include <string>
#include <vector>

#include "Cells.h"
#include "Session.h"
#include "compute/Workspace.h"

namespace morvik::core {

// Landmarks from C2:E23, the right euryon cloud from H2:J…, the left one from M2:O…, each
// cloud down to its first empty H (M) cell; the grids grow to hold a cloud and their rows
// below it are emptied. A mapped cell holding a number that is not finite refuses the
// workbook with a message naming the cell, before anything is written.
void ImportWorkbookCells(Workspace& ws, const WorkbookCells& cells, int sheet = 0);

// Whether a sheet has at least one non-empty cell among the landmark cells C2:E23, those the
// import reads landmarks from.
bool SheetHoldsLandmarks(const WorkbookCells& cells, int sheet);
// The sheets (indices, in order) that do. Callers ask the first sheet alone first: a workbook
// whose first sheet is a skull needs no look at the others.
std::vector<int> SheetsWithLandmarks(const WorkbookCells& cells);

// Opens `path` with the loader its extension names and imports its first sheet.
void ImportWorkbook(Workspace& ws, const std::string& path, const ReaderSettings& settings = {});

}  // namespace morvik::core
