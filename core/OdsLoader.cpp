#include "OdsLoader.h"

#include "ModelLoader.h"
#include "ods/OdsReader.h"
#include "xls/XLSWorkbook.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenOdsWorkbook(const std::string& path,
                                               const ReaderSettings& settings) {
    ApplyReaderSettings(settings);
    const auto bytes = ReadWorkbookBytes(path);
    auto workbook = std::make_unique<xls::TWorkbook>();
    ods::ReadOds(bytes, *workbook);
    return CellsOfModel(std::move(workbook));
}

}  // namespace morvik::core
