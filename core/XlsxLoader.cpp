#include "XlsxLoader.h"

#include "ModelLoader.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenXlsxWorkbook(const std::string& path,
                                                const ReaderSettings& settings) {
    ApplyReaderSettings(settings);
    const auto bytes = ReadWorkbookBytes(path);
    auto workbook = std::make_unique<xls::TWorkbook>();
    xlsx::ReadXlsx(bytes, *workbook);
    return CellsOfModel(std::move(workbook));
}

}  // namespace morvik::core
