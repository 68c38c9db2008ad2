// Filling the model's sheets from the worksheets' parsers: one by one on this thread, or with
// the parsers running ahead on two threads. Inside the .xlsx reader only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "WorksheetParser.h"

namespace morvik::xls {
class TWorkbook;
}

namespace morvik::xlsx {

// Adds a sheet to `workbook` for each of `names`, in order, and fills it from its worksheet
// part in `parts` (empty: a sheet without cells). Parts of `threadedFrom` bytes of XML and
// more together are parsed on other threads. The first sheet in order that fails decides the
// error, as when read one by one; the sheets before it stay filled.
void FillSheets(zip::TZipArchive& archive, const SheetContext& context, xls::TWorkbook& workbook,
                const std::vector<std::u16string>& names, const std::vector<std::string>& parts,
                std::uint64_t threadedFrom);

}  // namespace morvik::xlsx
