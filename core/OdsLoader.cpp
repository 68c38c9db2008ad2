#include "OdsLoader.h"

#include "ModelLoader.h"
#include "ods/OdsReader.h"
#include "xls/XLSWorkbook.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenOdsWorkbook(const std::string& path,
                                               const ReaderSettings& settings) {
    const auto bytes = ReadWorkbookBytes(path);
    auto workbook = NewWorkbook(settings);
    ods::ReadOds(bytes, *workbook);
    return CellsOfModel(std::move(workbook));
}

}  // namespace morvik::core
