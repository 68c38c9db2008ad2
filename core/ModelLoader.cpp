#include "ModelLoader.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "DataExchange.h"
#include "Messages.h"
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
        // Most cells an import reads are plain numbers: no text to make.
        if (const xls::TCell* cell = Find(sheet, row, col);
            cell != nullptr && cell->Value().Kind() == TVarType::Double) {
            CellValue value;
            value.kind = CellKind::Number;
            value.number = *cell->Value().As<double>();
            return value;
        }
        return Read(sheet, row, col, false);
    }
    int RowLimit(int sheet) const override {
        const RowDirectory& d = DirectoryOf(sheet);
        return d.ordered ? static_cast<int>(d.rowStart.size()) - 1 : 0;
    }
    bool Shown(int sheet, int row, int col) const override {
        const xls::TCell* cell = Find(sheet, row, col);
        if (cell == nullptr) return false;
        // The general form of a finite number always has a digit.
        const auto& v = cell->Value();
        if (v.Kind() == TVarType::Double && std::isfinite(v.AsDouble()) && IsGeneral(*cell))
            return true;
        return !Read(sheet, row, col, true).text.empty();
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
        const xls::TCell* cell = Find(sheet, row, col);
        if (cell == nullptr) return value;
        const auto& v = cell->Value();
        // A date is a number to the model but shows as a date.
        const bool number = v.IsNumber() && v.Kind() != TVarType::Date;
        if (!number) {
            value.text = cell->DisplayText();
        } else if (numberText) {
            std::optional<std::string> text;
            if (IsGeneral(*cell)) text = GeneralText(v);
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

    // Where each row's cells start among a sheet's cells, when the sheet lists them in address
    // order (as files do): a lookup then scans one row instead of building the sheet's index.
    struct RowDirectory {
        bool built = false;
        bool ordered = false;
        std::vector<std::uint32_t> rowStart;  // by row, and one past the last row
    };

    const RowDirectory& DirectoryOf(int sheet) const {
        if (sheet == lastSheet_) return *lastDirectory_;
        lastSheet_ = -1;
        if (directories_.size() <= static_cast<std::size_t>(sheet))
            directories_.resize(static_cast<std::size_t>(sheet) + 1);
        RowDirectory& d = directories_[static_cast<std::size_t>(sheet)];
        lastSheet_ = sheet;
        lastDirectory_ = &d;
        if (d.built) return d;
        d.built = true;
        const xls::TCells& cells = workbook_->Sheets().Items(sheet).Cells();
        const int count = cells.Count();
        std::uint32_t last = 0;
        for (int i = 0; i < count; ++i) {
            const xls::TCell& cell = cells.Items(i);
            const std::uint32_t address = (std::uint32_t{cell.Row()} << 8) | cell.Col();
            if (i > 0 && address <= last) return d;  // not in order: lookups use the index
            last = address;
            while (d.rowStart.size() <= cell.Row())
                d.rowStart.push_back(static_cast<std::uint32_t>(i));
        }
        d.rowStart.push_back(static_cast<std::uint32_t>(count));
        d.ordered = true;
        return d;
    }

    const xls::TCell* Find(int sheet, int row, int col) const {
        if (row < 0 || row > 65535 || col < 0 || col > 255) return nullptr;
        const xls::TCells& cells = workbook_->Sheets().Items(sheet).Cells();
        const RowDirectory& d = DirectoryOf(sheet);
        if (!d.ordered) return cells.Find(row, col);
        const auto r = static_cast<std::size_t>(row);
        if (r + 1 >= d.rowStart.size()) return nullptr;
        for (std::uint32_t i = d.rowStart[r]; i < d.rowStart[r + 1]; ++i) {
            const xls::TCell& cell = cells.Items(static_cast<int>(i));
            if (cell.Col() == col) return &cell;
            if (cell.Col() > col) break;
        }
        return nullptr;
    }

    bool IsGeneral(const xls::TCell& cell) const {
        const std::size_t format = cell.NumberFormat();
        return format >= generalFormat_.size() || generalFormat_[format];
    }

    std::unique_ptr<xls::TWorkbook> workbook_;
    std::vector<bool> generalFormat_;                // by format position
    mutable std::vector<RowDirectory> directories_;  // by sheet, made on first use
    mutable int lastSheet_ = -1;                     // the sheet asked for last, and its directory
    mutable const RowDirectory* lastDirectory_ = nullptr;
};

}  // namespace

std::vector<std::uint8_t> ReadWorkbookBytes(const std::string& path) {
    std::ifstream in = OpenInputFile(path);
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
    if (!ec && size > kMaxWorkbookBytes)
        throw EUserError(Msg::WorkbookTooLarge, {FileNameOf(path)});
    std::vector<std::uint8_t> bytes(ec ? 0 : static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || static_cast<std::size_t>(in.gcount()) != bytes.size())
        // A file cut short while read leaves no errno of its own.
        throw ESystemError(FileAction::Read, path, in.bad() && errno != 0 ? errno : EIO);
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
