// OpenDocument spreadsheets (.ods) as cells.
#pragma once

#include <memory>
#include <string>

#include "Cells.h"
#include "Session.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenOdsWorkbook(const std::string& path,
                                               const ReaderSettings& settings);

}  // namespace morvik::core
