#include "XlsLoader.h"

#include <optional>
#include <vector>

#include "Messages.h"
#include "text/Cp1250.h"
#include "xls/CFile.h"
#include "xls/NumberFormat.h"
#include "xls/ReaderSettings.h"
#include "xls/XLSError.h"
#include "xls/XLSFormatStr.h"
#include "xls/XLSFile.h"

namespace morvik::core {
namespace {

using xls::TVarType;

class XlsCells final : public WorkbookCells {
  public:
    XlsCells(const std::string& path, const xls::TReaderSettings& settings) : file_(settings) {
        file_.LoadFromFile(path);
        // Most numbers carry a format that cleans to nothing (General); their text is then
        // the general form, without cleaning the pattern again for every cell.
        const xls::TFormatStrings& formats = file_.Workbook().FormatStrings();
        generalFormat_.resize(static_cast<std::size_t>(formats.Count()));
        for (int i = 0; i < formats.Count(); ++i)
            generalFormat_[static_cast<std::size_t>(i)] =
                xls::CleanFormat(formats.Get(i).Pattern).empty();
    }

    int SheetCount() const override { return file_.Workbook().Sheets().Count(); }
    std::string SheetName(int sheet) const override {
        return Utf16ToUtf8(file_.Workbook().Sheets().Items(sheet).Name());
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
        const xls::TFormatSettings& settings = file_.Workbook().Settings().Format;
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
        const xls::TCell* cell = file_.Workbook().Sheets().Items(sheet).Cells().Find(row, col);
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

    xls::TXLSFile file_;
    std::vector<bool> generalFormat_;  // by format position
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

// What a reader's failure means for the user's file; the reader's own text and code follow.
Msg Meaning(const std::exception& e) {
    if (const auto* cfile = dynamic_cast<const xls::ECFileError*>(&e)) {
        return cfile->ErrorCode() == xls::kCFileCannotOpenDocfile ? Msg::NotXlsWorkbook
                                                                  : Msg::DamagedWorkbook;
    }
    const auto* xlsError = dynamic_cast<const xls::EXLSError*>(&e);
    if (xlsError == nullptr) return Msg::DamagedWorkbook;
    switch (xlsError->Code()) {
        case xls::kErrStreamNotFound:
            return Msg::NotXlsWorkbook;
        case xls::kErrPasswordProtected:
            return Msg::ProtectedWorkbook;
        case xls::kErrCompoundFile:
            // The compound file's own error, kept as the cause, tells which.
            try {
                if (xlsError->Cause()) std::rethrow_exception(xlsError->Cause());
            } catch (const std::exception& cause) {
                return Meaning(cause);
            }
            return Msg::DamagedWorkbook;
        default:
            return Msg::DamagedWorkbook;
    }
}

}  // namespace

std::unique_ptr<WorkbookCells> OpenXlsWorkbook(const std::string& path,
                                               const ReaderSettings& settings) {
    try {
        return std::make_unique<XlsCells>(path, ToXls(settings));
    } catch (const xls::ECFileError& e) {
        throw EUserError(Meaning(e), {FileNameOf(path)}, e.what(), e.Code(),
                         std::current_exception());
    } catch (const xls::EXLSError& e) {
        throw EUserError(Meaning(e), {FileNameOf(path)}, e.what(), e.Code(),
                         std::current_exception());
    }
}

}  // namespace morvik::core
