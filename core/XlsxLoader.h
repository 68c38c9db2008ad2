// Office Open XML workbooks (.xlsx, .xlsm) as cells.
#pragma once

#include <memory>
#include <string>

#include "Cells.h"
#include "Session.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenXlsxWorkbook(const std::string& path,
                                                const ReaderSettings& settings);

}  // namespace morvik::core
