// Sheets and the workbook that owns them with its style tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Cells.h"
#include "FormulaSource.h"
#include "Ranges.h"
#include "ReaderSettings.h"
#include "RowsColumns.h"
#include "VDataTable.h"
#include "XLSFormatStr.h"

namespace morvik::xls {

class TWorkbook;

class TSheet {
  public:
    TSheet(TWorkbook& workbook, const TStyleContext& styles);
    ~TSheet();
    TSheet(const TSheet&) = delete;
    TSheet& operator=(const TSheet&) = delete;

    TWorkbook& Workbook() const { return *workbook_; }
    TCells& Cells() { return *cells_; }
    const TCells& Cells() const { return *cells_; }
    TColumns& Columns() { return *columns_; }
    TRows& Rows() { return *rows_; }
    TRanges& Ranges() { return ranges_; }
    TPageSetup& PageSetup() { return pageSetup_; }
    TCellCoords& CellCoords() { return cellCoords_; }
    TXLSImages& Images() { return images_; }

    std::int32_t Index() const { return index_; }
    const std::u16string& Name() const { return name_; }
    std::string NameUtf8() const;
    // Validated by TSheets::ValidateName first, so renaming a sheet to its own name fails
    // with code 6; a refused name raises EXLSError 6 or 7 and the name stays.
    void SetName(const std::u16string& name);

    // Calls Group on every row (column) from `first` to `last`; nothing when last < first.
    // Bounds are clipped to 0..65535.
    void GroupRows(int first, int last);
    void GroupColumns(int first, int last);

    // View settings, as the file gives them.
    bool ShowGridlines = true;
    bool ShowHeadings = true;
    bool ShowZeros = true;
    std::uint16_t PaneRows = 0;
    std::uint16_t PaneColumns = 0;
    // 16 bits rather than 8: zooms up to 400 percent must survive.
    std::uint16_t Zoom = 100;
    bool PageBreakPreview = false;

  private:
    friend class TSheets;
    TWorkbook* workbook_;
    std::unique_ptr<TCells> cells_;
    std::unique_ptr<TColumns> columns_;
    std::unique_ptr<TRows> rows_;
    TRanges ranges_;
    std::int32_t index_ = -1;
    std::u16string name_;
    TPageSetup pageSetup_;
    TCellCoords cellCoords_;
    TXLSImages images_;
};

class TSheets {
  public:
    explicit TSheets(TWorkbook& workbook) : workbook_(&workbook) {}

    TWorkbook& Workbook() const { return *workbook_; }
    int Count() const { return static_cast<int>(sheets_.size()); }
    // EListIndexError "List index (<i>) out of bounds !" outside 0..Count()-1.
    TSheet& Items(int index) const {
        if (index < 0 || index >= Count()) RaiseListIndexError(index, " !");
        return *sheets_[static_cast<std::size_t>(index)];
    }
    // Validates `name`, appends a new sheet with it and answers the sheet.
    TSheet& Add(const std::u16string& name);
    // First sheet whose name equals `name` exactly (case-sensitive), or null.
    TSheet* FindByName(std::u16string_view name) const;
    // 0 when acceptable; 7 for a length of 0 or above 255 code units; 6 when only characters
    // <= 32 remain after trimming or when a sheet of that exact name exists.
    std::uint8_t ValidateName(std::u16string_view name) const;
    void Clear();

  private:
    friend class TSheet;
    // Validates `name` and gives it to `sheet`.
    void Rename(TSheet& sheet, const std::u16string& name);

    TWorkbook* workbook_;
    std::vector<std::unique_ptr<TSheet>> sheets_;
    // Names are unique, so one entry each: a file's every sheet is checked against the others.
    std::unordered_map<std::u16string, TSheet*> byName_;
};

class TWorkbook {
  public:
    // Creates the style tables and `sheetCount` sheets named "Sheet1", "Sheet2", ...
    explicit TWorkbook(int sheetCount = 1, const TReaderSettings& settings = TReaderSettings{});
    ~TWorkbook();
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // Deletes every sheet and resets the number formats (built-ins only) and fonts (default
    // font only). The XF table stays; the reader restarts it itself.
    void Clear();

    TSheets& Sheets() { return sheets_; }
    const TSheets& Sheets() const { return sheets_; }
    TFormatStrings& FormatStrings() { return *formatStrings_; }
    TVirtualFontTable& Fonts() { return *fonts_; }
    TVirtualXFTable& XFs() { return *xfs_; }
    const TStyleContext& Styles() const { return styles_; }
    // Fixed for the workbook's life: its display texts and sizes follow them.
    const TReaderSettings& Settings() const { return settings_; }
    const TScreenMetrics& Metrics() const { return metrics_; }
    // Renders the formulas cells name by SetFormulaRef; the reader sets it, Clear drops it.
    const TFormulaSource* FormulaSource() const { return formulaSource_.get(); }
    void SetFormulaSource(std::unique_ptr<TFormulaSource> source) {
        formulaSource_ = std::move(source);
    }

  private:
    TSheets sheets_;
    std::unique_ptr<TFormatStrings> formatStrings_;
    std::unique_ptr<TVirtualFontTable> fonts_;
    std::unique_ptr<TVirtualXFTable> xfs_;
    TStyleContext styles_;
    TReaderSettings settings_;
    TScreenMetrics metrics_;
    std::unique_ptr<TFormulaSource> formulaSource_;
};

}  // namespace morvik::xls
