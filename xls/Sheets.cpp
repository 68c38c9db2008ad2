#include "Sheets.h"

#include <algorithm>

#include "XLSError.h"
#include "text/Cp1250.h"

namespace morvik::xls {

TSheet::TSheet(TWorkbook& workbook, const TStyleContext& styles)
    : workbook_(&workbook),
      cells_(std::make_unique<TCells>(*this, styles)),
      columns_(std::make_unique<TColumns>(*this, styles)),
      rows_(std::make_unique<TRows>(*this, styles)),
      ranges_(*this),
      pageSetup_(*this) {}

TSheet::~TSheet() = default;

std::string TSheet::NameUtf8() const { return Utf16ToUtf8(name_); }

void TSheet::SetName(const std::u16string& name) { workbook_->Sheets().Rename(*this, name); }

void TSheet::GroupRows(int first, int last) {
    if (last < first) return;
    for (int i = std::max(first, 0); i <= std::min(last, 0xFFFF); ++i) Rows().Row(i).Group();
}

void TSheet::GroupColumns(int first, int last) {
    if (last < first) return;
    for (int i = std::max(first, 0); i <= std::min(last, 0xFFFF); ++i) Columns().Column(i).Group();
}

TSheet& TSheets::Add(const std::u16string& name) {
    if (const std::uint8_t code = ValidateName(name)) throw EXLSError(code);
    auto sheet = std::make_unique<TSheet>(*workbook_, workbook_->Styles());
    sheet->name_ = name;
    sheet->index_ = Count();
    sheets_.push_back(std::move(sheet));
    try {
        byName_.emplace(name, sheets_.back().get());
    } catch (...) {
        sheets_.pop_back();
        throw;
    }
    return *sheets_.back();
}

void TSheets::Rename(TSheet& sheet, const std::u16string& name) {
    if (const std::uint8_t code = ValidateName(name)) throw EXLSError(code);
    byName_.erase(sheet.name_);
    sheet.name_ = name;
    byName_.emplace(name, &sheet);
}

TSheet* TSheets::FindByName(std::u16string_view name) const {
    const auto found = byName_.find(std::u16string(name));
    return found == byName_.end() ? nullptr : found->second;
}

std::uint8_t TSheets::ValidateName(std::u16string_view name) const {
    if (name.empty() || name.size() > 255) return kErrSheetNameLength;
    const bool blank = std::all_of(name.begin(), name.end(), [](char16_t c) { return c <= 32; });
    if (blank || FindByName(name) != nullptr) return kErrInvalidSheetName;
    return 0;
}

void TSheets::Clear() {
    byName_.clear();
    sheets_.clear();
}

// ---------------------------------------------------------------------------------------------
// Workbook

TWorkbook::TWorkbook(int sheetCount, const TReaderSettings& settings)
    : sheets_(*this),
      formatStrings_(std::make_unique<TFormatStrings>()),
      fonts_(std::make_unique<TVirtualFontTable>()),
      xfs_(std::make_unique<TVirtualXFTable>()),
      styles_{fonts_.get(), xfs_.get(), formatStrings_.get()},
      settings_(settings),
      metrics_(ScreenMetricsFor(settings.PixelsPerInch)) {
    for (int i = 1; i <= sheetCount; ++i) {
        const std::string n = std::to_string(i);
        sheets_.Add(u"Sheet" + std::u16string(n.begin(), n.end()));
    }
}

TWorkbook::~TWorkbook() {
    // Sheets first, then the tables their items point into.
    sheets_.Clear();
    formatStrings_.reset();
    fonts_.reset();
    xfs_.reset();
}

void TWorkbook::Clear() {
    sheets_.Clear();
    formulaSource_.reset();
    formatStrings_ = std::make_unique<TFormatStrings>();
    fonts_ = std::make_unique<TVirtualFontTable>();
    styles_.FormatStrings = formatStrings_.get();
    styles_.Fonts = fonts_.get();
}

}  // namespace morvik::xls
