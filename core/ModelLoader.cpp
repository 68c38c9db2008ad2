#include "ModelLoader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "text/Cp1250.h"
#include "text/Error.h"
#include "text/Platform.h"
#include "xls/ReaderSettings.h"
#include "xls/XLSWorkbook.h"

namespace morvik::core {
namespace {

using xls::TVarType;

// Far beyond any workbook of landmarks; the whole file is held in memory while it is read.
constexpr std::uintmax_t kMaxWorkbookBytes = 1ull << 30;

class ModelCells final : public WorkbookCells {
  public:
    explicit ModelCells(std::unique_ptr<xls::TWorkbook> workbook)
        : workbook_(std::move(workbook)) {}

    int SheetCount() const override { return workbook_->Sheets().Count(); }
    std::string SheetName(int sheet) const override {
        return Utf16ToUtf8(workbook_->Sheets().Items(sheet).Name());
    }

    CellValue Cell(int sheet, int row, int col) const override {
        CellValue value;
        if (row < 0 || row > 65535 || col < 0 || col > 255) return value;
        const xls::TCell* cell = workbook_->Sheets().Items(sheet).Cells().Find(row, col);
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
    std::unique_ptr<xls::TWorkbook> workbook_;
};

}  // namespace

std::vector<std::uint8_t> ReadWorkbookBytes(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(platform::PathFromUtf8(path), ec))
        throw Error("Cannot open file \"" + path + "\". " + std::strerror(EISDIR));
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    if (!in) throw Error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    const std::uintmax_t size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
    if (!ec && size > kMaxWorkbookBytes)
        throw Error("The file \"" + path + "\" is too large to be read as a workbook.");
    std::vector<std::uint8_t> bytes(ec ? 0 : static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || static_cast<std::size_t>(in.gcount()) != bytes.size())
        throw Error("Cannot read file \"" + path + "\". " + std::strerror(errno));
    return bytes;
}

std::unique_ptr<xls::TWorkbook> NewWorkbook(const ReaderSettings& settings) {
    xls::TReaderSettings out;
    out.Format.DecimalSeparator = settings.decimalSeparator;
    out.Format.ThousandSeparator = settings.thousandSeparator;
    out.Format.DateSeparator = settings.dateSeparator;
    out.Format.TimeSeparator = settings.timeSeparator;
    out.Format.ShortDateFormat = settings.shortDateFormat;
    out.PixelsPerInch = settings.pixelsPerInch;
    return std::make_unique<xls::TWorkbook>(1, out);
}

std::unique_ptr<WorkbookCells> CellsOfModel(std::unique_ptr<xls::TWorkbook> workbook) {
    return std::make_unique<ModelCells>(std::move(workbook));
}

}  // namespace morvik::core
