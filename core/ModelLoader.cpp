#include "ModelLoader.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "DataExchange.h"
#include "text/Cp1250.h"
#include "text/Error.h"
#include "text/Platform.h"
#include "xls/NumberFormat.h"
#include "xls/ReaderSettings.h"
#include "xls/XLSFormatStr.h"
#include "xls/XLSWorkbook.h"

namespace morvik::core {
namespace {

using xls::TVarType;

// Far beyond any workbook of landmarks; the whole file is held in memory while it is read.
constexpr std::uintmax_t kMaxWorkbookBytes = 1ull << 30;

class ModelCells final : public WorkbookCells {
  public:
    explicit ModelCells(std::unique_ptr<xls::TWorkbook> workbook) : workbook_(std::move(workbook)) {
        // Most numbers carry a format that cleans to nothing (General); their text is then
        // the general form, without cleaning the pattern again for every cell.
        const xls::TFormatStrings& formats = workbook_->FormatStrings();
        generalFormat_.resize(static_cast<std::size_t>(formats.Count()));
        for (int i = 0; i < formats.Count(); ++i)
            generalFormat_[static_cast<std::size_t>(i)] =
                xls::CleanFormat(formats.Get(i).Pattern).empty();
    }

    int SheetCount() const override { return workbook_->Sheets().Count(); }
    std::string SheetName(int sheet) const override {
        return Utf16ToUtf8(workbook_->Sheets().Items(sheet).Name());
    }

    CellValue Cell(int sheet, int row, int col) const override {
        return Read(sheet, row, col, true);
    }
    CellValue Value(int sheet, int row, int col) const override {
        return Read(sheet, row, col, false);
    }

  private:
    // What TCell::DisplayText shows for a number under a pattern that cleans to nothing;
    // nothing for a kind it would show otherwise.
    std::optional<std::string> GeneralText(const xls::TCellValue& v) const {
        const xls::TFormatSettings& settings = workbook_->Settings().Format;
        switch (v.Kind()) {
            case TVarType::Smallint:
                return std::to_string(*v.As<std::int16_t>());
            case TVarType::Integer:
                return std::to_string(*v.As<std::int32_t>());
            case TVarType::Byte:
                return std::to_string(*v.As<std::uint8_t>());
            case TVarType::Single:
                return xls::FormatNumber("", *v.As<float>(), settings);
            case TVarType::Double:
                return xls::FormatNumber("", *v.As<double>(), settings);
            default:
                return std::nullopt;
        }
    }

    CellValue Read(int sheet, int row, int col, bool numberText) const {
        CellValue value;
        if (row < 0 || row > 65535 || col < 0 || col > 255) return value;
        const xls::TCell* cell = workbook_->Sheets().Items(sheet).Cells().Find(row, col);
        if (cell == nullptr) return value;
        const auto& v = cell->Value();
        const bool number = IsNumberKind(v.Kind());
        if (!number) {
            value.text = cell->DisplayText();
        } else if (numberText) {
            const std::size_t format = cell->NumberFormat();
            const bool general = format >= generalFormat_.size() || generalFormat_[format];
            std::optional<std::string> text;
            if (general) text = GeneralText(v);
            value.text = text ? std::move(*text) : cell->DisplayText();
        }
        if (number) {
            value.kind = CellKind::Number;
            value.number = v.AsDouble();
        } else {
            value.kind = v.Kind() == TVarType::Empty ? CellKind::Empty : CellKind::Other;
        }
        return value;
    }

    static bool IsNumberKind(TVarType kind) {
        switch (kind) {
            case TVarType::Smallint:
            case TVarType::Integer:
            case TVarType::Byte:
            case TVarType::Single:
            case TVarType::Double:
            case TVarType::Currency:
                return true;
            default:
                return false;
        }
    }

    std::unique_ptr<xls::TWorkbook> workbook_;
    std::vector<bool> generalFormat_;  // by format position
};

}  // namespace

std::vector<std::uint8_t> ReadWorkbookBytes(const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    std::error_code ec;
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
