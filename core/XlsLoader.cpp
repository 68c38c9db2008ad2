#include "XlsLoader.h"

#include "text/Cp1250.h"
#include "xls/ReaderSettings.h"
#include "xls/XLSFile.h"

namespace morvik::core {
namespace {

using xls::TVarType;

class XlsCells final : public WorkbookCells {
  public:
    XlsCells(const std::string& path, const xls::TReaderSettings& settings) : file_(settings) {
        file_.LoadFromFile(path);
    }

    int SheetCount() const override { return file_.Workbook().Sheets().Count(); }
    std::string SheetName(int sheet) const override {
        return Utf16ToUtf8(file_.Workbook().Sheets().Items(sheet).Name());
    }

    CellValue Cell(int sheet, int row, int col) const override {
        CellValue value;
        const xls::TCell* cell = file_.Workbook().Sheets().Items(sheet).Cells().Find(row, col);
        if (cell == nullptr) return value;
        value.text = cell->DisplayText();
        const auto& v = cell->Value();
        switch (v.Kind()) {
            case TVarType::Empty:
                value.kind = CellKind::Empty;
                break;
            case TVarType::Smallint:
            case TVarType::Integer:
            case TVarType::Byte:
            case TVarType::Single:
            case TVarType::Double:
            case TVarType::Currency:
                value.kind = CellKind::Number;
                value.number = v.AsDouble();
                break;
            default:
                value.kind = CellKind::Other;
                break;
        }
        return value;
    }

  private:
    xls::TXLSFile file_;
};

xls::TReaderSettings ToXls(const ReaderSettings& settings) {
    xls::TReaderSettings out;
    out.Format.DecimalSeparator = settings.decimalSeparator;
    out.Format.ThousandSeparator = settings.thousandSeparator;
    out.Format.DateSeparator = settings.dateSeparator;
    out.Format.TimeSeparator = settings.timeSeparator;
    out.Format.ShortDateFormat = settings.shortDateFormat;
    out.PixelsPerInch = settings.pixelsPerInch;
    return out;
}

}  // namespace

std::unique_ptr<WorkbookCells> OpenXlsWorkbook(const std::string& path,
                                               const ReaderSettings& settings) {
    return std::make_unique<XlsCells>(path, ToXls(settings));
}

}  // namespace morvik::core
