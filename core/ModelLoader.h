// What the loaders of the formats read into the Excel 97 reader's workbook model share: the
// file's bytes, the reader's settings, and the model's cells seen as the import sees cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Cells.h"
#include "Session.h"

namespace morvik::xls {
class TWorkbook;
}

namespace morvik::core {

// The whole file; Error naming the file when it cannot be read or is too large to be a
// workbook this program can hold.
std::vector<std::uint8_t> ReadWorkbookBytes(const std::string& path);

// An empty workbook whose display texts and sizes follow the session's settings.
std::unique_ptr<xls::TWorkbook> NewWorkbook(const ReaderSettings& settings);

// The cells of a filled workbook; the cells own it.
std::unique_ptr<WorkbookCells> CellsOfModel(std::unique_ptr<xls::TWorkbook> workbook);

}  // namespace morvik::core
