#include "XlsxLoader.h"

#include "ModelLoader.h"
#include "xls/XLSWorkbook.h"
#include "xlsx/XlsxReader.h"

namespace morvik::core {

std::unique_ptr<WorkbookCells> OpenXlsxWorkbook(const std::string& path,
                                                const ReaderSettings& settings) {
    const auto bytes = ReadWorkbookBytes(path);
    auto workbook = NewWorkbook(settings);
    xlsx::ReadXlsx(bytes, *workbook);
    return CellsOfModel(std::move(workbook));
}

}  // namespace morvik::core
